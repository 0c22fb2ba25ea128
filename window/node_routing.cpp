#include "node_routing.h"

#include <QAction>
#include <QMenu>

#include "device_menu.h"

namespace chromaset {

NodeRouting::NodeRouting(const PortTable& ports, DmxOutput& output, PollFn poll, AddedFn added,
                         ClockFn clock, QObject* parent)
    : QObject(parent),
      m_ports(ports),
      m_output(output),
      m_poll(std::move(poll)),
      m_added(std::move(added)) {
  SetClock(std::move(clock));
  m_pollTimer.setInterval(kRoutePollInterval);
  m_checkTimer.setInterval(kRouteCheckInterval);
  connect(&m_pollTimer, &QTimer::timeout, this, [this] {
    if (m_poll) m_poll();
  });
  connect(&m_checkTimer, &QTimer::timeout, this, &NodeRouting::Check);
  connect(&m_output, &DmxOutput::RoutingChanged, this, &NodeRouting::Follow);
  // A universe added to the rig goes to its nodes now, not at the next look.
  connect(&m_output, &DmxOutput::UniversesChanged, this, &NodeRouting::Check);
}

void NodeRouting::SetClock(ClockFn clock) {
  m_clock = clock ? std::move(clock) : ClockFn([] { return std::chrono::steady_clock::now(); });
}

void NodeRouting::Attach(DeviceMenu& devices) {
  devices.SetPorts(&m_ports);
  devices.RefreshTooltips();  // the menu was built before it knew the ports
  m_item = devices.RouteItem();
  if (m_item == nullptr) return;
  m_item->setChecked(m_output.Routing());
  connect(m_item, &QAction::toggled, &m_output, &DmxOutput::SetRouting);
  connect(&m_output, &DmxOutput::RoutingChanged, m_item, &QAction::setChecked);
  connect(this, &NodeRouting::PortsChanged, &devices, &DeviceMenu::RefreshTooltips);
}

void NodeRouting::Follow(bool on) {
  m_built = false;
  if (!on) {
    m_pollTimer.stop();
    m_checkTimer.stop();
    return;
  }
  if (m_poll) m_poll();
  Check();
  m_pollTimer.start();
  m_checkTimer.start();
}

void NodeRouting::Check() {
  if (!m_output.Routing()) return;
  const PortTime now = m_clock();
  const std::uint64_t generation = m_ports.Generation();
  const bool answered = generation != m_generation;
  std::vector<int> universes = m_output.Universes();
  std::vector<Ipv4Bytes> added = m_added ? m_added() : std::vector<Ipv4Bytes>{};
  const auto expiry = m_output.Routes().NextExpiry();
  const bool stale = !m_built || answered || universes != m_universes || added != m_addedNodes ||
                     (expiry && now >= *expiry);
  if (!stale) return;
  m_ports.Snapshot(m_snapshot);
  RouteTable routes;
  routes.Build(m_snapshot, universes, added, now);
  m_built = true;
  m_generation = generation;
  m_universes = std::move(universes);
  m_addedNodes = std::move(added);
  m_output.UseRoutes(routes);
  if (answered) emit PortsChanged();
}

}  // namespace chromaset
