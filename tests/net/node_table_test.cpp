// The node table: which slot a reply lands in, what the record holds, and which replies are
// dropped.
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
    EXPECT_EQ(slots[i].Port, kArtNetPort);
  }

  // The 100th node finds no room.
  PollReply hundredth = NodeReply(99);
  EXPECT_FALSE(table.ApplyPollReply(hundredth.data(), hundredth.length));
  NodeSnapshot afterHundredth;
  table.Snapshot(afterHundredth);
  EXPECT_EQ(std::memcmp(slots.data(), afterHundredth.data(), sizeof(slots)), 0);

  // Known nodes still get their updates while the table is full.
  PollReply renamed = NodeReply(order[50]);
  renamed.SetLongName("renamed while full");
  EXPECT_TRUE(table.ApplyPollReply(renamed.data(), renamed.length));
  const NodeRecord updated = table.Record(50);
  EXPECT_EQ(Ip(updated), Ip(slots[50]));
  EXPECT_EQ(std::string(updated.LongName), "renamed while full");
  EXPECT_EQ(RunLength(table), kNodeSlots);

  EXPECT_TRUE(SameRecord(table.Record(kNodeSlots), NodeRecord{})) << "out-of-range slot";
}

TEST(NetNodeTable, SameAddressSharesOneRecordAndTheLaterReplyWins) {
  NodeTable table;
  Apply(table, NodeReply(0));
  PollReply first = NodeReply(1);
  first.SetShortName("first").SetLongName("first long").SetEsta(1, 2);
  first.bytes[kReplyOffsetStatus1] = 0x11;
  first.bytes[kReplyOffsetStatus2] = 0x22;
  first.bytes[kReplyOffsetNumPortsLo] = 4;
  Apply(table, first);
  Apply(table, NodeReply(2));

  // A second port group of the same node: different name, fewer fields set, and reported from
  // another sender address (which plays no part).
  PollReply second = NodeReply(1);
  second.SetShortName("second").SetLongName("second long").SetEsta(3, 4);
  second.SetPort(0x1937);
  Apply(table, second);

  EXPECT_EQ(RunLength(table), 3u);
  const NodeRecord record = table.Record(1);
  EXPECT_EQ(Ip(record), (Ipv4Bytes{2, 0, 0, 2}));
  EXPECT_EQ(record.Port, 0x1937);
  EXPECT_EQ(std::string(record.ShortName), "second");
  EXPECT_EQ(std::string(record.LongName), "second long");
  EXPECT_EQ(record.EstaMan, 0x0304);
  EXPECT_EQ(record.Status1, 0) << "every filled field is replaced, zero included";
  EXPECT_EQ(record.Status2, 0);
  EXPECT_EQ(record.NumPorts, 0);
  EXPECT_TRUE(SameRecord(table.Record(3), NodeRecord{}));
}

TEST(NetNodeTable, PortZeroNeverFreesAKnownNodeAndANewOneStaysFree) {
  NodeTable table;
  for (std::size_t n = 0; n < 4; ++n) Apply(table, NodeReply(n));
  const NodeRecord known = table.Record(1);

  // A known node in use answering with Port 0 keeps its record, and nodes after it stay
  // reachable.
  PollReply knownZero = NodeReply(1);
  knownZero.SetPort(0).SetLongName("would vanish");
  EXPECT_FALSE(table.ApplyPollReply(knownZero.data(), knownZero.length));
  EXPECT_TRUE(SameRecord(table.Record(1), known));
  EXPECT_EQ(RunLength(table), 4u);

  // A new node with Port 0 is written at the first free slot, which stays free.
  PollReply newZero = NodeReply(10);
  newZero.SetPort(0).SetLongName("port zero");
  EXPECT_TRUE(table.ApplyPollReply(newZero.data(), newZero.length));
  NodeRecord atFree = table.Record(4);
  EXPECT_EQ(Ip(atFree), (Ipv4Bytes{2, 0, 0, 11}));
  EXPECT_EQ(atFree.Port, 0);
  EXPECT_EQ(std::string(atFree.LongName), "port zero");
  EXPECT_EQ(RunLength(table), 4u);

  // The same node later reporting a real Port finds its record there and brings it into use.
  PollReply newReal = NodeReply(10);
  newReal.SetLongName("now real");
  Apply(table, newReal);
  EXPECT_EQ(RunLength(table), 5u);
  EXPECT_EQ(std::string(table.Record(4).LongName), "now real");

  // Another new Port-0 node, then a different new node: the second takes that slot over.
  PollReply otherZero = NodeReply(20);
  otherZero.SetPort(0);
  Apply(table, otherZero);
  EXPECT_EQ(Ip(table.Record(5)), (Ipv4Bytes{2, 0, 0, 21}));
  Apply(table, NodeReply(30));
  EXPECT_EQ(Ip(table.Record(5)), (Ipv4Bytes{2, 0, 0, 31}));
  EXPECT_EQ(table.Record(5).Port, kArtNetPort);
  EXPECT_TRUE(SameRecord(table.Record(6), NodeRecord{}));
  EXPECT_EQ(RunLength(table), 6u);
}

TEST(NetNodeTable, RecordLayoutOfAReplyFrom2_0_0_5) {
  PollReply reply;
  // Every byte of the reply distinct-ish, so a field read from the wrong offset shows.
  for (std::size_t i = 10; i < kPacketBufferSize; ++i) {
    reply.bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  }
  reply.SetIp(2, 0, 0, 5).SetPort(kArtNetPort).SetEsta(0x1A, 0x2C);
  const char longName[64] = {'L', 'o', 'n', 'g', 0, 'n', 'a', 'm', 'e', 0, 0, 'x'};
  std::memcpy(reply.bytes.data() + kReplyOffsetLongName, longName, 64);
  reply.bytes[172] = 0x77;  // NumPortsHi is not read
  reply.bytes[kReplyOffsetNumPortsLo] = 0x04;
  reply.SetMac({0x00, 0x11, 0x22, 0x33, 0x44, 0x55});
  reply.SetLength(239);

  NodeTable table;
  Apply(table, reply);
  const NodeRecord r = table.Record(0);
  EXPECT_EQ(Ip(r), (Ipv4Bytes{2, 0, 0, 5}));
  EXPECT_EQ(r.Port, 6454);
  EXPECT_EQ(r.Status1, reply.bytes[23]);
  EXPECT_EQ(r.EstaMan, 0x1A2C);
  EXPECT_EQ(std::memcmp(r.ShortName, reply.bytes.data() + 26, 18), 0);
  EXPECT_EQ(Field(r.LongName, 64), Field(longName, 64)) << "zero bytes included";
  EXPECT_EQ(r.NumPorts, 0x0004);
  EXPECT_EQ(std::memcmp(r.PortTypes, reply.bytes.data() + 174, 4), 0);
  EXPECT_EQ(std::memcmp(r.GoodInput, reply.bytes.data() + 178, 4), 0);
  EXPECT_EQ(std::memcmp(r.GoodOutput, reply.bytes.data() + 182, 4), 0);
  EXPECT_EQ(std::memcmp(r.SwIn, reply.bytes.data() + 186, 4), 0);
  EXPECT_EQ(std::memcmp(r.SwOut, reply.bytes.data() + 190, 4), 0);
  EXPECT_EQ(std::memcmp(r.Mac, reply.bytes.data() + 201, 6), 0);
  EXPECT_EQ(r.Status2, reply.bytes[212]);

  // The raw record, byte by byte.
  std::array<std::uint8_t, 128> raw;
  std::memcpy(raw.data(), &r, sizeof(r));
  for (std::size_t i = 6; i <= 12; ++i) EXPECT_EQ(raw[i], 0) << "never-filled byte " << i;
  EXPECT_EQ(raw[120], 0) << "never-filled byte 120";
  EXPECT_EQ(raw[0], 2);
  EXPECT_EQ(raw[3], 5);
  EXPECT_EQ(raw[13], reply.bytes[23]);
  EXPECT_EQ(raw[16], reply.bytes[26]);
  EXPECT_EQ(raw[34], 'L');
  EXPECT_EQ(raw[97], 0);
  EXPECT_EQ(raw[100], reply.bytes[174]);
  EXPECT_EQ(raw[121], 0x00);
  EXPECT_EQ(raw[126], 0x55);
  EXPECT_EQ(raw[127], reply.bytes[212]);
  if constexpr (std::endian::native == std::endian::little) {
    EXPECT_EQ(raw[4], 0x36) << "Port keeps the wire order";
    EXPECT_EQ(raw[5], 0x19);
    EXPECT_EQ(raw[98], 0x04);
    EXPECT_EQ(raw[99], 0x00) << "NumPorts high byte is always 0";
  }
}

TEST(NetNodeTable, EstaManufacturerCodeKeepsWireOrderAsHighByteFirst) {
  NodeTable table;
  PollReply a = NodeReply(0);
  a.SetEsta(0x1A, 0x2C);
  PollReply b = NodeReply(1);
  b.SetEsta(0x2C, 0x1A);
  Apply(table, a);
  Apply(table, b);
  EXPECT_EQ(table.Record(0).EstaMan, 0x1A2C);
  EXPECT_EQ(table.Record(1).EstaMan, 0x2C1A);
}

TEST(NetNodeTable, FullWidthNamesAreStoredWithoutTerminator) {
  NodeTable table;
  const std::string longName(64, 'L');
  const std::string shortName(18, 'S');
  PollReply reply = NodeReply(0);
  reply.SetShortName(shortName).SetLongName(longName);
  reply.bytes[kReplyOffsetLongName + 64] = 'R';  // NodeReport starts right after
  Apply(table, reply);
  const NodeRecord r = table.Record(0);
  EXPECT_EQ(Field(r.ShortName, 18), shortName);
  EXPECT_EQ(Field(r.LongName, 64), longName);
  EXPECT_EQ(r.NumPorts, 0) << "the name must not run into the next field";
  EXPECT_EQ(r.EstaMan, 0);
}

TEST(NetNodeTable, ShortRepliesReadZeroPastTheirEnd) {
  // The buffer past the datagram holds an earlier, complete reply of the same node.
  PollReply full = NodeReply(4);
  full.SetShortName("short").SetLongName("a long name from before").SetEsta(0x1A, 0x2C);
  full.SetMac({1, 2, 3, 4, 5, 6});
  full.bytes[kReplyOffsetStatus2] = 0x99;

  NodeTable table;
  Apply(table, full);
  ASSERT_EQ(table.Record(0).Status2, 0x99);

  PollReply cut = full;
  cut.SetLength(30);  // IP, Port, Status1, EstaMan and 4 bytes of ShortName
  Apply(table, cut);
  const NodeRecord r = table.Record(0);
  EXPECT_EQ(Ip(r), (Ipv4Bytes{2, 0, 0, 5}));
  EXPECT_EQ(r.Port, kArtNetPort);
  EXPECT_EQ(r.EstaMan, 0x1A2C);
  EXPECT_EQ(Field(r.ShortName, 18), std::string("shor") + std::string(14, '\0'));
  EXPECT_EQ(Field(r.LongName, 64), std::string(64, '\0'));
  EXPECT_EQ(r.Status2, 0);
  EXPECT_EQ(r.Mac[0], 0);

  // 212 bytes: everything but Status2.
  Apply(table, full);
  cut.SetLength(212);
  Apply(table, cut);
  EXPECT_EQ(table.Record(0).Mac[5], 6);
  EXPECT_EQ(table.Record(0).Status2, 0);
}

TEST(NetNodeTable, RepliesTooShortToNameANodeAreDropped) {
  NodeTable table;
  PollReply reply = NodeReply(7);
  for (std::size_t n = 0; n < kReplyMinimumSize; ++n) {
    EXPECT_FALSE(table.ApplyPollReply(reply.data(), n)) << n << " bytes";
    ProcessDatagram(reply.data(), n, table);
  }
  EXPECT_EQ(RunLength(table), 0u);
  EXPECT_TRUE(SameRecord(table.Record(0), NodeRecord{}));

  EXPECT_TRUE(table.ApplyPollReply(reply.data(), 16));
  EXPECT_EQ(Ip(table.Record(0)), (Ipv4Bytes{2, 0, 0, 8}));
  EXPECT_EQ(table.Record(0).Port, kArtNetPort);
  EXPECT_FALSE(table.ApplyPollReply(nullptr, 300));
}

TEST(NetNodeTable, OverlongDatagramsUseOnlyTheFieldsTheyCarry) {
  std::array<std::uint8_t, 1500> big;
  big.fill(0xAB);
  PollReply reply = NodeReply(3);
  reply.SetLongName("jumbo");
  std::memcpy(big.data(), reply.data(), kReplyReadSize);
  NodeTable table;
  ProcessDatagram(big.data(), big.size(), table);
  EXPECT_EQ(Ip(table.Record(0)), (Ipv4Bytes{2, 0, 0, 4}));
  EXPECT_EQ(std::string(table.Record(0).LongName), "jumbo");
}

TEST(NetNodeTable, FailedOrEmptyReceivesChangeNothing) {
  // The receive buffer still holds a valid reply from an earlier datagram.
  ArtNetLink link;  // never opened: no socket
  PollReply reply = NodeReply(5);
  link.HandleReceived(-1, reply.data());
  link.HandleReceived(0, reply.data());
  link.HandleReceived(static_cast<long>(reply.length), nullptr);
  EXPECT_TRUE(SameRecord(link.Nodes().Record(0), NodeRecord{}));

  link.HandleReceived(static_cast<long>(reply.length), reply.data());
  const NodeRecord stored = link.Nodes().Record(0);
  EXPECT_EQ(Ip(stored), (Ipv4Bytes{2, 0, 0, 6}));

  // A stale buffer with different content must not be applied after an error.
  PollReply stale = NodeReply(5);
  stale.SetLongName("stale");
  link.HandleReceived(-1, stale.data());
  link.HandleReceived(0, stale.data());
  EXPECT_TRUE(SameRecord(link.Nodes().Record(0), stored));
  EXPECT_TRUE(SameRecord(link.Nodes().Record(1), NodeRecord{}));
}

}  // namespace
}  // namespace chromaset
