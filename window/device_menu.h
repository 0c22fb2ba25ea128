// The Devices menu: "ALL (Broadcast)", one item per usable node (discovered ones in answer
// order, then the ones the user added by address), and below a separator the search, the
// added nodes and the start-up wait. It decides where each frame goes.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <chrono>
#include <functional>
#include <string_view>
#include <vector>

#include "artnet_link.h"
#include "ids.h"
#include "node_table.h"
#include "output_pacer.h"
#include "port_table.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace chromaset {

struct Settings;

inline constexpr char kSearchAgainText[] = "Search again";
inline constexpr char kAddNodeText[] = "Add node\u2026";
inline constexpr char kRemoveNodeText[] = "Remove added node";
inline constexpr char kWaitAtStartText[] = "Wait for nodes at start";
inline constexpr char kRouteItemText[] = "Send each universe to the nodes that output it";

// How long "Search again" (and the background search at start) listens for answers.
inline constexpr std::chrono::milliseconds kSearchWait{3000};

// Slots of the table in use: the nodes that have answered so far.
int CountAnsweredNodes(const NodeTable& nodes);

class DeviceMenu : public QObject {
  Q_OBJECT

 public:
  DeviceMenu(const NodeTable& nodes, const LocalAddressTable& localAddresses,
             QObject* parent = nullptr);

  // Sends one ArtPoll; empty when there is no link (the search then only waits).
  void SetPoll(std::function<void()> poll) { m_poll = std::move(poll); }
  void SetSearchWait(std::chrono::milliseconds wait) { m_searchWait = wait; }
  // What the nodes output, shown in the device items' tooltips ("Outputs 0:0:1, 0:0:2").
  void SetPorts(const PortTable* ports) { m_ports = ports; }
  // The tooltips again from the port table, the items as they are.
  void RefreshTooltips();
  // The remembered choices (added nodes, ticks, wait at start); call before Create.
  void Restore(const Settings& settings);
  // Writes the device choices into settings; until the user chooses, the ticks stay as loaded.
  void Store(Settings& settings) const;

  // Makes the menu in bar before the menu of before and fills it; later calls rebuild it.
  void Create(QMenuBar* bar, QAction* before);
  // Refills the device items from the table, keeping ticks by address and the broadcast mark.
  void Rebuild();

  void OnBroadcast();
  void OnDevice(int k);  // k = 1..8, the item at that position
  OutputTargets SelectedTargets() const;

  // One poll (when sendPoll), then answers are awaited for the search wait while the window
  // stays usable; the menu is rebuilt at the end. Ignored while a search runs.
  void StartSearch(bool sendPoll);
  bool Searching() const { return m_searchEnd.isActive(); }

  // Adds a device item for the address in text; empty when added, else the reason.
  QString AddNode(std::string_view text);
  void RemoveAddedNode(const Ipv4Bytes& address);
  bool HasRoom() const { return m_itemCount < kMaxDeviceItems; }
  const std::vector<Ipv4Bytes>& AddedNodes() const { return m_added; }

  QMenu* Menu() const { return m_menu; }
  int DeviceCount() const { return m_deviceCount; }
  int ItemCount() const { return m_itemCount; }
  QAction* ItemAt(int position) const;  // 0 = broadcast, 1..8 devices, else null
  QAction* SearchItem() const { return m_searchItem; }
  QAction* AddItem() const { return m_addItem; }
  QMenu* RemoveMenu() const { return m_removeMenu; }
  QAction* WaitItem() const { return m_waitItem; }
  // "Send each universe to the nodes that output it", unchecked; NodeRouting drives it.
  QAction* RouteItem() const { return m_routeItem; }

 private:
  void CreateTail();
  void AddDeviceItem(const Ipv4Bytes& ip, const QString& text, const QString& tip);
  QString ItemTip(std::size_t index) const;
  void ApplyPendingTicks();
  void RefreshRemoveMenu();
  void ShowSearchProgress();
  void FinishSearch();
  void AskForNode();
  bool Listed(const Ipv4Bytes& address) const;
  static bool IsChecked(const QAction* item);

  const NodeTable& m_nodes;
  const LocalAddressTable& m_localAddresses;
  std::function<void()> m_poll;
  std::chrono::milliseconds m_searchWait = kSearchWait;

  QMenu* m_menu = nullptr;
  QAction* m_broadcastItem = nullptr;
  QAction* m_separator = nullptr;
  QAction* m_searchItem = nullptr;
  QAction* m_addItem = nullptr;
  QMenu* m_removeMenu = nullptr;
  QAction* m_waitItem = nullptr;
  QAction* m_routeItem = nullptr;
  const PortTable* m_ports = nullptr;

  // The device items by position and the address each was built with.
  std::array<QAction*, kMaxDeviceItems> m_deviceItems{};
  std::array<Ipv4Bytes, kMaxDeviceItems> m_deviceAddresses{};
  std::array<QString, kMaxDeviceItems> m_deviceTips{};  // the second line of each tooltip
  int m_itemCount = 0;
  int m_deviceCount = 0;  // accepted nodes in the table (listed or not) plus added items

  std::vector<Ipv4Bytes> m_added;
  bool m_waitAtStart = true;
  // Remembered ticks, each applied once its node is listed unless the user chose first; until
  // the user chooses, they are what is remembered again.
  std::vector<Ipv4Bytes> m_rememberedTicks;
  std::vector<Ipv4Bytes> m_pendingTicks;  // not listed yet
  bool m_rememberedBroadcast = true;
  bool m_userChose = false;

  QTimer m_searchEnd;
  QTimer m_searchTick;
};

}  // namespace chromaset
