// "Send each universe to the nodes that output it": while the output routes, an ArtPoll every
// 2.75 s (the protocol asks for 2.5 to 3 s) and a look every second at what the nodes said; the
// routes are built again when the port table, the rig's universes or the added nodes changed,
// or a node counted fell silent, and handed to the output (which sends to newcomers at once).
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "dmx_output.h"
#include "port_table.h"

class QAction;

namespace chromaset {

class DeviceMenu;

inline constexpr std::chrono::milliseconds kRoutePollInterval{2750};
inline constexpr std::chrono::milliseconds kRouteCheckInterval{1000};

class NodeRouting : public QObject {
  Q_OBJECT

 public:
  using PollFn = std::function<void()>;
  using AddedFn = std::function<std::vector<Ipv4Bytes>()>;
  using ClockFn = std::function<PortTime()>;

  // Follows output's routing switch. poll sends one ArtPoll (empty: none); added gives the
  // nodes added by address; clock the time of the port table's replies (empty: steady_clock).
  NodeRouting(const PortTable& ports, DmxOutput& output, PollFn poll, AddedFn added,
              ClockFn clock = {}, QObject* parent = nullptr);

  void SetPoll(PollFn poll) { m_poll = std::move(poll); }
  void SetClock(ClockFn clock);
  // The Devices menu's item for the switch, its device tooltips kept up to date while on.
  void Attach(DeviceMenu& devices);
  QAction* Item() const { return m_item; }

  // Builds the routes again if anything they depend on moved; nothing while routing is off.
  void Check();

 signals:
  // The port table changed since the last look (new answers): tooltips may change.
  void PortsChanged();

 private:
  void Follow(bool on);

  const PortTable& m_ports;
  DmxOutput& m_output;
  PollFn m_poll;
  AddedFn m_added;
  ClockFn m_clock;
  QAction* m_item = nullptr;

  // What the current routes were built from.
  bool m_built = false;
  std::uint64_t m_generation = 0;
  std::vector<int> m_universes;
  std::vector<Ipv4Bytes> m_addedNodes;
  std::vector<PortEntry> m_snapshot;  // reused: no allocation once grown

  QTimer m_pollTimer;
  QTimer m_checkTimer;
};

}  // namespace chromaset
