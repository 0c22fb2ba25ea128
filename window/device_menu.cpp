#include "device_menu.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <algorithm>
#include <cstring>

#include "add_node_dlg.h"
#include "node_address.h"
#include "node_rules.h"
#include "settings_store.h"

namespace chromaset {

namespace {

constexpr int kSearchTickMs = 200;

QString FormatAddress(const Ipv4Bytes& ip) {
  return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

// A fixed-width name field: up to its first zero byte, never past the field, Latin-1.
QString NameField(const char* field, std::size_t width) {
  return QString::fromLatin1(field, static_cast<qsizetype>(strnlen(field, width)));
}

bool Contains(const std::vector<Ipv4Bytes>& list, const Ipv4Bytes& address) {
  return std::find(list.begin(), list.end(), address) != list.end();
}

}  // namespace

int CountAnsweredNodes(const NodeTable& nodes) {
  int count = 0;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    if (IsInUse(nodes.Record(slot))) ++count;
  }
  return count;
}

DeviceMenu::DeviceMenu(const NodeTable& nodes, const LocalAddressTable& localAddresses,
                       QObject* parent)
    : QObject(parent), m_nodes(nodes), m_localAddresses(localAddresses) {
  m_searchEnd.setSingleShot(true);
  connect(&m_searchEnd, &QTimer::timeout, this, &DeviceMenu::FinishSearch);
  connect(&m_searchTick, &QTimer::timeout, this, &DeviceMenu::ShowSearchProgress);
}

void DeviceMenu::Restore(const Settings& settings) {
  m_added = settings.addedNodes;
  if (m_added.size() > static_cast<std::size_t>(kMaxAddedNodes)) m_added.resize(kMaxAddedNodes);
  m_waitAtStart = settings.waitAtStart;
  m_rememberedTicks = settings.tickedDevices;
  m_pendingTicks = settings.tickedDevices;
  m_rememberedBroadcast = settings.broadcastTicked;
  m_userChose = false;
  if (m_waitItem != nullptr) m_waitItem->setChecked(m_waitAtStart);
}

void DeviceMenu::Store(Settings& settings) const {
  settings.addedNodes = m_added;
  settings.waitAtStart = m_waitItem != nullptr ? m_waitItem->isChecked() : m_waitAtStart;
  if (!m_userChose) {
    settings.tickedDevices = m_rememberedTicks;
    settings.broadcastTicked = m_rememberedBroadcast;
    return;
  }
  const OutputTargets targets = SelectedTargets();
  settings.broadcastTicked = targets.broadcast;
  settings.tickedDevices.assign(targets.addresses.begin(),
                                targets.addresses.begin() + targets.count);
}

void DeviceMenu::Create(QMenuBar* bar, QAction* before) {
  if (m_menu != nullptr) {
    Rebuild();
    return;
  }
  m_menu = new QMenu(QString::fromUtf8(kDevicesMenuText), bar);
  m_menu->setObjectName(QStringLiteral("m_devicesMenu"));
  m_menu->setToolTipsVisible(true);
  bar->insertMenu(before, m_menu);

  m_broadcastItem = m_menu->addAction(QString::fromUtf8(kBroadcastItemText));
  m_broadcastItem->setData(ID_BROADCAST);
  m_broadcastItem->setCheckable(true);
  m_broadcastItem->setChecked(true);
  // Qt flips a checkable item before it reports the choice; the handlers set the marks
  // themselves, from the state the user saw.
  connect(m_broadcastItem, &QAction::triggered, this, [this] {
    m_broadcastItem->setChecked(!m_broadcastItem->isChecked());
    OnBroadcast();
  });
  CreateTail();
  Rebuild();
}

void DeviceMenu::CreateTail() {
  m_separator = m_menu->addSeparator();
  m_searchItem = m_menu->addAction(QString::fromUtf8(kSearchAgainText));
  connect(m_searchItem, &QAction::triggered, this, [this] { StartSearch(true); });
  m_addItem = m_menu->addAction(QString::fromUtf8(kAddNodeText));
  connect(m_addItem, &QAction::triggered, this, &DeviceMenu::AskForNode);
  m_removeMenu = m_menu->addMenu(QString::fromUtf8(kRemoveNodeText));
  m_routeItem = m_menu->addAction(QString::fromUtf8(kRouteItemText));
  m_routeItem->setCheckable(true);
  m_waitItem = m_menu->addAction(QString::fromUtf8(kWaitAtStartText));
  m_waitItem->setCheckable(true);
  m_waitItem->setChecked(m_waitAtStart);
}

void DeviceMenu::Rebuild() {
  // The marks the user sees now, by address.
  std::vector<Ipv4Bytes> ticked;
  for (int k = 1; k <= m_itemCount; ++k) {
    if (ItemAt(k)->isChecked())
      ticked.push_back(m_deviceAddresses[static_cast<std::size_t>(k - 1)]);
  }
  for (QAction*& item : m_deviceItems) {
    if (item == nullptr) continue;
    m_menu->removeAction(item);
    delete item;
    item = nullptr;
  }
  m_itemCount = 0;
  m_deviceCount = 0;

  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    const NodeRecord record = m_nodes.Record(slot);
    if (!IsInUse(record)) break;
    if (!IsDrivenNode(record)) continue;
    ++m_deviceCount;
    const Ipv4Bytes ip{record.IpAddress[0], record.IpAddress[1], record.IpAddress[2],
                       record.IpAddress[3]};
    QString text = NameField(record.LongName, sizeof record.LongName);
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    AddDeviceItem(ip, text, NameField(record.ShortName, sizeof record.ShortName).toHtmlEscaped());
  }
  for (const Ipv4Bytes& ip : m_added) {
    if (Listed(ip)) continue;  // the node answered: its own item stands for it
    ++m_deviceCount;
    AddDeviceItem(ip, FormatAddress(ip), tr("added by address"));
  }
  for (int k = 1; k <= m_itemCount; ++k) {
    const auto index = static_cast<std::size_t>(k - 1);
    if (Contains(ticked, m_deviceAddresses[index])) m_deviceItems[index]->setChecked(true);
  }
  ApplyPendingTicks();
  RefreshRemoveMenu();
}

void DeviceMenu::AddDeviceItem(const Ipv4Bytes& ip, const QString& text, const QString& tip) {
  if (m_itemCount >= kMaxDeviceItems) return;
  const auto index = static_cast<std::size_t>(m_itemCount);
  const int k = m_itemCount + 1;
  auto* item = new QAction(text, m_menu);
  item->setData(ID_DEVICE_1 + m_itemCount);
  item->setCheckable(true);
  item->setChecked(false);
  item->setEnabled(IsOnLocalNetwork(ip, m_localAddresses[0]));
  m_menu->insertAction(m_separator, item);
  m_deviceItems[index] = item;
  m_deviceAddresses[index] = ip;
  m_deviceTips[index] = tip;
  item->setToolTip(ItemTip(index));
  connect(item, &QAction::triggered, this, [this, item, k] {
    item->setChecked(!item->isChecked());
    OnDevice(k);
  });
  ++m_itemCount;
}

QString DeviceMenu::ItemTip(std::size_t index) const {
  const Ipv4Bytes& ip = m_deviceAddresses[index];
  QString tip = QStringLiteral("<qt>%1<br>%2").arg(FormatAddress(ip), m_deviceTips[index]);
  const std::vector<int> outputs = m_ports != nullptr ? m_ports->OutputsOf(ip) : std::vector<int>{};
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    tip += QLatin1String(i == 0 ? "<br>Outputs " : ", ");
    tip += QLatin1String(PortAddressText(outputs[i]).data());
  }
  return tip + QStringLiteral("</qt>");
}

void DeviceMenu::RefreshTooltips() {
  for (int k = 0; k < m_itemCount; ++k) {
    const auto index = static_cast<std::size_t>(k);
    m_deviceItems[index]->setToolTip(ItemTip(index));
  }
}

void DeviceMenu::ApplyPendingTicks() {
  if (m_userChose) return;
  bool any = false;
  for (int k = 1; k <= m_itemCount; ++k) {
    QAction* item = ItemAt(k);
    const Ipv4Bytes& ip = m_deviceAddresses[static_cast<std::size_t>(k - 1)];
    const auto it = std::find(m_pendingTicks.begin(), m_pendingTicks.end(), ip);
    if (item->isEnabled() && it != m_pendingTicks.end()) {
      item->setChecked(true);
      m_pendingTicks.erase(it);
      any = true;
    }
  }
  if (any) m_broadcastItem->setChecked(false);
}

bool DeviceMenu::Listed(const Ipv4Bytes& address) const {
  for (int k = 0; k < m_itemCount; ++k) {
    if (m_deviceAddresses[static_cast<std::size_t>(k)] == address) return true;
  }
  return false;
}

QAction* DeviceMenu::ItemAt(int position) const {
  if (position == 0) return m_broadcastItem;
  if (position >= 1 && position <= m_itemCount) {
    return m_deviceItems[static_cast<std::size_t>(position - 1)];
  }
  return nullptr;
}

bool DeviceMenu::IsChecked(const QAction* item) {
  // A greyed item never counts, whatever its mark.
  return item != nullptr && item->isChecked() && item->isEnabled();
}

void DeviceMenu::OnBroadcast() {
  if (m_broadcastItem == nullptr) return;
  m_userChose = true;
  m_broadcastItem->setChecked(true);
  for (int k = 1; k <= m_itemCount; ++k) ItemAt(k)->setChecked(false);
}

void DeviceMenu::OnDevice(int k) {
  if (m_broadcastItem == nullptr) return;
  m_userChose = true;
  m_broadcastItem->setChecked(false);
  QAction* item = ItemAt(k);
  if (k < 1 || item == nullptr) return;
  item->setChecked(!IsChecked(item));
}

OutputTargets DeviceMenu::SelectedTargets() const {
  OutputTargets targets;
  if (IsChecked(m_broadcastItem)) {
    targets.broadcast = true;
    return targets;
  }
  for (int k = 1; k <= m_itemCount; ++k) {
    if (IsChecked(ItemAt(k))) {
      targets.addresses[static_cast<std::size_t>(targets.count)] =
          m_deviceAddresses[static_cast<std::size_t>(k - 1)];
      ++targets.count;
    }
  }
  return targets;
}

void DeviceMenu::StartSearch(bool sendPoll) {
  if (Searching() || m_menu == nullptr) return;
  if (sendPoll && m_poll) m_poll();
  m_searchEnd.start(static_cast<int>(m_searchWait.count()));
  m_searchTick.start(kSearchTickMs);
  ShowSearchProgress();
}

void DeviceMenu::ShowSearchProgress() {
  m_searchItem->setEnabled(false);
  m_searchItem->setText(tr("Searching\u2026 (%1 answered)").arg(CountAnsweredNodes(m_nodes)));
}

void DeviceMenu::FinishSearch() {
  m_searchTick.stop();
  Rebuild();
  m_searchItem->setText(QString::fromUtf8(kSearchAgainText));
  m_searchItem->setEnabled(true);
}

QString DeviceMenu::AddNode(std::string_view text) {
  Ipv4Bytes address{};
  const AddressProblem problem = ParseNodeAddress(text, address);
  if (problem != AddressProblem::None) return QString::fromUtf8(AddressProblemText(problem));
  if (Listed(address)) return tr("%1 is already in the Devices menu.").arg(FormatAddress(address));
  if (!HasRoom() || m_added.size() >= static_cast<std::size_t>(kMaxAddedNodes)) {
    return tr("The Devices menu already holds %1 devices.").arg(kMaxDeviceItems);
  }
  m_added.push_back(address);
  Rebuild();
  return {};
}

void DeviceMenu::RemoveAddedNode(const Ipv4Bytes& address) {
  const auto it = std::find(m_added.begin(), m_added.end(), address);
  if (it == m_added.end()) return;
  m_added.erase(it);
  Rebuild();
}

void DeviceMenu::RefreshRemoveMenu() {
  m_removeMenu->clear();
  for (const Ipv4Bytes& ip : m_added) {
    QAction* item = m_removeMenu->addAction(FormatAddress(ip));
    // Queued: the rebuild clears this submenu, item included.
    connect(
        item, &QAction::triggered, this, [this, ip] { RemoveAddedNode(ip); }, Qt::QueuedConnection);
  }
  m_removeMenu->setEnabled(!m_added.empty());
}

void DeviceMenu::AskForNode() {
  AddNodeDlg dialog(m_menu->parentWidget() != nullptr ? m_menu->parentWidget()->window() : nullptr);
  if (!HasRoom()) {
    dialog.ShowFull(tr("The Devices menu already holds %1 devices; remove an added node first.")
                        .arg(kMaxDeviceItems));
  }
  dialog.SetAdd([this](const QString& text) { return AddNode(text.toStdString()); });
  dialog.exec();
}

}  // namespace chromaset
