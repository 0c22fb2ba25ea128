// The link without a socket: every send on a link that is not open fails and sends nothing.
// (Everything that opens the socket is tested in the lab.)
#include <gtest/gtest.h>

#include "artnet_link.h"

namespace chromaset {
namespace {

TEST(NetLink, ClosedLinkRefusesEverySend) {
  DmxFrame frame;
  frame.Length = 512;
  const Ipv4Bytes broadcast{255, 255, 255, 255};

  ArtNetLink never;
  EXPECT_FALSE(never.IsOpen());
  EXPECT_EQ(never.Socket(), -1);
  EXPECT_FALSE(never.SendArtDmx(&frame, broadcast));
  EXPECT_FALSE(never.SendArtDmx(nullptr, broadcast));
  EXPECT_FALSE(never.SendArtPoll());
  EXPECT_FALSE(never.StartReceiver()) << "no receiver without a socket";

  // Closing is idempotent, also on a link that never opened.
  never.Close();
  never.Close();
  EXPECT_FALSE(never.IsOpen());
  EXPECT_FALSE(never.SendArtDmx(&frame, broadcast));

  // Through the interface the window uses.
  ArtDmxSender& sender = never;
  EXPECT_FALSE(sender.SendArtDmx(&frame, Ipv4Bytes{2, 0, 0, 5}));

  // The receive step on a closed link returns at once and stores nothing.
  std::uint8_t buffer[kPacketBufferSize] = {};
  never.ReceiveArtNetPacket(buffer, sizeof(buffer));
  EXPECT_EQ(never.Nodes().Record(0).Port, 0);
}

}  // namespace
}  // namespace chromaset
