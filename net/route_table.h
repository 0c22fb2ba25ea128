// Where each universe goes when it is sent to the nodes that output it: built from a copy of the
// port table, the universes the rig uses and the nodes added by address (which never say what
// they output, so they get every universe).
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "port_table.h"

namespace chromaset {

class RouteTable {
 public:
  // universes: the Port-Addresses in use, ascending. Each goes to every node heard within
  // kNodeSilence before now with an address a node can have and an output port on it, once per
  // IP whatever its ports and BindIndexes (ascending by address), then to every added node not
  // already among them (in the order given).
  void Build(const std::vector<PortEntry>& ports, const std::vector<int>& universes,
             const std::vector<Ipv4Bytes>& added, PortTime now);

  // The destinations of universe portAddress; empty when no node outputs it or the table was
  // not built for it.
  std::span<const Ipv4Bytes> For(int portAddress) const;
  bool Has(int portAddress, const Ipv4Bytes& destination) const;
  // The universes of the last Build that go nowhere, ascending.
  const std::vector<int>& Unrouted() const { return m_unrouted; }
  // When the first node counted now falls silent: the table must be built again by then.
  std::optional<PortTime> NextExpiry() const { return m_nextExpiry; }
  bool operator==(const RouteTable&) const = default;

 private:
  struct Route {
    int portAddress = 0;
    std::size_t first = 0;  // into m_destinations
    std::size_t count = 0;
    bool operator==(const Route&) const = default;
  };
  std::vector<Route> m_routes;  // ascending Port-Address
  std::vector<Ipv4Bytes> m_destinations;
  std::vector<int> m_unrouted;
  std::optional<PortTime> m_nextExpiry;
};

}  // namespace chromaset
