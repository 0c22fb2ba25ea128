// The node table: which slot a reply lands in, what the record holds, and which replies are
// dropped; and the link's receive step and sends without a socket.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "artnet_link.h"
#include "node_table.h"
#include "poll_reply.h"

namespace chromaset {
namespace {

using test::NodeReply;
using test::PollReply;

void Apply(NodeTable& table, const PollReply& reply) {
  ProcessDatagram(reply.data(), reply.length, table);
}

Ipv4Bytes Ip(const NodeRecord& record) {
  return {record.IpAddress[0], record.IpAddress[1], record.IpAddress[2], record.IpAddress[3]};
}

// What a reader sees: slots from 0 up to the first free one.
std::size_t RunLength(const NodeTable& table) {
  NodeSnapshot slots;
  table.Snapshot(slots);
  std::size_t n = 0;
  while (n < slots.size() && IsInUse(slots[n])) ++n;
  return n;
}

bool SameRecord(const NodeRecord& a, const NodeRecord& b) {
  return std::memcmp(&a, &b, sizeof(NodeRecord)) == 0;
}

std::string Field(const char* field, std::size_t width) { return std::string(field, width); }

TEST(NetNodeTable, FillsSlotsInReplyOrderAndDropsOnlyNewNodesWhenFull) {
  NodeTable table;
  // Replies arrive in an order unrelated to their addresses.
  std::array<std::size_t, kNodeSlots> order;
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = (i * 37 + 11) % kNodeSlots;
  for (std::size_t node : order) Apply(table, NodeReply(node));

  NodeSnapshot slots;
  table.Snapshot(slots);
  for (std::size_t i = 0; i < kNodeSlots; ++i) {
    EXPECT_EQ(Ip(slots[i]), (Ipv4Bytes{2, 0, 0, static_cast<std::uint8_t>(order[i] + 1)}))
        << "slot " << i;
  }

  // The 100th node finds no room; known nodes still get their updates.
  PollReply hundredth = NodeReply(99);
  EXPECT_FALSE(table.ApplyPollReply(hundredth.data(), hundredth.length));
  NodeSnapshot afterHundredth;
  table.Snapshot(afterHundredth);
  EXPECT_EQ(std::memcmp(slots.data(), afterHundredth.data(), sizeof(slots)), 0);
  PollReply renamed = NodeReply(order[50]);
  renamed.SetLongName("renamed while full");
  EXPECT_TRUE(table.ApplyPollReply(renamed.data(), renamed.length));
  EXPECT_EQ(Ip(table.Record(50)), Ip(slots[50]));
  EXPECT_EQ(std::string(table.Record(50).LongName), "renamed while full");
  EXPECT_EQ(RunLength(table), kNodeSlots);
  EXPECT_TRUE(SameRecord(table.Record(kNodeSlots), NodeRecord{})) << "out-of-range slot";
}

TEST(NetNodeTable, SameAddressSharesOneRecordAndTheLaterReplyWins) {
  NodeTable table;
  Apply(table, NodeReply(0));
  PollReply first = NodeReply(1);
  first.SetShortName("first").SetLongName("first long").SetEsta(1, 2);
  first.bytes[kReplyOffsetStatus2] = 0x22;
  Apply(table, first);
  Apply(table, NodeReply(2));

  // Another port group of the same node: fewer fields set, another Port.
  PollReply second = NodeReply(1);
  second.SetShortName("second").SetLongName("second long").SetEsta(3, 4).SetPort(0x1937);
  Apply(table, second);

  EXPECT_EQ(RunLength(table), 3u);
  const NodeRecord record = table.Record(1);
  EXPECT_EQ(Ip(record), (Ipv4Bytes{2, 0, 0, 2}));
  EXPECT_EQ(record.Port, 0x1937);
  EXPECT_EQ(std::string(record.ShortName), "second");
  EXPECT_EQ(std::string(record.LongName), "second long");
  EXPECT_EQ(record.EstaMan, 0x0304);
  EXPECT_EQ(record.Status2, 0) << "every filled field is replaced, zero included";
}

TEST(NetNodeTable, PortZeroNeverFreesAKnownNodeAndANewOneStaysFree) {
  NodeTable table;
  for (std::size_t n = 0; n < 4; ++n) Apply(table, NodeReply(n));
  const NodeRecord known = table.Record(1);

  // A known node answering with Port 0 keeps its record; nodes after it stay reachable.
  PollReply knownZero = NodeReply(1);
  knownZero.SetPort(0).SetLongName("would vanish");
  EXPECT_FALSE(table.ApplyPollReply(knownZero.data(), knownZero.length));
  EXPECT_TRUE(SameRecord(table.Record(1), known));
  EXPECT_EQ(RunLength(table), 4u);

  // A new node with Port 0 is written at the first free slot, which stays free ...
  PollReply newZero = NodeReply(10);
  newZero.SetPort(0).SetLongName("port zero");
  EXPECT_TRUE(table.ApplyPollReply(newZero.data(), newZero.length));
  EXPECT_EQ(Ip(table.Record(4)), (Ipv4Bytes{2, 0, 0, 11}));
  EXPECT_EQ(std::string(table.Record(4).LongName), "port zero");
  EXPECT_EQ(RunLength(table), 4u);
  // ... until the same node reports a real Port there, or another new node takes it over.
  Apply(table, NodeReply(10));
  EXPECT_EQ(RunLength(table), 5u);
  PollReply otherZero = NodeReply(20);
  otherZero.SetPort(0);
  Apply(table, otherZero);
  Apply(table, NodeReply(30));
  EXPECT_EQ(Ip(table.Record(5)), (Ipv4Bytes{2, 0, 0, 31}));
  EXPECT_EQ(RunLength(table), 6u);
}

TEST(NetNodeTable, RecordLayoutOfAReplyFrom2_0_0_5) {
  PollReply reply;
  // Every byte of the reply distinct-ish, so a field read from the wrong offset shows.
  for (std::size_t i = 10; i < kPacketBufferSize; ++i) {
    reply.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  reply.SetIp(2, 0, 0, 5).SetPort(kArtNetPort).SetEsta(0x1A, 0x2C);
  // A long name filling its field, a zero byte inside and no terminator.
  std::string longName(64, 'L');
  longName[4] = '\0';
  std::memcpy(reply.bytes.data() + kReplyOffsetLongName, longName.data(), 64);
  reply.bytes[172] = 0x77;  // NumPortsHi is not read
  reply.bytes[kReplyOffsetNumPortsLo] = 0x04;
  reply.SetLength(239);

  NodeTable table;
  Apply(table, reply);
  const NodeRecord r = table.Record(0);
  EXPECT_EQ(Ip(r), (Ipv4Bytes{2, 0, 0, 5}));
  EXPECT_EQ(r.Port, 6454);
  EXPECT_EQ(r.Status1, reply.bytes[23]);
  EXPECT_EQ(r.EstaMan, 0x1A2C) << "byte 24 is the high byte";
  EXPECT_EQ(Field(r.ShortName, 18), Field(reinterpret_cast<const char*>(&reply.bytes[26]), 18));
  EXPECT_EQ(Field(r.LongName, 64), longName);
  EXPECT_EQ(r.NumPorts, 0x0004);
  EXPECT_EQ(std::memcmp(r.PortTypes, reply.bytes.data() + 174, 4), 0);
  EXPECT_EQ(std::memcmp(r.GoodInput, reply.bytes.data() + 178, 4), 0);
  EXPECT_EQ(std::memcmp(r.GoodOutput, reply.bytes.data() + 182, 4), 0);
  EXPECT_EQ(std::memcmp(r.SwIn, reply.bytes.data() + 186, 4), 0);
  EXPECT_EQ(std::memcmp(r.SwOut, reply.bytes.data() + 190, 4), 0);
  EXPECT_EQ(std::memcmp(r.Mac, reply.bytes.data() + 201, 6), 0);
  EXPECT_EQ(r.Status2, reply.bytes[212]);

  // The raw record: never-filled bytes stay zero, Port and NumPorts keep the wire order.
  std::array<std::uint8_t, 128> raw;
  std::memcpy(raw.data(), &r, sizeof(r));
  for (std::size_t i : {6, 7, 8, 9, 10, 11, 12, 120}) EXPECT_EQ(raw[i], 0) << "byte " << i;
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(raw[4], 0x36);
    EXPECT_EQ(raw[5], 0x19);
    EXPECT_EQ(raw[98], 0x04);
    EXPECT_EQ(raw[99], 0x00);
  }
}

TEST(NetNodeTable, ShortUndersizedAndOverlongReplies) {
  // Short: the buffer past the datagram holds an earlier, complete reply of the same node.
  PollReply full = NodeReply(4);
  full.SetShortName("short").SetLongName("a long name from before").SetEsta(0x1A, 0x2C);
  full.SetMac({1, 2, 3, 4, 5, 6});
  full.bytes[kReplyOffsetStatus2] = 0x99;
  NodeTable table;
  Apply(table, full);
  PollReply cut = full;
  cut.SetLength(30);  // IP, Port, Status1, EstaMan and 4 bytes of ShortName
  Apply(table, cut);
  NodeRecord r = table.Record(0);
  EXPECT_EQ(Ip(r), (Ipv4Bytes{2, 0, 0, 5}));
  EXPECT_EQ(r.EstaMan, 0x1A2C);
  EXPECT_EQ(Field(r.ShortName, 18), std::string("shor") + std::string(14, '\0'));
  EXPECT_EQ(Field(r.LongName, 64), std::string(64, '\0'));
  EXPECT_EQ(r.Mac[0], 0);
  Apply(table, full);
  cut.SetLength(212);  // everything but Status2
  Apply(table, cut);
  EXPECT_EQ(table.Record(0).Mac[5], 6);
  EXPECT_EQ(table.Record(0).Status2, 0);

  // Under 16 bytes IP and Port are incomplete: dropped.
  NodeTable empty;
  PollReply reply = NodeReply(7);
  for (std::size_t n = 0; n < 16; ++n) {
    EXPECT_FALSE(empty.ApplyPollReply(reply.data(), n)) << n << " bytes";
    ProcessDatagram(reply.data(), n, empty);
  }
  EXPECT_TRUE(SameRecord(empty.Record(0), NodeRecord{}));
  EXPECT_TRUE(empty.ApplyPollReply(reply.data(), 16));
  EXPECT_EQ(Ip(empty.Record(0)), (Ipv4Bytes{2, 0, 0, 8}));
  EXPECT_FALSE(empty.ApplyPollReply(nullptr, 300));

  // Over-long: only the fields a reply carries are used.
  std::array<std::uint8_t, 1500> big;
  big.fill(0xAB);
  PollReply jumbo = NodeReply(3);
  jumbo.SetLongName("jumbo");
  std::memcpy(big.data(), jumbo.data(), kReplyReadSize);
  NodeTable third;
  ProcessDatagram(big.data(), big.size(), third);
  EXPECT_EQ(Ip(third.Record(0)), (Ipv4Bytes{2, 0, 0, 4}));
  EXPECT_EQ(std::string(third.Record(0).LongName), "jumbo");
}

TEST(NetLink, ClosedLinkSendsNothingAndFailedReceivesChangeNothing) {
  ArtNetLink link;  // never opened: no socket
  DmxFrame frame;
  frame.Length = 512;
  EXPECT_FALSE(link.SendArtDmx(&frame, Ipv4Bytes{255, 255, 255, 255}));
  EXPECT_FALSE(link.SendArtPoll());
  EXPECT_FALSE(link.StartReceiver()) << "no receiver without a socket";
  link.Close();
  link.Close();
  EXPECT_FALSE(link.IsOpen());
  std::uint8_t buffer[kPacketBufferSize] = {};
  link.ReceiveArtNetPacket(buffer, sizeof(buffer));  // returns at once

  // The receive buffer still holds a valid reply from an earlier datagram.
  PollReply reply = NodeReply(5);
  link.HandleReceived(-1, reply.data());
  link.HandleReceived(0, reply.data());
  link.HandleReceived(static_cast<long>(reply.length), nullptr);
  EXPECT_TRUE(SameRecord(link.Nodes().Record(0), NodeRecord{}));

  link.HandleReceived(static_cast<long>(reply.length), reply.data());
  const NodeRecord stored = link.Nodes().Record(0);
  EXPECT_EQ(Ip(stored), (Ipv4Bytes{2, 0, 0, 6}));
  PollReply stale = NodeReply(5);
  stale.SetLongName("stale");
  link.HandleReceived(-1, stale.data());
  link.HandleReceived(0, stale.data());
  EXPECT_TRUE(SameRecord(link.Nodes().Record(0), stored));
}

}  // namespace
}  // namespace chromaset
