// Which answering nodes Chromaset drives and which it may send to: one rule for the window's
// Devices menu and the command line's node list.
#pragma once

#include <cstdint>

#include "node_table.h"

namespace chromaset {

// The manufacturer code Chromaset drives, in both byte orders of the stored value.
inline constexpr std::uint16_t kDrivenEstaCode = 0x2C1A;
inline constexpr std::uint16_t kDrivenEstaCodeSwapped = 0x1A2C;

inline bool IsDrivenNode(const NodeRecord& record) {
  return record.EstaMan == kDrivenEstaCode || record.EstaMan == kDrivenEstaCodeSwapped;
}

// 0.0.0.0/8, 127.0.0.0/8 and everything from 224.0.0.0 on are never a node's own address.
inline bool IsUnusableNodeAddress(const std::uint8_t* ip) {
  return ip[0] == 0 || ip[0] == 127 || ip[0] >= 224;
}

// The node shares the first three octets with local (this computer's first address) and has an
// address a node can have: the window offers it, the command line reports it as reachable.
inline bool IsOnLocalNetwork(const std::uint8_t* ip, const std::uint8_t* local) {
  return ip[0] == local[0] && ip[1] == local[1] && ip[2] == local[2] && !IsUnusableNodeAddress(ip);
}

}  // namespace chromaset
