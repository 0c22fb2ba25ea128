// Art-Net packets as the test side writes them, built from the published layouts on their own
// (nothing shared with net/), so the lab tests cross-check the product's bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "lab.h"

namespace chromaset::lab {

inline constexpr std::uint16_t kSimArtNetPort = 6454;
inline constexpr std::uint16_t kSimOpPoll = 0x2000;
inline constexpr std::uint16_t kSimOpPollReply = 0x2100;
inline constexpr std::uint16_t kSimOpDmx = 0x5000;
inline constexpr std::size_t kSimReplyLength = 239;  // a full ArtPollReply of revision 14
inline constexpr std::size_t kSimMaxDatagram = 1024;

// The fields of an ArtPollReply that a controller reads, with the values of a plain node.
struct PollReplyFields {
  Ipv4 ip{};
  std::uint16_t port = kSimArtNetPort;  // written low byte first
  std::uint8_t status1 = 0;
  std::uint8_t esta24 = 0x1A;  // byte 24 (EstaManLo)
  std::uint8_t esta25 = 0x2C;  // byte 25 (EstaManHi)
  std::string shortName;       // raw bytes, at most 18 used
  std::string longName;        // raw bytes, at most 64 used
  std::uint8_t numPorts = 1;
  std::array<std::uint8_t, 4> portTypes{0x80, 0, 0, 0};  // one DMX output
  std::array<std::uint8_t, 4> goodInput{};
  std::array<std::uint8_t, 4> goodOutput{0x80, 0, 0, 0};
  std::array<std::uint8_t, 4> swIn{};
  std::array<std::uint8_t, 4> swOut{};
  std::array<std::uint8_t, 6> mac{};
  std::uint8_t status2 = 0;
  std::size_t length = kSimReplyLength;  // 1..1024: shorter cuts the packet, longer pads zeros
};

std::vector<std::uint8_t> MakeArtPollReply(const PollReplyFields& fields);
// The 14-byte ArtPoll (TalkToMe 0, Priority 0).
std::vector<std::uint8_t> MakeArtPoll();
// An ArtDmx with Sequence 0 and Physical 1, the first `length` bytes of channels.
std::vector<std::uint8_t> MakeArtDmx(const std::uint8_t* channels, std::uint16_t length,
                                     std::uint8_t net = 0, std::uint8_t subUni = 0);

// The OpCode of an Art-Net datagram (ID "Art-Net\0", OpCode low byte first); 0 for anything
// else.
std::uint16_t ArtNetOpCode(const std::vector<std::uint8_t>& datagram);

}  // namespace chromaset::lab
