// The table of Art-Net nodes that answered the poll: 99 fixed slots, keyed by the address a node
// reports. The receiver thread writes it, the window reads it; one lock keeps every record whole.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <type_traits>

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

// The record is a byte layout that readers rely on: every field sits at its fixed position.
static_assert(std::is_standard_layout_v<NodeRecord> && std::is_trivially_copyable_v<NodeRecord>);
static_assert(sizeof(NodeRecord) == 128);
static_assert(offsetof(NodeRecord, IpAddress) == 0);
static_assert(offsetof(NodeRecord, Port) == 4);
static_assert(offsetof(NodeRecord, Unfilled6) == 6);
static_assert(offsetof(NodeRecord, Status1) == 13);
static_assert(offsetof(NodeRecord, EstaMan) == 14);
static_assert(offsetof(NodeRecord, ShortName) == 16);
static_assert(offsetof(NodeRecord, LongName) == 34);
static_assert(offsetof(NodeRecord, NumPorts) == 98);
static_assert(offsetof(NodeRecord, PortTypes) == 100);
static_assert(offsetof(NodeRecord, GoodInput) == 104);
static_assert(offsetof(NodeRecord, GoodOutput) == 108);
static_assert(offsetof(NodeRecord, SwIn) == 112);
static_assert(offsetof(NodeRecord, SwOut) == 116);
static_assert(offsetof(NodeRecord, Unfilled120) == 120);
static_assert(offsetof(NodeRecord, Mac) == 121);
static_assert(offsetof(NodeRecord, Status2) == 127);

// A slot is in use while its Port is not 0.
inline bool IsInUse(const NodeRecord& record) { return record.Port != 0; }

using NodeSnapshot = std::array<NodeRecord, kNodeSlots>;

class NodeTable {
 public:
  // Stores one ArtPollReply (already recognised) of length bytes; bytes past length read as
  // zero. The node is found by the address it reports, first matching slot of all 99, else the
  // first free slot. Dropped: replies under 16 bytes, new nodes while the table is full, and a
  // Port-0 reply for a slot in use (a known node is never made to vanish). Returns true when a
  // record was written.
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
