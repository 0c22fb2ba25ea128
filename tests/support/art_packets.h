// Art-Net packets as the test side writes them, from the published layouts on their own
// (nothing shared with net/), so the tests cross-check the product's bytes. Used by the lab's
// simulated nodes, the tests, the fuzz target and the benchmarks.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace chromaset::test {

inline constexpr std::uint16_t kTestArtNetPort = 6454, kTestOpPoll = 0x2000,
                               kTestOpPollReply = 0x2100, kTestOpDmx = 0x5000;
// A full ArtPollReply of revision 14, and the receive buffer's size.
inline constexpr std::size_t kTestReplyLength = 239, kTestMaxDatagram = 1024;
inline constexpr char kArtNetId[8] = "Art-Net";
// ArtPollReply byte offsets (Port low byte first).
inline constexpr std::size_t kAtIpAddress = 10, kAtPort = 14, kAtEsta24 = 24, kAtEsta25 = 25,
                             kAtShortName = 26, kShortNameWidth = 18, kAtLongName = 44,
                             kLongNameWidth = 64, kAtMac = 201;

inline void PutArtNetHeader(std::uint8_t* packet, std::uint16_t opCode) {
  std::copy_n(kArtNetId, 8, packet);
  packet[8] = static_cast<std::uint8_t>(opCode & 0xFF), packet[9] = opCode >> 8;
}

// A text field: at most width bytes of text, the rest zero.
inline void PutText(std::uint8_t* field, std::size_t width, std::string_view text) {
  std::fill_n(field, width, std::uint8_t{0});
  std::copy_n(text.data(), std::min(width, text.size()), field);
}

// The OpCode of an Art-Net datagram; 0 for anything else.
inline std::uint16_t ArtNetOpCode(const std::vector<std::uint8_t>& d) {
  const bool artNet = d.size() >= 10 && std::equal(kArtNetId, kArtNetId + 8, d.begin());
  return artNet ? static_cast<std::uint16_t>(d[8] | d[9] << 8) : 0;
}

// An ArtDmx: protocol 14, Sequence 0, Physical 1, Length high byte first.
inline std::vector<std::uint8_t> MakeArtDmx(const std::uint8_t* channels, std::uint16_t length,
                                            std::uint8_t net = 0, std::uint8_t subUni = 0) {
  std::vector<std::uint8_t> p(18 + std::size_t{length}, 0);
  PutArtNetHeader(p.data(), kTestOpDmx);
  p[11] = 14, p[13] = 1, p[14] = subUni, p[15] = net;
  p[16] = static_cast<std::uint8_t>(length >> 8), p[17] = static_cast<std::uint8_t>(length);
  std::copy_n(channels, length, p.begin() + 18);
  return p;
}

// What one reply says a node outputs; a port outputs when bit 7 of its type is set.
struct ReplyPorts {
  std::uint8_t net = 0, subNet = 0, bindIndex = 0;
  std::uint16_t numPorts = 0;
  std::array<std::uint8_t, 4> portTypes{}, swOut{};
};
inline constexpr std::uint8_t kOutputPort = 0x80, kInputPort = 0x40;

// An ArtPollReply in a receive-sized buffer; length says how much of it is sent.
struct PollReply {
  std::array<std::uint8_t, kTestMaxDatagram> bytes{};
  std::size_t length = kTestReplyLength;

  explicit PollReply(std::array<std::uint8_t, 4> ip = {2, 0, 0, 1}) {
    PutArtNetHeader(bytes.data(), kTestOpPollReply);
    std::copy(ip.begin(), ip.end(), bytes.begin() + kAtIpAddress);
    SetPort(kTestArtNetPort);
  }
  const std::uint8_t* data() const { return bytes.data(); }
  std::vector<std::uint8_t> Vector() const { return {bytes.begin(), bytes.begin() + length}; }
  PollReply& Set(std::size_t at, std::uint8_t value) { return bytes[at] = value, *this; }
  PollReply& SetPort(std::uint16_t port) {
    return Set(kAtPort, port & 0xFF).Set(kAtPort + 1, port >> 8);
  }
  PollReply& SetLongName(std::string_view name) {
    return PutText(bytes.data() + kAtLongName, kLongNameWidth, name), *this;
  }
  // The routing fields: NetSwitch 18, SubSwitch 19, NumPorts 172-173 (high byte first),
  // PortTypes 174-177, SwOut 190-193, BindIndex 211.
  PollReply& SetPorts(const ReplyPorts& ports);
};

// A node of count output ports (at most four) on Net:Sub-Net, universes first, first + 1, ...
inline ReplyPorts OutputPorts(std::uint8_t net, std::uint8_t subNet, std::uint8_t first,
                              int count = 1, std::uint8_t bindIndex = 0) {
  ReplyPorts p{net, subNet, bindIndex, static_cast<std::uint16_t>(count), {}, {}};
  for (int i = 0; i < count && i < 4; ++i) {
    p.portTypes[std::size_t(i)] = kOutputPort, p.swOut[std::size_t(i)] = std::uint8_t(first + i);
  }
  return p;
}

inline PollReply& PollReply::SetPorts(const ReplyPorts& p) {
  Set(18, p.net).Set(19, p.subNet).Set(172, p.numPorts >> 8).Set(173, p.numPorts & 0xFF);
  for (std::size_t i = 0; i < 4; ++i) Set(174 + i, p.portTypes[i]).Set(190 + i, p.swOut[i]);
  return Set(211, p.bindIndex);
}

// Node n's reply: 2.0.0.(n % 250 + 1), 2.0.1.x after that.
inline PollReply ReplyOfNode(std::size_t n) {
  return PollReply({2, 0, std::uint8_t(n / 250), std::uint8_t(n % 250 + 1)});
}

// Datagram i of a flood into out (returns its length): valid replies from 60 nodes mixed with
// look-alikes that must change nothing (kind i % 8: 3 an ID byte wrong, 4 OpCode high byte
// first, 5 under 16 bytes, 6 an ArtPoll, 7 random bytes).
inline std::size_t MakeFloodDatagram(std::uint32_t i,
                                     std::array<std::uint8_t, kTestMaxDatagram>& out) {
  std::uint32_t state = i * 2654435761u;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 8; };
  out = PollReply(ReplyOfNode(i % 60))
            .Set(kAtEsta24, static_cast<std::uint8_t>(next()))
            .SetLongName(i % 2 ? "odd" : "even")
            .bytes;
  const std::uint32_t kind = i % 8;
  if (kind == 3) out[i / 8 % 8] ^= 0x20;
  if (kind == 4) std::swap(out[8], out[9]);
  if (kind == 6) out[8] = 0, out[9] = 0x20;
  for (std::size_t k = 0; kind == 7 && k < out.size(); ++k)
    out[k] = static_cast<std::uint8_t>(next());
  return kind == 5   ? 1 + next() % 15
         : kind == 6 ? 14
         : kind == 7 ? next() % out.size()
                     : kTestReplyLength;
}

}  // namespace chromaset::test
