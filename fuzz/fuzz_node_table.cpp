// Arbitrary datagrams into the node table: recognition and the reply update must never crash,
// read out of bounds or break the table's invariants.
//
// Input: byte 0 chooses how many known nodes the table holds before the datagrams (0..99, so
// the full-table paths are reachable); the rest is a sequence of datagrams, each a 2-byte
// little-endian length followed by that many bytes (cut at the end of the input).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "artnet_packets.h"
#include "node_table.h"

namespace {

using chromaset::IsInUse;
using chromaset::kNodeSlots;
using chromaset::NodeRecord;
using chromaset::NodeSnapshot;
using chromaset::NodeTable;

void Check(bool condition) {
  if (!condition) std::abort();
}

void Prefill(NodeTable& table, std::size_t count) {
  std::uint8_t reply[chromaset::kReplyReadSize] = {};
  std::memcpy(reply, chromaset::kArtNetId, chromaset::kArtNetIdSize);
  reply[chromaset::kOffsetOpCode + 1] = 0x21;
  reply[chromaset::kReplyOffsetPort] = 0x36;
  reply[chromaset::kReplyOffsetPort + 1] = 0x19;
  for (std::size_t n = 0; n < count; ++n) {
    reply[chromaset::kReplyOffsetIpAddress + 0] = 10;
    reply[chromaset::kReplyOffsetIpAddress + 3] = static_cast<std::uint8_t>(n + 1);
    chromaset::ProcessDatagram(reply, sizeof(reply), table);
  }
}

// Invariants that hold after any sequence of datagrams:
// - a slot in use keeps its address, and stays in use (a Port-0 reply never frees it);
// - no two slots in use share an address;
// - below the first free slot everything is in use; above it, the only slot that can be in use
//   holds 0.0.0.0 (the address scan matches an all-zero slot there, as the lookup is written);
// - the never-filled bytes stay zero.
void CheckTable(const NodeSnapshot& before, const NodeSnapshot& after) {
  std::size_t firstFree = kNodeSlots;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    const NodeRecord& was = before[slot];
    const NodeRecord& now = after[slot];
    if (IsInUse(was)) {
      Check(IsInUse(now));
      Check(std::memcmp(was.IpAddress, now.IpAddress, 4) == 0);
    }
    for (std::uint8_t b : now.Unfilled6) Check(b == 0);
    Check(now.Unfilled120 == 0);
    Check(now.NumPorts <= 0xFF);
    if (!IsInUse(now) && firstFree == kNodeSlots) firstFree = slot;
    if (IsInUse(now) && slot > firstFree) {
      static const std::uint8_t kZero[4] = {};
      Check(std::memcmp(now.IpAddress, kZero, 4) == 0);
    }
    for (std::size_t other = 0; other < slot; ++other) {
      if (IsInUse(now) && IsInUse(after[other])) {
        Check(std::memcmp(now.IpAddress, after[other].IpAddress, 4) != 0);
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  NodeTable table;
  Prefill(table, data[0] % (kNodeSlots + 1));
  static NodeSnapshot before;
  static NodeSnapshot after;
  table.Snapshot(before);

  std::size_t at = 1;
  while (at + 2 <= size) {
    std::size_t length = data[at] | static_cast<std::size_t>(data[at + 1]) << 8;
    at += 2;
    if (length > size - at) length = size - at;
    // Copy into a buffer of exactly the datagram's size, so ASan sees any read past its end.
    std::uint8_t* datagram = static_cast<std::uint8_t*>(std::malloc(length == 0 ? 1 : length));
    std::memcpy(datagram, data + at, length);
    chromaset::ProcessDatagram(datagram, length, table);
    std::free(datagram);
    at += length;

    table.Snapshot(after);
    CheckTable(before, after);
    before = after;
  }
  return 0;
}
