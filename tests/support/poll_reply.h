// A fixed-buffer ArtPollReply builder that starts from zeros and a deterministic mix of valid
// and garbage datagrams, for the node-table tests, the flood tests and the benchmarks. Written
// with the test-side layout (art_packets.h), not net/'s; the product never sends a reply.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "art_packets.h"

namespace chromaset::test {

struct PollReply {
  std::array<std::uint8_t, kTestMaxDatagram> bytes{};
  std::size_t length = kTestReplyLength;

  const std::uint8_t* data() const { return bytes.data(); }

  PollReply() {
    PutArtNetHeader(bytes.data(), kTestOpPollReply);
    SetPort(kTestArtNetPort);
  }
  PollReply& SetIp(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    bytes[kAtIpAddress + 0] = a;
    bytes[kAtIpAddress + 1] = b;
    bytes[kAtIpAddress + 2] = c;
    bytes[kAtIpAddress + 3] = d;
    return *this;
  }
  PollReply& SetPort(std::uint16_t port) {  // low byte first on the wire
    bytes[kAtPort] = static_cast<std::uint8_t>(port & 0xFF);
    bytes[kAtPort + 1] = static_cast<std::uint8_t>(port >> 8);
    return *this;
  }
  PollReply& SetEsta(std::uint8_t byte24, std::uint8_t byte25) {
    bytes[kAtEsta24] = byte24;
    bytes[kAtEsta25] = byte25;
    return *this;
  }
  // Copies at most the field width; the rest of the field is zero.
  PollReply& SetShortName(std::string_view name) {
    PutText(bytes.data() + kAtShortName, kShortNameWidth, name);
    return *this;
  }
  PollReply& SetLongName(std::string_view name) {
    PutText(bytes.data() + kAtLongName, kLongNameWidth, name);
    return *this;
  }
  PollReply& SetMac(const std::array<std::uint8_t, 6>& mac) {
    std::copy(mac.begin(), mac.end(), bytes.begin() + kAtMac);
    return *this;
  }
  PollReply& SetLength(std::size_t n) {
    length = n;
    return *this;
  }
};

// Node n of a test network: 2.0.0.(n + 1), for n < 254.
inline PollReply NodeReply(std::size_t n) {
  PollReply reply;
  reply.SetIp(2, 0, 0, static_cast<std::uint8_t>(n + 1));
  return reply;
}

// Datagram number i of a flood: mostly valid replies from 2.0.x.y, mixed with look-alikes that
// must leave the table alone (wrong ID, byte-swapped OpCode, ArtPoll, ArtDmx, too short) and
// with random bytes. Writes into out and returns the length.
inline std::size_t MakeFloodDatagram(std::uint32_t i,
                                     std::array<std::uint8_t, kTestMaxDatagram>& out) {
  std::uint32_t state = i * 2654435761u + 12345u;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  PollReply reply;
  reply.SetIp(2, 0, static_cast<std::uint8_t>(i % 3), static_cast<std::uint8_t>(1 + i % 60));
  reply.SetEsta(static_cast<std::uint8_t>(next()), static_cast<std::uint8_t>(next()));
  out = reply.bytes;
  std::size_t length = reply.length;
  switch (i % 8) {
    case 0:
    case 1:
    case 2:
      break;  // valid
    case 3:
      out[7] = 'X';  // ID with a non-zero eighth byte
      break;
    case 4:
      out[8] = 0x21;  // OpCode high byte first
      out[9] = 0x00;
      break;
    case 5:
      length = 1 + next() % 15;  // too short to name a node
      break;
    case 6:
      length = WriteArtPoll(out.data());
      break;
    default:
      length = next() % out.size();
      for (std::size_t k = 0; k < length; ++k) out[k] = static_cast<std::uint8_t>(next());
      break;
  }
  return length;
}

}  // namespace chromaset::test
