// Which answering nodes Chromaset drives and which it may send to: one rule for the window's
// Devices menu and the command line's node list.
#pragma once

#include <cstdint>

#include "node_address.h"
#include "node_table.h"

namespace chromaset {

// The manufacturer code Chromaset drives, in both byte orders of the stored value.
inline constexpr std::uint16_t kDrivenEstaCode = 0x2C1A;
inline constexpr std::uint16_t kDrivenEstaCodeSwapped = 0x1A2C;

inline bool IsDrivenNode(const NodeRecord& record) {
  return record.EstaMan == kDrivenEstaCode || record.EstaMan == kDrivenEstaCodeSwapped;
}

// The node shares the first three octets with local (this computer's first address) and has an
// address a node can have: the window offers it, the command line reports it as reachable.
inline bool IsOnLocalNetwork(const Ipv4Bytes& ip, const Ipv4Bytes& local) {
  return SameNetwork24(ip, local) && NodeAddressProblem(ip) == AddressProblem::None;
}

}  // namespace chromaset
