// What each answering node outputs: the Port-Addresses of its output ports, read from every
// ArtPollReply and kept by (IP, BindIndex), so a node with many ports (one reply per BindIndex)
// is known whole. The receiver thread writes it; the window and the command line read copies.
// Clock-injected: callers pass the time of each reply and of each question.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "artnet_packets.h"
#include "node_table.h"

namespace chromaset {

inline constexpr std::size_t kPortEntries = 1024;
inline constexpr int kPortsPerReply = 4;
// A node silent this long is no longer a destination (one lost reply must not black it out).
inline constexpr std::chrono::seconds kNodeSilence{10};

using PortTime = std::chrono::steady_clock::time_point;

// The routing part of one reply.
struct PortEntry {
  Ipv4Bytes ip{};
  std::uint8_t bindIndex = 1;  // 1 the root device; a reply without one (0) counts as 1
  int outputCount = 0;         // ports that output, at most kPortsPerReply
  std::array<std::uint16_t, kPortsPerReply> outputs{};  // their Port-Addresses, port order
  PortTime lastReply{};
  bool operator==(const PortEntry&) const = default;
};

// The output Port-Addresses of one reply of length bytes (bytes past its end read as 0): each
// port below NumPorts (at most four) whose PortTypes bit 7 is set, its address made of
// NetSwitch's low 7 bits, SubSwitch's low nibble and SwOut's low nibble. False for a reply under
// 16 bytes (no address).
bool ReadPortEntry(const std::uint8_t* reply, std::size_t length, PortEntry& entry);

// "0:0:1": a Port-Address as Net:Sub-Net:Universe, the way the window names universes.
std::array<char, 12> PortAddressText(int portAddress);

class PortTable {
 public:
  enum class Update { kIgnored, kRefreshed, kChanged, kDropped };

  // Stores one reply received at now. A new (IP, BindIndex), changed outputs or a node heard
  // again after kNodeSilence is kChanged (and moves Generation on); the same again kRefreshed.
  // When all kPortEntries are held, a new one takes the place of the longest silent entry if
  // that has been silent for kNodeSilence; else it is dropped, with one line on stderr the
  // first time.
  Update ApplyPollReply(const std::uint8_t* reply, std::size_t length, PortTime now);

  // Copies every entry into out (its capacity is kept: no allocation once it has grown).
  void Snapshot(std::vector<PortEntry>& out) const;
  // The output Port-Addresses of ip over all its BindIndexes, ascending, each once.
  std::vector<int> OutputsOf(const Ipv4Bytes& ip) const;
  // Moves on with every kChanged: routes built at an older generation may be out of date.
  std::uint64_t Generation() const;
  std::size_t Dropped() const;

 private:
  mutable std::mutex m_lock;
  std::array<PortEntry, kPortEntries> m_entries{};
  std::size_t m_used = 0;
  std::uint64_t m_generation = 0;
  std::size_t m_dropped = 0;
};

// Recognises one received datagram; an ArtPollReply goes into both tables (the node table by
// its own rules, the port table whatever the node's maker or network).
void ProcessDatagram(const std::uint8_t* data, std::size_t length, NodeTable& nodes,
                     PortTable& ports, PortTime now);

}  // namespace chromaset
