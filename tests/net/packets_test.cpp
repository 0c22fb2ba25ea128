// Packet bytes as they go on the wire, and which incoming datagrams count as which packet.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "artnet_packets.h"
#include "node_table.h"
#include "poll_reply.h"

namespace chromaset {
namespace {

using Buffer = std::array<std::uint8_t, kPacketBufferSize>;

std::vector<std::uint8_t> Bytes(const std::uint8_t* data, std::size_t n) {
  return std::vector<std::uint8_t>(data, data + n);
}

TEST(NetPackets, ArtPollAndArtDmxBytes) {
  Buffer buffer;
  buffer.fill(0xEE);  // whatever an earlier packet left
  ASSERT_EQ(BuildArtPoll(buffer.data()), 14u);
  EXPECT_EQ(Bytes(buffer.data(), 15),
            (std::vector<std::uint8_t>{0x41, 0x72, 0x74, 0x2D, 0x4E, 0x65, 0x74, 0x00, 0x00, 0x20,
                                       0x00, 0x0E, 0x00, 0x00, 0xEE}));

  DmxFrame frame;
  frame.Length = 512;
  frame.Data[0] = 255;
  frame.Data[1] = 128;
  frame.Data[3] = 10;
  buffer.fill(0xEE);
  ASSERT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 530u);
  EXPECT_EQ(
      Bytes(buffer.data(), 22),
      (std::vector<std::uint8_t>{0x41, 0x72, 0x74, 0x2D, 0x4E, 0x65, 0x74, 0x00, 0x00, 0x50, 0x00,
                                 0x0E, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 255,  128,  0,    10}));
  EXPECT_EQ(Bytes(buffer.data() + 22, 508), std::vector<std::uint8_t>(508, 0));
  EXPECT_EQ(buffer[530], 0xEE) << "wrote past the packet";

  // SubUni before Net, Length high byte first.
  frame.SubUni = 0x12;
  frame.Net = 0x34;
  frame.Length = 0x0103;
  ASSERT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 18u + 0x0103);
  EXPECT_EQ(Bytes(buffer.data() + 14, 4), (std::vector<std::uint8_t>{0x12, 0x34, 0x01, 0x03}));

  // Refused: more than 512 channels (buffer untouched), a buffer too small, no buffer.
  buffer.fill(0xEE);
  frame.Length = 513;
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(buffer[0], 0xEE);
  frame.Length = 512;
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), 529), 0u);
  EXPECT_EQ(BuildArtDmx(frame, nullptr, 1024), 0u);
}

TEST(NetRecognition, IdAndLittleEndianOpCode) {
  test::PollReply reply;
  EXPECT_EQ(RecogniseArtNet(reply.data(), reply.length), kOpPollReply);
  test::PollReply byte7 = reply;
  byte7.bytes[7] = 1;
  EXPECT_EQ(RecogniseArtNet(byte7.data(), byte7.length), 0);
  test::PollReply swapped = reply;
  swapped.bytes[8] = 0x21;
  swapped.bytes[9] = 0x00;
  EXPECT_EQ(RecogniseArtNet(swapped.data(), swapped.length), 0x0021) << "read low byte first";

  // Bytes past the length read as zero, never what the buffer still holds.
  EXPECT_EQ(RecogniseArtNet(reply.data(), 9), 0x0000);
  EXPECT_EQ(RecogniseArtNet(reply.data(), 7), 0x0000);
  EXPECT_EQ(RecogniseArtNet(reply.data(), 0), 0);
  EXPECT_EQ(RecogniseArtNet(nullptr, 100), 0);
}

TEST(NetRecognition, OnlyPollRepliesReachTheTable) {
  NodeTable table;
  for (std::size_t n = 0; n < 3; ++n) {
    test::PollReply reply = test::NodeReply(n);
    ProcessDatagram(reply.data(), reply.length, table);
  }
  NodeSnapshot before;
  table.Snapshot(before);

  // Our own packets coming back, and look-alikes of a reply for a known node.
  Buffer buffer{};
  ProcessDatagram(buffer.data(), BuildArtPoll(buffer.data()), table);
  DmxFrame frame;
  frame.Length = 512;
  ProcessDatagram(buffer.data(), BuildArtDmx(frame, buffer.data(), buffer.size()), table);
  test::PollReply byte7 = test::NodeReply(1);
  byte7.SetLongName("changed");
  byte7.bytes[7] = 'X';
  ProcessDatagram(byte7.data(), byte7.length, table);
  test::PollReply swapped = test::NodeReply(1);
  swapped.SetLongName("changed");
  swapped.bytes[8] = 0x21;
  swapped.bytes[9] = 0x00;
  ProcessDatagram(swapped.data(), swapped.length, table);

  NodeSnapshot after;
  table.Snapshot(after);
  EXPECT_EQ(std::memcmp(before.data(), after.data(), sizeof(before)), 0);
}

}  // namespace
}  // namespace chromaset
