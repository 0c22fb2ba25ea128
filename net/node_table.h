// The table of Art-Net nodes that answered the poll: 99 fixed slots, keyed by the address a node
// reports. The receiver thread writes it, the window reads it; one lock keeps every record whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace chromaset {

inline constexpr std::size_t kNodeSlots = 99;

// A subset of one ArtPollReply, 128 bytes, fields in packet order.
struct NodeRecord {
  std::uint8_t IpAddress[4];  // first octet first
  std::uint16_t Port;         // as the two bytes arrived, read low byte first; 0 = slot free
  std::uint8_t Unfilled6[7];
  std::uint8_t Status1;
  std::uint16_t EstaMan;  // reply byte 24 * 256 + byte 25
  char ShortName[18];     // as received, no terminator added
  char LongName[64];      // as received, no terminator added
  std::uint16_t NumPorts;
  std::uint8_t PortTypes[4];
  std::uint8_t GoodInput[4];
  std::uint8_t GoodOutput[4];
  std::uint8_t SwIn[4];
  std::uint8_t SwOut[4];
  std::uint8_t Unfilled120;
  std::uint8_t Mac[6];  // wire order
  std::uint8_t Status2;
};

using NodeSnapshot = std::array<NodeRecord, kNodeSlots>;

class NodeTable {
 public:
  // Stores one ArtPollReply (already recognised) of length bytes. Returns true when a record
  // was written.
  bool ApplyPollReply(const std::uint8_t* reply, std::size_t length);

  // A consistent copy of one slot (slot < kNodeSlots) or of the whole table.
  NodeRecord Record(std::size_t slot) const;
  void Snapshot(NodeSnapshot& out) const;

 private:
  mutable std::mutex m_lock;
  NodeSnapshot m_slots{};
};

// Recognises one received datagram and, when it is an ArtPollReply, stores it. Anything else
// leaves the table unchanged.
void ProcessDatagram(const std::uint8_t* data, std::size_t length, NodeTable& table);

}  // namespace chromaset
