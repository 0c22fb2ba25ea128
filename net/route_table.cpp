#include "route_table.h"

#include <algorithm>

#include "node_address.h"

namespace chromaset {

void RouteTable::Build(const std::vector<PortEntry>& ports, const std::vector<int>& universes,
                       const std::vector<Ipv4Bytes>& added, PortTime now) {
  m_routes.clear();
  m_destinations.clear();
  m_unrouted.clear();
  m_nextExpiry.reset();

  // (universe, node) for every output of a node that counts now.
  std::vector<std::pair<int, Ipv4Bytes>> outputs;
  for (const PortEntry& entry : ports) {
    if (now - entry.lastReply >= kNodeSilence) continue;
    if (NodeAddressProblem(entry.ip) != AddressProblem::None) continue;
    for (int i = 0; i < entry.outputCount; ++i) {
      outputs.emplace_back(entry.outputs[static_cast<std::size_t>(i)], entry.ip);
    }
    const PortTime silentAt = entry.lastReply + kNodeSilence;
    if (!m_nextExpiry || silentAt < *m_nextExpiry) m_nextExpiry = silentAt;
  }
  std::sort(outputs.begin(), outputs.end());
  outputs.erase(std::unique(outputs.begin(), outputs.end()), outputs.end());

  m_routes.reserve(universes.size());
  for (const int universe : universes) {
    Route route{universe, m_destinations.size(), 0};
    auto it = std::lower_bound(outputs.begin(), outputs.end(),
                               std::pair<int, Ipv4Bytes>{universe, Ipv4Bytes{}});
    for (; it != outputs.end() && it->first == universe; ++it) m_destinations.push_back(it->second);
    for (const Ipv4Bytes& node : added) {
      // Pushing may move the storage: the range is looked up afresh for each node.
      const auto first = m_destinations.begin() + static_cast<std::ptrdiff_t>(route.first);
      if (std::find(first, m_destinations.end(), node) == m_destinations.end()) {
        m_destinations.push_back(node);
      }
    }
    route.count = m_destinations.size() - route.first;
    if (route.count == 0) m_unrouted.push_back(universe);
    m_routes.push_back(route);
  }
}

std::span<const Ipv4Bytes> RouteTable::For(int portAddress) const {
  const auto it =
      std::lower_bound(m_routes.begin(), m_routes.end(), portAddress,
                       [](const Route& route, int port) { return route.portAddress < port; });
  if (it == m_routes.end() || it->portAddress != portAddress) return {};
  return {m_destinations.data() + it->first, it->count};
}

bool RouteTable::Has(int portAddress, const Ipv4Bytes& destination) const {
  const auto to = For(portAddress);
  return std::find(to.begin(), to.end(), destination) != to.end();
}

}  // namespace chromaset
