// Art-Net byte layouts: building the packets Chromaset sends and recognising the ones it
// receives. Pure functions over byte buffers; no I/O, no host-endianness assumptions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace chromaset {

inline constexpr std::uint16_t kArtNetPort = 6454;  // 0x1936, local and remote
inline constexpr std::uint16_t kOpPoll = 0x2000;
inline constexpr std::uint16_t kOpPollReply = 0x2100;
inline constexpr std::uint16_t kOpDmx = 0x5000;
inline constexpr std::uint16_t kOpSync = 0x5200;
inline constexpr std::uint8_t kProtVerHi = 0;
inline constexpr std::uint8_t kProtVerLo = 14;

inline constexpr std::size_t kArtPollSize = 14;
inline constexpr std::size_t kArtSyncSize = 14;
inline constexpr std::size_t kArtDmxHeaderSize = 18;
inline constexpr std::size_t kDmxChannels = 512;
inline constexpr std::size_t kPacketBufferSize = 1024;  // ArtSendBuffer and ReceiveBuffer

// "Art-Net" and a zero byte, bytes 0..7 of every packet.
inline constexpr std::size_t kArtNetIdSize = 8;
inline constexpr std::uint8_t kArtNetId[kArtNetIdSize] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};

// Byte offsets shared by all packets.
inline constexpr std::size_t kOffsetId = 0;
inline constexpr std::size_t kOffsetOpCode = 8;  // low byte first
inline constexpr std::size_t kOffsetProtVerHi = 10;
inline constexpr std::size_t kOffsetProtVerLo = 11;

// ArtPoll.
inline constexpr std::size_t kPollOffsetTalkToMe = 12;
inline constexpr std::size_t kPollOffsetPriority = 13;

// ArtSync.
inline constexpr std::size_t kSyncOffsetAux1 = 12;
inline constexpr std::size_t kSyncOffsetAux2 = 13;

// ArtDmx.
inline constexpr std::size_t kDmxOffsetSequence = 12;
inline constexpr std::size_t kDmxOffsetPhysical = 13;
inline constexpr std::size_t kDmxOffsetSubUni = 14;
inline constexpr std::size_t kDmxOffsetNet = 15;
inline constexpr std::size_t kDmxOffsetLength = 16;  // high byte first
inline constexpr std::size_t kDmxOffsetData = 18;
inline constexpr std::uint8_t kDmxSequence = 0;  // sequencing off
inline constexpr std::uint8_t kDmxPhysical = 1;

// ArtPollReply: the bytes the node table reads.
inline constexpr std::size_t kReplyOffsetIpAddress = 10;  // 4 bytes, first octet first
inline constexpr std::size_t kReplyOffsetPort = 14;       // 2 bytes, low byte first
inline constexpr std::size_t kReplyOffsetStatus1 = 23;
inline constexpr std::size_t kReplyOffsetEstaManLo = 24;  // becomes the stored high byte
inline constexpr std::size_t kReplyOffsetEstaManHi = 25;  // becomes the stored low byte
inline constexpr std::size_t kReplyOffsetShortName = 26;
inline constexpr std::size_t kReplyShortNameSize = 18;
inline constexpr std::size_t kReplyOffsetLongName = 44;
inline constexpr std::size_t kReplyLongNameSize = 64;
inline constexpr std::size_t kReplyOffsetNetSwitch = 18;  // low 7 bits: Port-Address bits 14-8
inline constexpr std::size_t kReplyOffsetSubSwitch = 19;  // low nibble: Port-Address bits 7-4
inline constexpr std::size_t kReplyOffsetNumPortsHi = 172;
inline constexpr std::size_t kReplyOffsetNumPortsLo = 173;
inline constexpr std::size_t kReplyOffsetPortTypes = 174;
inline constexpr std::size_t kReplyOffsetGoodInput = 178;
inline constexpr std::size_t kReplyOffsetGoodOutput = 182;
inline constexpr std::size_t kReplyOffsetSwIn = 186;
inline constexpr std::size_t kReplyOffsetSwOut = 190;
inline constexpr std::size_t kReplyPortFieldSize = 4;  // PortTypes, GoodInput, ... SwOut
inline constexpr std::size_t kReplyOffsetMac = 201;
inline constexpr std::size_t kReplyMacSize = 6;
inline constexpr std::size_t kReplyOffsetBindIndex = 211;
inline constexpr std::size_t kReplyOffsetStatus2 = 212;
inline constexpr std::size_t kReplyReadSize = 213;  // one past the highest byte read
// A reply that does not reach the end of its Port field cannot identify a node.
inline constexpr std::size_t kReplyMinimumSize = kReplyOffsetPort + 2;
inline constexpr std::uint8_t kPortTypeOutput = 0x80;  // PortTypes bit 7: the port outputs DMX

using Ipv4Bytes = std::array<std::uint8_t, 4>;  // first octet first

// One DMX512 universe of output. Channel n is Data[n - 1].
struct DmxFrame {
  std::uint16_t Length = 0;  // channel bytes sent; never more than kDmxChannels
  std::uint8_t Data[kDmxChannels] = {};
  std::uint8_t Net = 0;
  std::uint8_t SubUni = 0;
};

// Writes the 14-byte ArtPoll into buffer (capacity at least kArtPollSize); returns its size.
std::size_t BuildArtPoll(std::uint8_t* buffer);

// Writes the 14-byte ArtSync into buffer (capacity at least kArtSyncSize); returns its size.
std::size_t BuildArtSync(std::uint8_t* buffer);

// Writes the ArtDmx for frame into buffer (capacity bytes); returns 18 + Length, or 0 when
// Length exceeds 512 or the packet does not fit.
std::size_t BuildArtDmx(const DmxFrame& frame, std::uint8_t* buffer, std::size_t capacity);

// The OpCode of a datagram that carries the Art-Net ID ("Art-Net" and a zero byte), read low
// byte first; 0 when the ID does not match. Bytes past length read as zero.
std::uint16_t RecogniseArtNet(const std::uint8_t* data, std::size_t length);

// Byte i of a received datagram of length bytes; zero past its end, so a short datagram never
// exposes what an earlier one left in the buffer.
inline std::uint8_t ReceivedByte(const std::uint8_t* data, std::size_t length, std::size_t i) {
  return (data != nullptr && i < length) ? data[i] : std::uint8_t{0};
}

}  // namespace chromaset
