// Art-Net byte layouts: building the packets Chromaset sends and recognising the ones it
// receives. Pure functions over byte buffers; no I/O, no host-endianness assumptions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace chromaset {

inline constexpr std::uint16_t kArtNetPort = 6454;  // 0x1936, local and remote
inline constexpr std::uint16_t kOpPoll = 0x2000;
inline constexpr std::uint16_t kOpPollReply = 0x2100;
inline constexpr std::uint16_t kOpDmx = 0x5000;
inline constexpr std::uint8_t kProtVerHi = 0;
inline constexpr std::uint8_t kProtVerLo = 14;

inline constexpr std::size_t kArtPollSize = 14;
inline constexpr std::size_t kArtDmxHeaderSize = 18;
inline constexpr std::size_t kDmxChannels = 512;
inline constexpr std::size_t kPacketBufferSize = 1024;  // ArtSendBuffer and ReceiveBuffer

// One DMX512 universe of output. Channel n is Data[n - 1].
struct DmxFrame {
  std::uint16_t Length = 0;  // channel bytes sent; never more than kDmxChannels
  std::uint8_t Data[kDmxChannels] = {};
  std::uint8_t Net = 0;
  std::uint8_t SubUni = 0;
};

// Writes the 14-byte ArtPoll into buffer (capacity at least kArtPollSize); returns its size.
std::size_t BuildArtPoll(std::uint8_t* buffer);

// Writes the ArtDmx for frame into buffer (capacity bytes); returns 18 + Length, or 0 when
// Length exceeds 512 or the packet does not fit.
std::size_t BuildArtDmx(const DmxFrame& frame, std::uint8_t* buffer, std::size_t capacity);

// The OpCode of a datagram that carries the Art-Net ID ("Art-Net" and a zero byte), read low
// byte first; 0 when the ID does not match. Bytes past length read as zero.
std::uint16_t RecogniseArtNet(const std::uint8_t* data, std::size_t length);

}  // namespace chromaset
