// Typed node addresses: what parses, and which addresses no node can have.
#include <gtest/gtest.h>

#include "node_address.h"

namespace chromaset {
namespace {

TEST(NodeAddress, ParsesAndChecksTypedText) {
  const Ipv4Bytes kUnset{9, 9, 9, 9};
  const struct {
    const char* text;
    AddressProblem problem;
    Ipv4Bytes out;
  } cases[] = {
      {"192.168.1.50", AddressProblem::None, {192, 168, 1, 50}},
      {"  10.0.0.1\t", AddressProblem::None, {10, 0, 0, 1}},
      {"223.255.255.254", AddressProblem::None, {223, 255, 255, 254}},
      {"", AddressProblem::Malformed, kUnset},
      {"1.2.3", AddressProblem::Malformed, kUnset},
      {"1.2.3.4.5", AddressProblem::Malformed, kUnset},
      {"256.1.1.1", AddressProblem::Malformed, kUnset},
      {"010.1.1.1", AddressProblem::Malformed, kUnset},
      {"-1.2.3.4", AddressProblem::Malformed, kUnset},
      {"1.2.3.4x", AddressProblem::Malformed, kUnset},
      {"0.1.2.3", AddressProblem::ThisNetwork, kUnset},
      {"127.0.0.1", AddressProblem::Loopback, kUnset},
      {"224.0.0.1", AddressProblem::NotUnicast, kUnset},
      {"240.1.2.3", AddressProblem::NotUnicast, kUnset},
      {"255.255.255.255", AddressProblem::Broadcast, kUnset},
  };
  for (const auto& c : cases) {
    Ipv4Bytes out = kUnset;
    EXPECT_EQ(ParseNodeAddress(c.text, out), c.problem) << c.text;
    EXPECT_EQ(out, c.out) << c.text;
    EXPECT_EQ(*AddressProblemText(c.problem) == '\0', c.problem == AddressProblem::None);
  }
}

}  // namespace
}  // namespace chromaset
