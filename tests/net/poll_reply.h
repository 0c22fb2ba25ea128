// Test-side ArtPollReply builder and a deterministic mix of valid and garbage datagrams, for the
// node-table tests, the fuzz seeds and the flood tests. Header-only; the product never sends a
// reply, so this lives with the tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "artnet_packets.h"

namespace chromaset::test {

inline constexpr std::size_t kFullReplySize = 239;  // a current Art-Net reply

struct PollReply {
  std::array<std::uint8_t, kPacketBufferSize> bytes{};
  std::size_t length = kFullReplySize;

  const std::uint8_t* data() const { return bytes.data(); }

  PollReply() {
    std::memcpy(bytes.data(), kArtNetId, kArtNetIdSize);
    bytes[kOffsetOpCode] = 0x00;  // OpPollReply, low byte first
    bytes[kOffsetOpCode + 1] = 0x21;
    SetPort(kArtNetPort);
  }
  PollReply& SetIp(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    bytes[kReplyOffsetIpAddress + 0] = a;
    bytes[kReplyOffsetIpAddress + 1] = b;
    bytes[kReplyOffsetIpAddress + 2] = c;
    bytes[kReplyOffsetIpAddress + 3] = d;
    return *this;
  }
  PollReply& SetPort(std::uint16_t port) {  // low byte first on the wire
    bytes[kReplyOffsetPort] = static_cast<std::uint8_t>(port & 0xFF);
    bytes[kReplyOffsetPort + 1] = static_cast<std::uint8_t>(port >> 8);
    return *this;
  }
  PollReply& SetEsta(std::uint8_t byte24, std::uint8_t byte25) {
    bytes[kReplyOffsetEstaManLo] = byte24;
    bytes[kReplyOffsetEstaManHi] = byte25;
    return *this;
  }
  // Copies at most the field width; the rest of the field is zero.
  PollReply& SetShortName(std::string_view name) {
    return SetField(kReplyOffsetShortName, kReplyShortNameSize, name);
  }
  PollReply& SetLongName(std::string_view name) {
    return SetField(kReplyOffsetLongName, kReplyLongNameSize, name);
  }
  PollReply& SetMac(const std::array<std::uint8_t, 6>& mac) {
    std::copy(mac.begin(), mac.end(), bytes.begin() + kReplyOffsetMac);
    return *this;
  }
  PollReply& SetLength(std::size_t n) {
    length = n;
    return *this;
  }

 private:
  PollReply& SetField(std::size_t offset, std::size_t width, std::string_view text) {
    std::fill_n(bytes.begin() + offset, width, std::uint8_t{0});
    std::memcpy(bytes.data() + offset, text.data(), std::min(width, text.size()));
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
inline std::size_t MakeFloodDatagram(std::uint32_t i, std::array<std::uint8_t, 1024>& out) {
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
      out[kOffsetOpCode] = 0x21;  // OpCode high byte first
      out[kOffsetOpCode + 1] = 0x00;
      break;
    case 5:
      length = 1 + next() % 15;  // too short to name a node
      break;
    case 6:
      length = BuildArtPoll(out.data());
      break;
    default:
      length = next() % out.size();
      for (std::size_t k = 0; k < length; ++k) out[k] = static_cast<std::uint8_t>(next());
      break;
  }
  return length;
}

}  // namespace chromaset::test
