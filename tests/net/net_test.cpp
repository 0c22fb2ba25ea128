// The link without sockets: packet bytes, recognition, the node table's rules and its lock.
// Expected bytes come from the test side's own builder (art_packets.h), never from net/.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "art_packets.h"
#include "artnet_link.h"

namespace chromaset {

using Bytes = std::vector<std::uint8_t>;
using test::PollReply;
using test::ReplyOfNode;

TEST(NetPackets, ArtPollAndArtDmxBytes) {
  std::array<std::uint8_t, 1024> b;
  b.fill(0xEE);  // what an earlier packet left
  ASSERT_EQ(BuildArtPoll(b.data()), 14u);
  EXPECT_EQ(Bytes(b.begin(), b.begin() + 15),
            (Bytes{'A', 'r', 't', '-', 'N', 'e', 't', 0, 0, 0x20, 0, 14, 0, 0, 0xEE}));
  DmxFrame f;
  f.Net = 0x34;
  f.SubUni = 0x12;
  for (std::size_t i = 0; i < kDmxChannels; ++i) f.Data[i] = static_cast<std::uint8_t>(i * 7 + 1);
  for (const std::uint16_t length : {0x0103, 512}) {  // each into a buffer just big enough
    f.Length = length;
    ASSERT_EQ(BuildArtDmx(f, b.data(), 18u + length), 18u + length);
    Bytes expected = test::MakeArtDmx(f.Data, length, 0x34, 0x12);
    expected.push_back(0xEE);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 19 + length), expected);
  }
  EXPECT_EQ(BuildArtDmx(f, b.data(), 529) + BuildArtDmx(f, nullptr, 1024), 0u) << "no room";
  f.Length = 513;
  b.fill(0xEE);
  EXPECT_EQ(BuildArtDmx(f, b.data(), b.size()), 0u) << "more than 512 channels";
  EXPECT_EQ(b[0], 0xEE);
}

TEST(NetPackets, RecognitionNeedsTheWholeIdAndReadsTheOpCodeLowByteFirst) {
  const PollReply reply;
  EXPECT_EQ(RecogniseArtNet(reply.data(), reply.length), kOpPollReply);
  for (std::size_t i = 0; i < 8; ++i)
    EXPECT_EQ(RecogniseArtNet(PollReply(reply).Set(i, reply.bytes[i] ^ 0x20).data(), 239), 0) << i;
  EXPECT_EQ(RecogniseArtNet(PollReply(reply).Set(8, 0x21).Set(9, 0).data(), 239), 0x0021);
  // Bytes past the length read as zero, whatever the buffer still holds.
  EXPECT_EQ(RecogniseArtNet(reply.data(), 9) + RecogniseArtNet(reply.data(), 7) +
                RecogniseArtNet(nullptr, 100),
            0);
}

// Where each record field comes from: {record offset, reply offset, bytes}.
constexpr std::size_t kCopied[][3] = {{0, 10, 4},     {13, 23, 1},   {16, 26, 18}, {34, 44, 64},
                                      {100, 174, 20}, {121, 201, 6}, {127, 212, 1}};

TEST(NetNodeTable, RecordFieldsAndCutReplies) {
  PollReply reply({2, 0, 0, 5});
  for (std::size_t i = 16; i < reply.bytes.size(); ++i)
    reply.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  NodeTable table;
  for (std::size_t n = 0; n < 16; ++n) EXPECT_FALSE(table.ApplyPollReply(reply.data(), n)) << n;
  EXPECT_FALSE(table.ApplyPollReply(nullptr, 300) || IsInUse(table.Record(0)));
  // Each cut reply follows a full one of the same node, whose bytes the buffer still holds.
  for (const std::size_t length : {239, 212, 30, 16}) {
    ASSERT_TRUE(table.ApplyPollReply(reply.data(), 239) &&
                table.ApplyPollReply(reply.data(), length));
    const NodeRecord r = table.Record(0);
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&r);
    auto at = [&](std::size_t i) -> unsigned { return i < length ? reply.bytes[i] : 0; };
    for (const auto& [to, from, count] : kCopied) {
      for (std::size_t k = 0; k < count; ++k)
        EXPECT_EQ(raw[to + k], at(from + k)) << "byte " << to + k << " of " << length;
    }
    for (const int never : {6, 7, 8, 9, 10, 11, 12, 120}) EXPECT_EQ(raw[never], 0) << never;
    EXPECT_EQ(r.Port, at(14) | at(15) << 8);
    EXPECT_EQ(r.EstaMan, at(24) * 256 + at(25)) << "byte 24 is the high byte";
    EXPECT_EQ(r.NumPorts, at(173)) << "only NumPorts' low byte is read";
    EXPECT_FALSE(IsInUse(table.Record(1))) << "the same address shares one record";
  }
}

TEST(NetNodeTable, SlotRules) {
  NodeTable table;
  std::size_t order[kNodeSlots];
  for (std::size_t i = 0; i < kNodeSlots; ++i) order[i] = (i * 37 + 11) % kNodeSlots;
  for (std::size_t i = 0; i < 4; ++i)
    EXPECT_TRUE(table.ApplyPollReply(ReplyOfNode(order[i]).data(), 239));
  // A known node answering with Port 0 keeps its record; a new one goes to the first free slot
  // but leaves it free for the next new node.
  EXPECT_FALSE(
      table.ApplyPollReply(ReplyOfNode(order[1]).SetPort(0).SetLongName("gone").data(), 239));
  EXPECT_EQ(table.Record(1).LongName[0], 0);
  EXPECT_TRUE(table.ApplyPollReply(ReplyOfNode(200).SetPort(0).data(), 239));
  EXPECT_TRUE(table.Record(4).IpAddress[3] == 201 && !IsInUse(table.Record(4)));
  EXPECT_TRUE(table.ApplyPollReply(ReplyOfNode(201).data(), 239));
  for (std::size_t i = 5; i < kNodeSlots; ++i)
    table.ApplyPollReply(ReplyOfNode(order[i - 1]).data(), 239);
  NodeSnapshot full, after;
  table.Snapshot(full);
  for (std::size_t i = 0; i < kNodeSlots; ++i) {
    const std::size_t node = i < 4 ? order[i] : i == 4 ? 201 : order[i - 1];
    EXPECT_EQ(std::memcmp(full[i].IpAddress, ReplyOfNode(node).data() + 10, 4), 0) << "slot " << i;
  }
  // Full: a new node is dropped, a known one still updated.
  EXPECT_FALSE(table.ApplyPollReply(ReplyOfNode(order[98]).data(), 239));
  EXPECT_TRUE(table.ApplyPollReply(ReplyOfNode(order[50]).SetLongName("renamed").data(), 239));
  EXPECT_EQ(std::string(table.Record(51).LongName), "renamed");
  full[51] = table.Record(51);
  table.Snapshot(after);
  const NodeRecord none{}, outside = table.Record(kNodeSlots);
  EXPECT_EQ(std::memcmp(full.data(), after.data(), sizeof full) +
                std::memcmp(&none, &outside, sizeof none),
            0);
}

TEST(NetLink, ClosedLinkSendsNothingAndOnlyWholeReceivesReachTheTable) {
  ArtNetLink link;
  DmxFrame frame;
  EXPECT_FALSE(link.SendArtDmx(&frame, Ipv4Bytes{255, 255, 255, 255}) || link.SendArtPoll() ||
               link.SendArtSync() || link.StartReceiver());
  link.Close();
  link.Close();
  std::uint8_t buffer[kPacketBufferSize] = {};
  link.ReceiveArtNetPacket(buffer, sizeof buffer);  // returns at once
  // The buffer still holds a whole reply from before; a failed or empty receive must not use it.
  for (const long n : {-1L, 0L}) link.HandleReceived(n, ReplyOfNode(5).data());
  link.HandleReceived(239, nullptr);
  EXPECT_FALSE(IsInUse(link.Nodes().Record(0)));
  link.HandleReceived(239, ReplyOfNode(5).data());
  EXPECT_EQ(link.Nodes().Record(0).IpAddress[3], 6);
}

// Reply generation g of node n: every byte the table reads depends on both, so a record mixed
// from two replies matches neither. The generation sits in the MAC.
PollReply Generation(std::size_t n, std::uint32_t g) {
  PollReply reply = ReplyOfNode(n);
  for (std::size_t i = 16; i < 213; ++i)
    reply.bytes[i] = static_cast<std::uint8_t>(n * 31 + g * 7 + i);
  std::memcpy(&reply.bytes[test::kAtMac], &g, 4);
  return reply;
}

TEST(NetNodeTable, ReadersOnlyEverSeeWholeRecords) {
  ArtNetLink link;  // no socket: the receive step is driven directly
  std::atomic<bool> done{false};
  std::thread writer([&] {
    std::array<std::uint8_t, test::kTestMaxDatagram> garbage;
    for (std::uint32_t i = 40; i < 40 * 300; ++i) {
      link.HandleReceived(239, Generation(i % 40, i / 40).data());
      // Between the replies, datagrams that must change nothing (flood kinds 3..7).
      const std::size_t size = test::MakeFloodDatagram(i - i % 8 + 3 + i % 5, garbage);
      link.HandleReceived(static_cast<long>(size), garbage.data());
    }
    done = true;
  });
  int torn = 0;
  NodeSnapshot table;
  for (int reads = 0; !done || reads < 2; ++reads) {
    link.Nodes().Snapshot(table);
    for (const NodeRecord& r : table) {
      if (!IsInUse(r)) continue;
      std::uint32_t g = 0;
      std::memcpy(&g, r.Mac, 4);
      NodeTable one;
      one.ApplyPollReply(Generation(r.IpAddress[3] - 1u, g).data(), 239);
      const NodeRecord expected = one.Record(0);
      torn += std::memcmp(&r, &expected, sizeof r) != 0;
    }
  }
  writer.join();
  EXPECT_EQ(torn, 0);
}

}  // namespace chromaset
