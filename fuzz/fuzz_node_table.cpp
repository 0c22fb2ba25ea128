// Arbitrary datagrams into the node table: recognition and the reply update must never crash,
// read out of bounds or break the table's invariants.
//
// Input: byte 0 chooses how many known nodes the table holds before the datagrams (0..99, so
// the full-table paths are reachable); the rest is a sequence of datagrams, each a 2-byte
// little-endian length followed by that many bytes (cut at the end of the input).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "artnet_packets.h"
#include "node_table.h"
#include "poll_reply.h"

namespace {

using chromaset::IsInUse;
using chromaset::kNodeSlots;
using chromaset::NodeRecord;
using chromaset::NodeSnapshot;
using chromaset::NodeTable;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Known nodes 10.0.0.1 .. 10.0.0.count, each a reply cut after the last byte the table reads.
void Prefill(NodeTable& table, std::size_t count) {
  chromaset::test::PollReply reply;
  reply.SetLength(chromaset::kReplyReadSize);
  for (std::size_t n = 0; n < count; ++n) {
    reply.SetIp(10, 0, 0, static_cast<std::uint8_t>(n + 1));
    chromaset::ProcessDatagram(reply.data(), reply.length, table);
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
  std::uint32_t inUse[kNodeSlots];
  std::size_t inUseCount = 0;
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
    if (IsInUse(now)) {
      inUse[inUseCount++] = static_cast<std::uint32_t>(now.IpAddress[0]) << 24 |
                            static_cast<std::uint32_t>(now.IpAddress[1]) << 16 |
                            static_cast<std::uint32_t>(now.IpAddress[2]) << 8 | now.IpAddress[3];
    }
  }
  std::sort(inUse, inUse + inUseCount);
  Check(std::adjacent_find(inUse, inUse + inUseCount) == inUse + inUseCount);
}

// What one datagram must have done: a reply that names a node with a real Port leaves that node
// in use unless the table was full of others; a Port-0 reply leaves a known node untouched.
void CheckEffect(const std::uint8_t* datagram, std::size_t length, const NodeSnapshot& before,
                 const NodeSnapshot& after) {
  if (chromaset::RecogniseArtNet(datagram, length) != chromaset::kOpPollReply) {
    Check(std::memcmp(before.data(), after.data(), sizeof(NodeSnapshot)) == 0);
    return;
  }
  if (length < chromaset::kReplyMinimumSize) {
    Check(std::memcmp(before.data(), after.data(), sizeof(NodeSnapshot)) == 0);
    return;
  }
  const std::uint8_t* ip = datagram + chromaset::kReplyOffsetIpAddress;
  const unsigned port =
      datagram[chromaset::kReplyOffsetPort] | datagram[chromaset::kReplyOffsetPort + 1] << 8;
  std::size_t known = kNodeSlots;
  bool hadFree = false;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    if (!IsInUse(before[slot])) hadFree = true;
    if (known == kNodeSlots && IsInUse(before[slot]) &&
        std::memcmp(before[slot].IpAddress, ip, 4) == 0) {
      known = slot;
    }
  }
  if (port == 0) {
    if (known != kNodeSlots) {
      Check(std::memcmp(&before[known], &after[known], sizeof(NodeRecord)) == 0);
    }
    return;
  }
  if (known == kNodeSlots && !hadFree) {
    Check(std::memcmp(before.data(), after.data(), sizeof(NodeSnapshot)) == 0);
    return;
  }
  bool found = false;
  for (const NodeRecord& record : after) {
    if (IsInUse(record) && std::memcmp(record.IpAddress, ip, 4) == 0 && record.Port == port) {
      found = true;
    }
  }
  Check(found);
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
    table.Snapshot(after);
    CheckEffect(datagram, length, before, after);
    CheckTable(before, after);
    std::free(datagram);
    at += length;
    before = after;
  }
  return 0;
}
