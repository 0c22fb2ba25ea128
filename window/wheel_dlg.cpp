#include "wheel_dlg.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QIcon>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QSlider>
#include <QUrl>

#include <cstring>
#include <future>

#include "about_dlg.h"
#include "app_icon.h"
#include "discovery_splash.h"
#include "favourites_bar.h"
#include "fixture_list.h"
#include "library_loader.h"
#include "node_routing.h"
#include "output_menu.h"
#include "pick_geometry.h"
#include "rig_menu.h"
#include "ui_main.h"
#include "value_panel.h"
#include "wheel_build.h"

// The resources live in this static library; registering them here keeps the linker from
// dropping them.
static void InitChromasetResources() { Q_INIT_RESOURCE(chromaset); }

namespace chromaset {

namespace {

// One row of the wheel picture: kWheelSize 32-bit pixels, no padding.
constexpr qsizetype kWheelBytesPerLine = qsizetype{kWheelSize} * sizeof(WheelPixel);

const PortTable& NoPorts() {
  static const PortTable empty;
  return empty;
}

}  // namespace

std::uint32_t KeyStateFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  std::uint32_t flags = 0;
  if (buttons & Qt::LeftButton) flags |= MK_LBUTTON;
  if (buttons & Qt::RightButton) flags |= MK_RBUTTON;
  if (modifiers & Qt::ShiftModifier) flags |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) flags |= MK_CONTROL;
  if (buttons & Qt::MiddleButton) flags |= MK_MBUTTON;
  if (buttons & Qt::BackButton) flags |= MK_XBUTTON1;
  if (buttons & Qt::ForwardButton) flags |= MK_XBUTTON2;
  return flags;
}

CWheelDlg::CWheelDlg(ArtNetLink& link, QWidget* parent)
    : CWheelDlg(link, link.Nodes(), link.LocalAddresses(), link.Ports(), parent) {
  m_link = &link;
  m_devices->SetPoll([&link] { link.SendArtPoll(); });
  m_routing->SetPoll([&link] { link.SendArtPoll(); });
}

CWheelDlg::CWheelDlg(ArtDmxSender& sender, const NodeTable& nodes,
                     const LocalAddressTable& localAddresses, QWidget* parent)
    : CWheelDlg(sender, nodes, localAddresses, NoPorts(), parent) {}

CWheelDlg::CWheelDlg(ArtDmxSender& sender, const NodeTable& nodes,
                     const LocalAddressTable& localAddresses, const PortTable& ports,
                     QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CWheelDlg>()),
      m_sender(sender),
      m_nodes(nodes),
      m_ports(ports),
      m_devices(new DeviceMenu(nodes, localAddresses, this)) {
  InitChromasetResources();
  m_wheelBuild = StartWheelBuild();
  SetUpControls();
}

CWheelDlg::~CWheelDlg() = default;

void CWheelDlg::SetUpControls() {
  m_ui->setupUi(this);
  m_sliderWhite = m_ui->m_sliderWhite;
  m_sliderGreen = m_ui->m_sliderGreen;
  m_sliderBlue = m_ui->m_sliderBlue;
  m_sliderRed = m_ui->m_sliderRed;
  m_wheelPicture = m_ui->m_wheelPicture;

  // A dialog frame: caption and close button, no minimise, maximise or help button.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setWindowTitle(QString::fromUtf8(kMainCaption));

  // The picture only shows the wheel; pointer input goes through to the dialog.
  m_wheelPicture->setFixedSize(kWheelSize, kWheelSize);
  m_wheelPicture->setAttribute(Qt::WA_TransparentForMouseEvents);
  m_wheelPicture->setFocusPolicy(Qt::NoFocus);
  // Painted last in each pass: the sliders' paints send, and a pick's frames should not wait
  // for the picture's 300 x 300 copy. They do not overlap, so nothing looks different.
  m_wheelPicture->raise();

  // Each paint of a slider is an output notification.
  for (QSlider* slider : {m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite}) {
    slider->installEventFilter(this);
  }
  m_rig = new RigModel(this);
  m_library = new LibraryLoader(FixtureLibrary::DefaultFolders(), this);
  m_output = new DmxOutput(
      m_sender, *m_rig, [this] { return SelectedTargets(); }, this);
  m_routing = new NodeRouting(
      m_ports, *m_output, {}, [this] { return m_devices->AddedNodes(); }, {}, this);
  // Another fixture chosen: the sliders show its colour, and their repaints send nothing.
  connect(m_rig, &RigModel::SelectionChanged, this, &CWheelDlg::ShowSelectedColour);
  // A colour set in the same pass (a pick right after selecting) is sent by the next paints.
  connect(m_rig, &RigModel::ColoursChanged, this, [this] { m_quietPaint.fill(false); });
  m_values =
      new ValuePanel({m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite},
                     {m_ui->m_valueRed, m_ui->m_valueGreen, m_ui->m_valueBlue, m_ui->m_valueWhite},
                     m_ui->m_colourCode, m_ui->m_swatch, this);
  m_favourites = new FavouritesBar([this] { return m_values->Current(); });
  (new QHBoxLayout(m_ui->m_favouritesArea))->setContentsMargins(0, 0, 0, 0);
  m_ui->m_favouritesArea->layout()->addWidget(m_favourites);
  connect(m_favourites, &FavouritesBar::Recall, m_values, &ValuePanel::Recall);
  // Typed codes and recalled favourites set every channel of the selected fixtures, also the
  // ones whose slider stays where it is.
  connect(m_values, &ValuePanel::Setting, this, &CWheelDlg::SetSelectedColour);

  // The fixture list goes beside the controls; it shows once the rig has several fixtures.
  m_ui->m_dialogLayout->removeWidget(m_ui->m_clientArea);
  m_sideBySide = new QHBoxLayout;
  m_sideBySide->setSpacing(0);
  m_sideBySide->addWidget(m_ui->m_clientArea);
  m_fixtureList = new FixtureList(*m_rig, this);  // shows itself with two fixtures or more
  m_sideBySide->addWidget(m_fixtureList);
  m_ui->m_dialogLayout->addLayout(m_sideBySide);
}

bool CWheelDlg::OnInitDialog(const InitOptions& options) {
  AppendAboutItem();
  SetWindowIcons();
  const bool networkUp = StartNetwork(options);
  BuildWheel();
  InitOutput();
  BuildDeviceMenu();
  m_routing->Attach(*m_devices);
  m_outputMenu =
      new OutputMenu(*m_output, m_menuBar, m_windowMenu->menuAction(), m_ui->m_outputStatus, this);
  m_outputMenu->Menu()->addSeparator();
  m_rigMenu = new RigMenu(*m_rig, m_outputMenu->Menu(), this, m_library);
  m_rigMenu->FollowList(m_fixtureList);
  m_devices->SetSearchWait(options.searchWait);
  if (networkUp && options.searchInBackground) m_devices->StartSearch(false);
  m_sliderRed->setFocus(Qt::OtherFocusReason);
  return networkUp;
}

void CWheelDlg::AppendAboutItem() {
  m_menuBar = new QMenuBar(this);
  m_menuBar->setObjectName(QStringLiteral("m_menuBar"));
  layout()->setMenuBar(m_menuBar);
  m_windowMenu = m_menuBar->addMenu(QString::fromUtf8(kWindowMenuText));
  m_windowMenu->setObjectName(QStringLiteral("m_windowMenu"));
  m_windowMenu->addSeparator();
  QAction* about = m_windowMenu->addAction(QString::fromUtf8(kAboutItemText));
  about->setData(IDM_ABOUT);
  connect(about, &QAction::triggered, this, [this] { OnSysCommand(IDM_ABOUT); });
}

// The theme's icon follows once the window has painted (eventFilter): the first frames should
// not wait for the icon theme lookup.
void CWheelDlg::SetWindowIcons() { setWindowIcon(BundledAppIcon()); }

bool CWheelDlg::StartNetwork(const InitOptions& options) {
  // An open link was started before the window was built (StartArtNet): not again.
  if (m_link != nullptr && !m_link->IsOpen() && !StartArtNet(*m_link, options.showFailure)) {
    done(QDialog::Rejected);
    return false;
  }
  const auto polledAt = m_link != nullptr ? m_link->PolledAt() : std::chrono::steady_clock::now();
  RunDiscoveryWait(options.discoveryWait, polledAt, options.showSplash, windowIcon(),
                   [this] { return CountAnsweredNodes(m_nodes); });
  return true;
}

// --- Wheel picture ---

void CWheelDlg::BuildWheel() { ShowWheel(); }

WheelImage& CWheelDlg::BuiltWheel() const {
  if (m_wheelBuild.valid()) m_wheel = m_wheelBuild.get();
  return *m_wheel;
}

void CWheelDlg::ShowWheel() {
  // The picture gets its own copy: the display buffer changes with the next pick.
  const QImage view(reinterpret_cast<const uchar*>(BuiltWheel().DisplayPixels()), kWheelSize,
                    kWheelSize, kWheelBytesPerLine, QImage::Format_RGB32);
  m_wheelPicture->setPixmap(QPixmap::fromImage(view.copy()));
}

// --- Pointer ---

bool CWheelDlg::LocateInWheel(QPoint dialogPoint, QPoint& wheelPoint) const {
  wheelPoint = m_wheelPicture->mapFrom(this, dialogPoint);
  const QRect area = m_wheelPicture->rect();
  return PassesPickMargin(wheelPoint.x(), wheelPoint.y(), area.width(), area.height());
}

void CWheelDlg::OnMouseMove(std::uint32_t flags, QPoint point) {
  if (!MovePicks(flags)) return;
  QPoint p;
  if (!LocateInWheel(point, p)) return;
  if (OnPickRing(p.x(), p.y())) ApplyPickedColour(p.x(), p.y());
}

void CWheelDlg::OnLButtonDown(std::uint32_t /*flags*/, QPoint point) {
  QPoint p;
  if (!LocateInWheel(point, p)) return;
  if (OnPickRing(p.x(), p.y())) ApplyPickedColour(p.x(), p.y());
  if (InLogoSquare(p.x(), p.y())) QDesktopServices::openUrl(QUrl(QString::fromUtf8(kHomePage)));
}

void CWheelDlg::ApplyPickedColour(int x, int y) {
  const PackedRgb colour = BuiltWheel().DrawMarker(x, y);
  m_rig->SetSelectedColour(kSetRgb, Rgbw{static_cast<std::uint8_t>(colour & 0xFF),
                                         static_cast<std::uint8_t>((colour >> 8) & 0xFF),
                                         static_cast<std::uint8_t>((colour >> 16) & 0xFF), 0});
  ShowWheel();
  SetSliderPosition(m_sliderRed, static_cast<int>(colour & 0xFF));
  SetSliderPosition(m_sliderGreen, static_cast<int>((colour >> 8) & 0xFF));
  SetSliderPosition(m_sliderBlue, static_cast<int>((colour >> 16) & 0xFF));
}

void CWheelDlg::SetSliderPosition(QSlider* slider, int position) {
  slider->setValue(position);
  slider->update();  // repaint (and so send) even when the position did not change
}

void CWheelDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    OnLButtonDown(KeyStateFlags(event->buttons(), event->modifiers()), event->position().toPoint());
  }
  QDialog::mousePressEvent(event);
}

void CWheelDlg::mouseMoveEvent(QMouseEvent* event) {
  OnMouseMove(KeyStateFlags(event->buttons(), event->modifiers()), event->position().toPoint());
  QDialog::mouseMoveEvent(event);
}

void CWheelDlg::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click: it picks like any press, but the logo has already
  // opened the page on the first one.
  if (event->button() == Qt::LeftButton) {
    QPoint p;
    const bool onLogo = LocateInWheel(event->position().toPoint(), p) && InLogoSquare(p.x(), p.y());
    if (!onLogo) {
      OnLButtonDown(KeyStateFlags(event->buttons(), event->modifiers()),
                    event->position().toPoint());
    }
  }
  event->accept();
}

void CWheelDlg::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);  // Escape rejects
}

// --- Output ---

void CWheelDlg::InitOutput() {
  m_output->Reset();
  for (QSlider* slider : {m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite}) {
    slider->setRange(0, 255);
    SetSliderPosition(slider, 0);
  }
}

bool CWheelDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && m_outputReady) {
    if (!m_themeIconAsked) {
      m_themeIconAsked = true;
      QMetaObject::invokeMethod(
          this, [this] { setWindowIcon(AppIcon()); }, Qt::QueuedConnection);
    }
    if (const int quiet = QuietSlider(watched); quiet >= 0) {
      // The colour of the selection shown: sent only if the slider moved on since.
      m_quietPaint[static_cast<std::size_t>(quiet)] = false;
      if (ApplySliders(watched)) SendToTargets();
    } else if (watched == m_sliderWhite) {
      OnCustomDrawWhite();
    } else if (watched == m_sliderRed || watched == m_sliderGreen || watched == m_sliderBlue) {
      OnCustomDrawColour();
    }
  }
  return QDialog::eventFilter(watched, event);  // the slider paints itself as usual
}

bool CWheelDlg::ApplySliders(const QObject* slider) {
  if (slider == m_sliderWhite) {
    return m_output->SetWhite(static_cast<std::uint8_t>(m_sliderWhite->value() & 0xFF));
  }
  return m_output->SetColour(static_cast<std::uint8_t>(m_sliderRed->value() & 0xFF),
                             static_cast<std::uint8_t>(m_sliderGreen->value() & 0xFF),
                             static_cast<std::uint8_t>(m_sliderBlue->value() & 0xFF));
}

void CWheelDlg::OnCustomDrawWhite() {
  ApplySliders(m_sliderWhite);
  SendToTargets();
}

void CWheelDlg::OnCustomDrawColour() {
  ApplySliders(m_sliderRed);
  SendToTargets();
}

void CWheelDlg::SendToTargets() { m_output->Send(); }

// --- Devices menu ---

void CWheelDlg::BuildDeviceMenu() {
  m_devices->Create(m_menuBar, m_windowMenu->menuAction());
  m_outputReady = true;
  m_output->SetLive(true);
}

int CWheelDlg::QuietSlider(const QObject* slider) const {
  const std::array<const QObject*, 4> sliders{m_sliderRed, m_sliderGreen, m_sliderBlue,
                                              m_sliderWhite};
  for (std::size_t i = 0; i < sliders.size(); ++i) {
    if (sliders[i] == slider && m_quietPaint[i]) return static_cast<int>(i);
  }
  return -1;
}

void CWheelDlg::SetSelectedColour(unsigned channels, const Rgbw& colour) {
  const std::array<QSlider*, 4> sliders{m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite};
  int still = -1;  // a channel meant whose slider stays where it is
  bool moves = false;
  for (std::size_t i = 0; i < sliders.size(); ++i) {
    if ((channels & (1u << i)) == 0) continue;
    if ((sliders[i]->value() & 0xFF) != colour[i]) {
      moves = true;
    } else if (still < 0) {
      still = static_cast<int>(i);
    }
  }
  // Fixtures that differed from the one the sliders show changed: a repaint sends them, also
  // when no slider moves (a moving slider repaints anyway).
  if (m_rig->SetSelectedColour(channels, colour) && !moves && still >= 0) {
    sliders[static_cast<std::size_t>(still)]->update();
  }
}

void CWheelDlg::ShowSelectedColour() {
  const Rgbw colour = m_rig->SelectedColour();
  const std::array<QSlider*, 4> sliders{m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite};
  for (std::size_t i = 0; i < sliders.size(); ++i) {
    m_quietPaint[i] = true;
    SetSliderPosition(sliders[i], colour[i]);
  }
}

void CWheelDlg::OnBroadcast() { m_devices->OnBroadcast(); }

void CWheelDlg::OnDevice(int k) { m_devices->OnDevice(k); }

OutputTargets CWheelDlg::SelectedTargets() const { return m_devices->SelectedTargets(); }

// --- Window menu ---

void CWheelDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0u) == IDM_ABOUT) {
    CAboutDlg about;
    about.exec();
  }
}

}  // namespace chromaset
