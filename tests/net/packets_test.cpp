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

std::vector<std::uint8_t> Bytes(const std::uint8_t* data, std::size_t n) {
  return std::vector<std::uint8_t>(data, data + n);
}

TEST(NetPackets, ArtPollIsTheFourteenFixedBytes) {
  std::array<std::uint8_t, kPacketBufferSize> buffer;
  buffer.fill(0xEE);  // whatever an earlier packet left
  ASSERT_EQ(BuildArtPoll(buffer.data()), 14u);
  const std::vector<std::uint8_t> expected = {0x41, 0x72, 0x74, 0x2D, 0x4E, 0x65, 0x74,
                                              0x00, 0x00, 0x20, 0x00, 0x0E, 0x00, 0x00};
  EXPECT_EQ(Bytes(buffer.data(), 14), expected);
  EXPECT_EQ(buffer[14], 0xEE) << "wrote past the packet";
}

TEST(NetPackets, ArtDmxHeaderDataAndByteOrder) {
  DmxFrame frame;
  frame.Length = 512;
  frame.Data[0] = 255;
  frame.Data[1] = 128;
  frame.Data[2] = 0;
  frame.Data[3] = 10;
  std::array<std::uint8_t, kPacketBufferSize> buffer;
  buffer.fill(0xEE);
  ASSERT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 530u);
  const std::vector<std::uint8_t> header = {0x41, 0x72, 0x74, 0x2D, 0x4E, 0x65, 0x74, 0x00, 0x00,
                                            0x50, 0x00, 0x0E, 0x00, 0x01, 0x00, 0x00, 0x02, 0x00};
  EXPECT_EQ(Bytes(buffer.data(), 18), header);
  EXPECT_EQ(Bytes(buffer.data() + 18, 4), (std::vector<std::uint8_t>{255, 128, 0, 10}));
  EXPECT_EQ(Bytes(buffer.data() + 22, 508), std::vector<std::uint8_t>(508, 0))
      << "channels 5..512 must be sent as they are in the frame";
  EXPECT_EQ(buffer[530], 0xEE) << "wrote past the packet";

  // Same frame twice: identical datagrams (no running sequence number).
  std::array<std::uint8_t, kPacketBufferSize> again{};
  ASSERT_EQ(BuildArtDmx(frame, again.data(), again.size()), 530u);
  EXPECT_EQ(Bytes(again.data(), 530), Bytes(buffer.data(), 530));

  // SubUni before Net, Length high byte first.
  frame.SubUni = 0x12;
  frame.Net = 0x34;
  frame.Length = 0x0103;
  ASSERT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 18u + 0x0103);
  EXPECT_EQ(buffer[14], 0x12);
  EXPECT_EQ(buffer[15], 0x34);
  EXPECT_EQ(buffer[16], 0x01);
  EXPECT_EQ(buffer[17], 0x03);

  frame.Length = 0;
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 18u);
  EXPECT_EQ(buffer[16], 0x00);
  EXPECT_EQ(buffer[17], 0x00);
}

TEST(NetPackets, ArtDmxRefusesOversizedFramesAndSmallBuffers) {
  DmxFrame frame;
  frame.Length = 513;
  std::array<std::uint8_t, kPacketBufferSize> buffer;
  buffer.fill(0xEE);
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 0u);
  frame.Length = 0xFFFF;
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), buffer.size()), 0u);
  EXPECT_EQ(buffer[0], 0xEE) << "a refused frame must not touch the buffer";

  frame.Length = 512;
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), 529), 0u);
  EXPECT_EQ(BuildArtDmx(frame, buffer.data(), 530), 530u);
  EXPECT_EQ(BuildArtDmx(frame, nullptr, 1024), 0u);
}

TEST(NetRecognition, IdAndLittleEndianOpCode) {
  test::PollReply reply;
  EXPECT_EQ(RecogniseArtNet(reply.data(), reply.length), kOpPollReply);

  test::PollReply byte7 = reply;
  byte7.bytes[7] = 1;
  EXPECT_EQ(RecogniseArtNet(byte7.data(), byte7.length), 0) << "non-zero byte 7";

  test::PollReply lowercase = reply;
  lowercase.bytes[0] = 'a';
  EXPECT_EQ(RecogniseArtNet(lowercase.data(), lowercase.length), 0);

  test::PollReply swapped = reply;
  swapped.bytes[8] = 0x21;
  swapped.bytes[9] = 0x00;
  EXPECT_EQ(RecogniseArtNet(swapped.data(), swapped.length), 0x0021) << "read low byte first";

  std::array<std::uint8_t, kPacketBufferSize> poll{};
  EXPECT_EQ(RecogniseArtNet(poll.data(), BuildArtPoll(poll.data())), kOpPoll);
  DmxFrame frame;
  frame.Length = 512;
  std::array<std::uint8_t, kPacketBufferSize> dmx{};
  EXPECT_EQ(RecogniseArtNet(dmx.data(), BuildArtDmx(frame, dmx.data(), dmx.size())), kOpDmx);

  // Bytes past the length read as zero: a 9-byte datagram never borrows byte 9 from the buffer.
  EXPECT_EQ(RecogniseArtNet(reply.data(), 9), 0x0000);
  EXPECT_EQ(RecogniseArtNet(reply.data(), 10), kOpPollReply);
  // "Art-Net" alone: the missing eighth byte reads as the zero it should be.
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

  // Our own packets coming back, another controller's poll, and look-alikes of a reply for a
  // new node and for a known one.
  std::array<std::uint8_t, kPacketBufferSize> buffer{};
  ProcessDatagram(buffer.data(), BuildArtPoll(buffer.data()), table);
  DmxFrame frame;
  frame.Length = 512;
  frame.Data[10] = 0x21;  // would be a tempting byte for a sloppy parser
  ProcessDatagram(buffer.data(), BuildArtDmx(frame, buffer.data(), buffer.size()), table);

  for (std::size_t n : {std::size_t{1}, std::size_t{50}}) {
    test::PollReply byte7 = test::NodeReply(n);
    byte7.SetLongName("changed");
    byte7.bytes[7] = 'X';
    ProcessDatagram(byte7.data(), byte7.length, table);
    test::PollReply swapped = test::NodeReply(n);
    swapped.SetLongName("changed");
    swapped.bytes[8] = 0x21;
    swapped.bytes[9] = 0x00;
    ProcessDatagram(swapped.data(), swapped.length, table);
  }

  NodeSnapshot after;
  table.Snapshot(after);
  EXPECT_EQ(std::memcmp(before.data(), after.data(), sizeof(before)), 0);
}

}  // namespace
}  // namespace chromaset
