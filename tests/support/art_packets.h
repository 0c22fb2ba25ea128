// Art-Net packets as the test side writes them, from the published layouts on their own
// (nothing shared with net/), so the tests cross-check the product's bytes. Used by the lab's
// simulated node, the link tests, the benchmarks and the fuzz seeds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace chromaset::test {

inline constexpr std::uint16_t kTestArtNetPort = 6454;
inline constexpr std::uint16_t kTestOpPoll = 0x2000;
inline constexpr std::uint16_t kTestOpPollReply = 0x2100;
inline constexpr std::uint16_t kTestOpDmx = 0x5000;
inline constexpr std::size_t kTestPollLength = 14;
inline constexpr std::size_t kTestReplyLength = 239;  // a full ArtPollReply of revision 14
inline constexpr std::size_t kTestMaxDatagram = 1024;

// ArtPollReply byte offsets (multi-byte fields first byte first).
inline constexpr std::size_t kAtIpAddress = 10;  // 4 bytes, first octet first
inline constexpr std::size_t kAtPort = 14;       // low byte first
inline constexpr std::size_t kAtVersInfo = 16;   // high, low
inline constexpr std::size_t kAtStatus1 = 23;
inline constexpr std::size_t kAtEsta24 = 24;  // EstaManLo
inline constexpr std::size_t kAtEsta25 = 25;  // EstaManHi
inline constexpr std::size_t kAtShortName = 26;
inline constexpr std::size_t kShortNameWidth = 18;
inline constexpr std::size_t kAtLongName = 44;
inline constexpr std::size_t kLongNameWidth = 64;
inline constexpr std::size_t kAtNodeReport = 108;
inline constexpr std::size_t kNodeReportWidth = 64;
inline constexpr std::size_t kAtNumPorts = 172;  // high, low
inline constexpr std::size_t kAtPortTypes = 174;
inline constexpr std::size_t kAtGoodInput = 178;
inline constexpr std::size_t kAtGoodOutput = 182;
inline constexpr std::size_t kAtSwIn = 186;
inline constexpr std::size_t kAtSwOut = 190;
inline constexpr std::size_t kAtStyle = 200;
inline constexpr std::size_t kAtMac = 201;
inline constexpr std::size_t kAtBindIp = 207;
inline constexpr std::size_t kAtBindIndex = 211;
inline constexpr std::size_t kAtStatus2 = 212;

// The fields of an ArtPollReply that a controller reads, with the values of a plain node.
struct PollReplyFields {
  std::array<std::uint8_t, 4> ip{};
  std::uint16_t port = kTestArtNetPort;  // written low byte first
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
  std::size_t length = kTestReplyLength;  // 1..1024: shorter cuts the packet, longer pads zeros
};

// "Art-Net\0" and the OpCode (low byte first) at the start of `packet`.
void PutArtNetHeader(std::uint8_t* packet, std::uint16_t opCode);
// A text field: at most `width` bytes of `text`, the rest of the field zero.
void PutText(std::uint8_t* field, std::size_t width, std::string_view text);
// The 14-byte ArtPoll (TalkToMe 0, Priority 0) at `out`; returns its length.
std::size_t WriteArtPoll(std::uint8_t* out);

std::vector<std::uint8_t> MakeArtPollReply(const PollReplyFields& fields);
std::vector<std::uint8_t> MakeArtPoll();
// An ArtDmx with Sequence 0 and Physical 1, the first `length` bytes of channels.
std::vector<std::uint8_t> MakeArtDmx(const std::uint8_t* channels, std::uint16_t length,
                                     std::uint8_t net = 0, std::uint8_t subUni = 0);

// The OpCode of an Art-Net datagram (ID "Art-Net\0", OpCode low byte first); 0 for anything
// else.
std::uint16_t ArtNetOpCode(const std::vector<std::uint8_t>& datagram);

}  // namespace chromaset::test
