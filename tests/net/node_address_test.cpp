// Typed text: node addresses (what parses, and which addresses no node can have) and universes.
#include <gtest/gtest.h>

#include <cstring>

#include "dmx_patch.h"
#include "node_address.h"

namespace chromaset {

TEST(NodeAddress, ParsesAndChecksTypedText) {
  using P = AddressProblem;
  const auto check = [](const char* text, P problem, Ipv4Bytes expected = {9, 9, 9, 9}) {
    Ipv4Bytes out{9, 9, 9, 9};  // untouched unless the text is good
    EXPECT_EQ(ParseNodeAddress(text, out), problem) << text;
    EXPECT_EQ(out, expected) << text;
    EXPECT_EQ(*AddressProblemText(problem) == '\0', problem == P::None);
  };
  check("192.168.1.50", P::None, {192, 168, 1, 50});
  check(" 10.0.0.1\t", P::None, {10, 0, 0, 1});  // one blank: trimmed by one
  check("223.255.255.254", P::None, {223, 255, 255, 254});
  for (const char* text :
       {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "010.1.1.1", "-1.2.3.4", "1.2.3.4x", "1.2.3,4"})
    check(text, P::Malformed);
  check("0.1.2.3", P::ThisNetwork);
  check("127.0.0.1", P::Loopback);
  for (const char* text : {"224.0.0.1", "240.1.2.3"}) check(text, P::NotUnicast);
  check("255.255.255.255", P::Broadcast);
}

TEST(DmxPatch, UniverseTextParsesOnlyWhole) {
  DmxPatch patch{1, 1, 1, 7};
  ASSERT_TRUE(ParseUniverse("127:15:15", patch));
  EXPECT_EQ(patch, (DmxPatch{127, 15, 15, 7}));  // the start address stays
  for (const char* text : {"1:2:3x", "1:2x:3", "1x:2:3", "1:2", "1:2:3:4", "1::3", " 1:2:3",
                           "+1:2:3", "128:0:0", "0:16:0", "0:0:16", "0:-1:0", "0001:0:0"})
    EXPECT_FALSE(ParseUniverse(text, patch)) << text;
  EXPECT_EQ(patch, (DmxPatch{127, 15, 15, 7})) << "a refused text changes nothing";
}

TEST(DmxPatch, AFrameForAPlaceOutOfRangeGoesToTheDefaultPlace) {
  DmxFrame expected{}, got{};
  WriteFixtureFrame(expected, DmxPatch{}, {1, 2, 3, 4});
  for (const DmxPatch bad : {DmxPatch{128, 0, 0, 1}, DmxPatch{0, 16, 0, 1}, DmxPatch{0, 0, 16, 1},
                             DmxPatch{0, 0, 0, 0}, DmxPatch{0, 0, 0, 510}}) {
    WriteFixtureFrame(got, bad, {1, 2, 3, 4});
    EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << bad.net << bad.subNet << bad.start;
  }
}

}  // namespace chromaset
