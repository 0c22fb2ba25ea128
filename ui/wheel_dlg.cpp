#include "wheel_dlg.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QEventLoop>
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
#include <QTimer>
#include <QUrl>

#include <cstring>
#include <thread>

#include "about_dlg.h"
#include "app_icon.h"
#include "discovery_splash.h"
#include "favourites_bar.h"
#include "output_menu.h"
#include "pick_geometry.h"
#include "ui_main.h"
#include "value_panel.h"

// The resources live in this static library; registering them here keeps the linker from
// dropping them.
static void InitChromasetResources() { Q_INIT_RESOURCE(chromaset); }

namespace chromaset {

namespace {

constexpr int kSplashTickMs = 100;
// One row of the wheel picture: kWheelSize 32-bit pixels, no padding.
constexpr qsizetype kWheelBytesPerLine = qsizetype{kWheelSize} * sizeof(WheelPixel);

bool AcceptedNode(const NodeRecord& record) {
  return record.EstaMan == kEstaManAccepted || record.EstaMan == kEstaManAcceptedSwapped;
}

// 0.0.0.0/8, 127.0.0.0/8 and everything from 224.0.0.0 on are never a node's own address.
bool UnusableNodeAddress(const std::uint8_t* ip) {
  return ip[0] == 0 || ip[0] == 127 || ip[0] >= 224;
}

QString FormatAddress(const std::uint8_t* ip) {
  return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

// A fixed-width name field: up to its first zero byte, never past the field, Latin-1.
QString NameField(const char* field, std::size_t width) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, width)));
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

void ShowFailureMessageBox(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.exec();
}

CWheelDlg::CWheelDlg(ArtNetLink& link, QWidget* parent)
    : CWheelDlg(link, link.Nodes(), link.LocalAddresses(), parent) {
  m_link = &link;
}

CWheelDlg::CWheelDlg(ArtDmxSender& sender, const NodeTable& nodes,
                     const LocalAddressTable& localAddresses, QWidget* parent)
    : QDialog(parent),
      m_ui(std::make_unique<Ui::CWheelDlg>()),
      m_sender(sender),
      m_nodes(nodes),
      m_localAddresses(localAddresses),
      m_wheel(std::make_unique<WheelImage>()) {
  InitChromasetResources();
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

  // Each paint of a slider is an output notification.
  for (QSlider* slider : {m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite}) {
    slider->installEventFilter(this);
  }
  m_output = new DmxOutput(
      m_sender, [this] { return SelectedTargets(); }, this);
  m_values =
      new ValuePanel({m_sliderRed, m_sliderGreen, m_sliderBlue, m_sliderWhite},
                     {m_ui->m_valueRed, m_ui->m_valueGreen, m_ui->m_valueBlue, m_ui->m_valueWhite},
                     m_ui->m_colourCode, m_ui->m_swatch, this);
  m_favourites = new FavouritesBar([this] { return m_values->Current(); });
  (new QHBoxLayout(m_ui->m_favouritesArea))->setContentsMargins(0, 0, 0, 0);
  m_ui->m_favouritesArea->layout()->addWidget(m_favourites);
  connect(m_favourites, &FavouritesBar::Recall, m_values, &ValuePanel::Recall);
}

bool CWheelDlg::OnInitDialog(const InitOptions& options) {
  AppendAboutItem();
  SetWindowIcons();
  const bool networkUp = StartNetwork(options);
  BuildWheel();
  InitOutput();
  BuildDeviceMenu();
  m_outputMenu =
      new OutputMenu(*m_output, m_menuBar, m_windowMenu->menuAction(), m_ui->m_outputStatus, this);
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

void CWheelDlg::SetWindowIcons() { setWindowIcon(AppIcon()); }

bool CWheelDlg::StartNetwork(const InitOptions& options) {
  if (m_link != nullptr) {
    if (!m_link->OpenArtNetEndpoint()) {
      const QString title = QCoreApplication::applicationName();
      const QString text = QString::fromUtf8(kNetworkFailureText);
      if (options.showFailure) {
        options.showFailure(nullptr, title, text);
      } else {
        ShowFailureMessageBox(nullptr, title, text);
      }
      done(QDialog::Rejected);
      return false;
    }
    m_link->StartReceiver();
    m_link->SendArtPoll();
  }
  WaitForNodes(options);
  return true;
}

int CWheelDlg::CountAnsweredNodes() const {
  int count = 0;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    if (m_nodes.Record(slot).Port != 0) ++count;
  }
  return count;
}

void CWheelDlg::WaitForNodes(const InitOptions& options) {
  const auto waitMs = static_cast<qint64>(options.discoveryWait.count());
  if (waitMs <= 0) return;
  if (!options.showSplash) {
    std::this_thread::sleep_for(options.discoveryWait);
    return;
  }
  // The wait runs from the poll: making the splash is part of it. The dialog stays hidden;
  // only the splash runs an event loop until the wait is over.
  QElapsedTimer elapsed;
  elapsed.start();
  DiscoverySplash splash(windowIcon(), static_cast<int>(waitMs));
  splash.show();
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    const qint64 done = elapsed.elapsed();
    splash.Update(static_cast<int>(std::min(done, waitMs)), CountAnsweredNodes());
    if (done >= waitMs) loop.quit();
  });
  splash.Update(0, CountAnsweredNodes());
  tick.start(kSplashTickMs);
  for (qint64 left = waitMs - elapsed.elapsed(); left > 0; left = waitMs - elapsed.elapsed()) {
    QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  splash.close();
}

// --- Wheel picture ---

void CWheelDlg::BuildWheel() {
  // IDB_WHEEL as 32-bit pixels; a missing or malformed bitmap leaves the background black.
  QImage background(QString::fromUtf8(kWheelBitmapPath));
  if (!background.isNull()) background = background.convertToFormat(QImage::Format_RGB32);
  const bool usable = !background.isNull() && background.width() == kWheelSize &&
                      background.height() == kWheelSize &&
                      background.bytesPerLine() == kWheelBytesPerLine;
  m_wheel->BuildWheel(usable ? reinterpret_cast<const WheelPixel*>(background.constBits())
                             : nullptr);
  ShowWheel();
}

void CWheelDlg::ShowWheel() {
  // The picture gets its own copy: the display buffer changes with the next pick.
  const QImage view(reinterpret_cast<const uchar*>(m_wheel->DisplayPixels()), kWheelSize,
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
  const PackedRgb colour = m_wheel->DrawMarker(x, y);
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
    if (watched == m_sliderWhite) {
      OnCustomDrawWhite();
    } else if (watched == m_sliderRed || watched == m_sliderGreen || watched == m_sliderBlue) {
      OnCustomDrawColour();
    }
  }
  return QDialog::eventFilter(watched, event);  // the slider paints itself as usual
}

void CWheelDlg::OnCustomDrawWhite() {
  m_output->SetWhite(static_cast<std::uint8_t>(m_sliderWhite->value() & 0xFF));
  SendToTargets();
}

void CWheelDlg::OnCustomDrawColour() {
  m_output->SetColour(static_cast<std::uint8_t>(m_sliderRed->value() & 0xFF),
                      static_cast<std::uint8_t>(m_sliderGreen->value() & 0xFF),
                      static_cast<std::uint8_t>(m_sliderBlue->value() & 0xFF));
  SendToTargets();
}

void CWheelDlg::SendToTargets() { m_output->Send(); }

// --- Devices menu ---

void CWheelDlg::BuildDeviceMenu() {
  m_deviceCount = 0;
  m_itemCount = 0;
  m_deviceItems.fill(nullptr);

  m_devicesMenu = new QMenu(QString::fromUtf8(kDevicesMenuText), m_menuBar);
  m_devicesMenu->setObjectName(QStringLiteral("m_devicesMenu"));
  m_devicesMenu->setToolTipsVisible(true);
  m_menuBar->insertMenu(m_windowMenu->menuAction(), m_devicesMenu);

  m_broadcastItem = m_devicesMenu->addAction(QString::fromUtf8(kBroadcastItemText));
  m_broadcastItem->setData(ID_BROADCAST);
  m_broadcastItem->setCheckable(true);
  m_broadcastItem->setChecked(true);
  // Qt flips a checkable item before it reports the choice; the handlers set the marks
  // themselves, from the state the user saw.
  connect(m_broadcastItem, &QAction::triggered, this, [this] {
    m_broadcastItem->setChecked(!m_broadcastItem->isChecked());
    OnBroadcast();
  });

  // The command map: item k (id ID_DEVICE_1 + k - 1) runs OnDevice<k>.
  static constexpr std::array<void (CWheelDlg::*)(), kMaxDeviceItems> kDeviceHandlers = {
      &CWheelDlg::OnDevice1, &CWheelDlg::OnDevice2, &CWheelDlg::OnDevice3, &CWheelDlg::OnDevice4,
      &CWheelDlg::OnDevice5, &CWheelDlg::OnDevice6, &CWheelDlg::OnDevice7, &CWheelDlg::OnDevice8};

  const Ipv4Bytes& local = m_localAddresses[0];
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    const NodeRecord record = m_nodes.Record(slot);
    if (record.Port == 0) break;
    if (!AcceptedNode(record)) continue;
    if (m_deviceCount < kMaxDeviceItems) {
      const std::uint8_t* ip = record.IpAddress;
      const bool sameNetwork = ip[0] == local[0] && ip[1] == local[1] && ip[2] == local[2];
      QString text = NameField(record.LongName, sizeof record.LongName);
      text.replace(QLatin1Char('&'), QStringLiteral("&&"));
      QAction* item = m_devicesMenu->addAction(text);
      item->setData(ID_DEVICE_1 + m_deviceCount);
      item->setCheckable(true);
      item->setChecked(false);
      item->setEnabled(sameNetwork && !UnusableNodeAddress(ip));
      item->setToolTip(
          QStringLiteral("<qt>%1<br>%2</qt>")
              .arg(FormatAddress(ip),
                   NameField(record.ShortName, sizeof record.ShortName).toHtmlEscaped()));
      const auto index = static_cast<std::size_t>(m_deviceCount);
      m_deviceItems[index] = item;
      m_deviceAddresses[index] = {ip[0], ip[1], ip[2], ip[3]};
      connect(item, &QAction::triggered, this, [this, item, handler = kDeviceHandlers[index]] {
        item->setChecked(!item->isChecked());
        (this->*handler)();
      });
      ++m_itemCount;
    }
    ++m_deviceCount;
  }
  m_outputReady = true;
}

QAction* CWheelDlg::ItemAt(int position) const {
  if (position == 0) return m_broadcastItem;
  if (position >= 1 && position <= m_itemCount) {
    return m_deviceItems[static_cast<std::size_t>(position - 1)];
  }
  return nullptr;
}

bool CWheelDlg::IsChecked(const QAction* item) {
  // A greyed item never counts, whatever its mark.
  return item != nullptr && item->isChecked() && item->isEnabled();
}

void CWheelDlg::OnBroadcast() {
  if (m_broadcastItem == nullptr) return;
  m_broadcastItem->setChecked(true);
  for (int k = 1; k <= m_deviceCount; ++k) {
    if (QAction* item = ItemAt(k)) item->setChecked(false);
  }
}

void CWheelDlg::OnDevice(int k) {
  if (m_broadcastItem == nullptr) return;
  m_broadcastItem->setChecked(false);
  QAction* item = ItemAt(k);
  if (k < 1 || item == nullptr) return;
  item->setChecked(!IsChecked(item));
}

OutputTargets CWheelDlg::SelectedTargets() const {
  OutputTargets targets;
  if (IsChecked(m_broadcastItem)) {
    targets.broadcast = true;
    return targets;
  }
  for (int k = 1; k <= m_deviceCount; ++k) {
    if (IsChecked(ItemAt(k))) {
      targets.addresses[static_cast<std::size_t>(targets.count)] =
          m_deviceAddresses[static_cast<std::size_t>(k - 1)];
      ++targets.count;
    }
  }
  return targets;
}

// --- Window menu ---

void CWheelDlg::OnSysCommand(unsigned id) {
  if ((id & 0xFFF0u) == IDM_ABOUT) {
    CAboutDlg about;
    about.exec();
  }
}

}  // namespace chromaset
