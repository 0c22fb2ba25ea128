// IPv4 addresses as the Devices menu sees them: typed text to bytes, which addresses a node can
// have, and which share the host's /24.
#pragma once

#include <string_view>

#include "artnet_link.h"

namespace chromaset {

enum class AddressProblem {
  None,
  Malformed,    // not four decimal numbers 0-255 separated by dots
  ThisNetwork,  // 0.x.x.x
  Loopback,     // 127.x.x.x
  Broadcast,    // 255.255.255.255
  NotUnicast,   // 224.0.0.0 and above: multicast and reserved
};

// Four dot-separated decimal parts of one to three digits, each 0-255, no sign, no leading zero
// (so "010" never means eight); spaces around the whole are ignored. False leaves out as it was.
bool ParseIpv4(std::string_view text, Ipv4Bytes& out);

// What keeps address from being a node's own address; None when it can be one.
AddressProblem NodeAddressProblem(const Ipv4Bytes& address);

// Parses text and checks it as a node address; out is written only when the result is None.
AddressProblem ParseNodeAddress(std::string_view text, Ipv4Bytes& out);

// A sentence for the user, e.g. "127.x.x.x is this computer's loopback".
const char* AddressProblemText(AddressProblem problem);

// The first three octets are equal.
bool SameNetwork24(const Ipv4Bytes& a, const Ipv4Bytes& b);

}  // namespace chromaset
