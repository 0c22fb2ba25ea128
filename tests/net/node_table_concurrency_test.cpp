// One thread storing replies while another reads: a reader must never see a record that mixes
// two replies. Meant to run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>

#include "artnet_link.h"
#include "node_table.h"
#include "poll_reply.h"

namespace chromaset {
namespace {

constexpr std::size_t kNodes = 40;

// Reply number generation of node n: every byte that the table reads depends on both, so a
// record written half from one reply and half from another cannot match either.
test::PollReply GenerationReply(std::size_t node, std::uint32_t generation) {
  test::PollReply reply = test::NodeReply(node);
  for (std::size_t i = kReplyOffsetPort + 2; i < kReplyReadSize; ++i) {
    reply.bytes[i] = static_cast<std::uint8_t>(node * 31 + generation * 7 + i);
  }
  // Generation stored in SwIn, low byte first, so a reader can tell which reply it sees.
  for (std::size_t k = 0; k < 4; ++k) {
    reply.bytes[kReplyOffsetSwIn + k] = static_cast<std::uint8_t>(generation >> (8 * k));
  }
  return reply;
}

// The record that reply (node, generation) produces on its own.
NodeRecord ExpectedRecord(std::size_t node, std::uint32_t generation) {
  NodeTable scratch;
  const test::PollReply reply = GenerationReply(node, generation);
  scratch.ApplyPollReply(reply.data(), reply.length);
  return scratch.Record(0);
}

// The number of records in use that do not match the reply they claim to come from.
int CountTornRecords(const NodeRecord* records, std::size_t count) {
  int torn = 0;
  for (std::size_t slot = 0; slot < count; ++slot) {
    const NodeRecord& record = records[slot];
    if (!IsInUse(record)) continue;
    const std::size_t node = static_cast<std::size_t>(record.IpAddress[3]) - 1;
    std::uint32_t generation = 0;
    for (std::size_t k = 0; k < 4; ++k) generation |= std::uint32_t{record.SwIn[k]} << (8 * k);
    const NodeRecord expected = ExpectedRecord(node, generation);
    if (std::memcmp(&record, &expected, sizeof(NodeRecord)) != 0) ++torn;
  }
  return torn;
}

TEST(NetNodeTableConcurrency, ReadersOnlyEverSeeWholeRecords) {
  ArtNetLink link;  // no socket; the receive path is driven directly
  std::atomic<bool> done{false};
  std::atomic<std::uint32_t> written{0};

  std::thread writer([&] {
    std::array<std::uint8_t, 1024> garbage{};
    for (std::uint32_t generation = 1; generation <= 300; ++generation) {
      for (std::size_t node = 0; node < kNodes; ++node) {
        const test::PollReply reply = GenerationReply(node, generation);
        link.HandleReceived(static_cast<long>(reply.length), reply.data());
        // Between the replies, datagrams that must not be stored (kinds 3..7 of the flood mix).
        const std::uint32_t i = generation * 64 + static_cast<std::uint32_t>(node);
        const std::uint32_t invalid = i - i % 8 + 3 + i % 5;
        const std::size_t n = test::MakeFloodDatagram(invalid, garbage);
        link.HandleReceived(static_cast<long>(n), garbage.data());
      }
      written.store(generation, std::memory_order_release);
    }
    done.store(true, std::memory_order_release);
  });

  int torn = 0;
  int reads = 0;
  NodeSnapshot snapshot;
  while (!done.load(std::memory_order_acquire) || reads < 2) {
    link.Nodes().Snapshot(snapshot);
    torn += CountTornRecords(snapshot.data(), snapshot.size());
    const NodeRecord one = link.Nodes().Record(static_cast<std::size_t>(reads) % kNodes);
    torn += CountTornRecords(&one, 1);
    ++reads;
  }
  writer.join();

  EXPECT_EQ(torn, 0) << "over " << reads << " reads";
  // After the last generation every node holds exactly its last reply, in first-reply order.
  link.Nodes().Snapshot(snapshot);
  for (std::size_t node = 0; node < kNodes; ++node) {
    const NodeRecord expected = ExpectedRecord(node, written.load());
    EXPECT_EQ(std::memcmp(&snapshot[node], &expected, sizeof(NodeRecord)), 0) << "slot " << node;
  }
  EXPECT_FALSE(IsInUse(snapshot[kNodes])) << "garbage datagrams added a node";
}

}  // namespace
}  // namespace chromaset
