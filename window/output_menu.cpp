#include "output_menu.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>

#include "dmx_output.h"
#include "patch_dialog.h"

namespace chromaset {

OutputMenu::OutputMenu(DmxOutput& output, QMenuBar* bar, QAction* before, QLabel* status,
                       QWidget* dialogParent)
    : QObject(bar), m_output(output), m_dialogParent(dialogParent), m_status(status) {
  m_menu = new QMenu(tr("Output"), bar);
  m_menu->setObjectName(QStringLiteral("m_outputMenu"));
  bar->insertMenu(before, m_menu);

  m_patch = m_menu->addAction(tr("Patch\u2026"));
  connect(m_patch, &QAction::triggered, this, &OutputMenu::OnPatch);
  m_menu->addSeparator();
  m_keepAlive = m_menu->addAction(tr("Keep output alive"));
  m_keepAlive->setCheckable(true);
  m_keepAlive->setToolTip(tr("Send the frame again after one second without output"));
  connect(m_keepAlive, &QAction::toggled, &m_output, &DmxOutput::SetKeepAlive);
  m_rateLimit = m_menu->addAction(tr("Limit to 44 frames/s"));
  m_rateLimit->setCheckable(true);
  m_rateLimit->setToolTip(tr("At most 44 frames per second to each destination"));
  connect(m_rateLimit, &QAction::toggled, &m_output, &DmxOutput::SetRateLimit);
  m_sync = m_menu->addAction(tr("Synchronise universes (ArtSync)"));
  m_sync->setCheckable(true);
  m_sync->setToolTip(tr("Nodes show the frames of one change together"));
  connect(m_sync, &QAction::toggled, &m_output, &DmxOutput::SetSync);
  m_menu->setToolTipsVisible(true);

  if (m_status != nullptr) {
    // Unnamed, a label is read out by the text it shows, whatever sets it; what it is goes to
    // the description.
    m_status->setAccessibleDescription(tr("Output status"));
    m_status->setAccessibleName(QString());
  }
  connect(&m_output.Model(), &RigModel::Changed, this, &OutputMenu::ShowState);
  connect(&m_output, &DmxOutput::KeepAliveChanged, this, &OutputMenu::ShowState);
  connect(&m_output, &DmxOutput::RateLimitChanged, this, &OutputMenu::ShowState);
  connect(&m_output, &DmxOutput::SyncChanged, this, &OutputMenu::ShowState);
  connect(&m_output, &DmxOutput::RoutesChanged, this, &OutputMenu::ShowState);
  ShowState();
}

void OutputMenu::OnPatch() {
  const RigModel& rig = m_output.Model();
  const Fixture& fixture = rig.Current().At(rig.Selection().front());
  PatchDialog dialog(m_output.Patch(), m_dialogParent, fixture.layout.Count());
  // A place the rig refuses (another fixture's channels, past 512) is said, and changes nothing.
  while (dialog.exec() == QDialog::Accepted) {
    std::string reason;
    if (m_output.SetPatch(dialog.Patch(), &reason)) return;
    QMessageBox::warning(m_dialogParent, tr("Patch"), QString::fromStdString(reason));
  }
}

void OutputMenu::ShowState() {
  m_keepAlive->setChecked(m_output.KeepAlive());
  m_rateLimit->setChecked(m_output.RateLimit());
  m_sync->setChecked(m_output.Sync());
  if (m_status == nullptr) return;
  QString text = RigSummary(m_output.Model().Current());
  if (m_output.KeepAlive()) text += tr(" \u00b7 kept alive");
  if (m_output.RateLimit()) text += tr(" \u00b7 44 frames/s");
  if (m_output.Routing()) {
    text += tr(" \u00b7 routed");
    const std::vector<int>& unrouted = m_output.Routes().Unrouted();
    for (std::size_t i = 0; i < unrouted.size(); ++i) {
      text += i == 0 ? tr(" \u00b7 not routed: ") : QStringLiteral(", ");
      text += QLatin1String(PortAddressText(unrouted[i]).data());
    }
  }
  if (m_output.Sync()) text += tr(" \u00b7 ArtSync");
  m_status->setText(text);
}

}  // namespace chromaset
