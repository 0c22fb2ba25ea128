// Typed node addresses: what parses, and which addresses no node can have.
#include <gtest/gtest.h>

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
  check("  10.0.0.1\t", P::None, {10, 0, 0, 1});
  check("223.255.255.254", P::None, {223, 255, 255, 254});
  for (const char* text :
       {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "010.1.1.1", "-1.2.3.4", "1.2.3.4x"})
    check(text, P::Malformed);
  check("0.1.2.3", P::ThisNetwork);
  check("127.0.0.1", P::Loopback);
  for (const char* text : {"224.0.0.1", "240.1.2.3"}) check(text, P::NotUnicast);
  check("255.255.255.255", P::Broadcast);
}

}  // namespace chromaset
