#include "artnet_packets.h"

#include <cstring>

namespace chromaset {
namespace {

void WriteLe16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void WriteBe16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value >> 8);
  at[1] = static_cast<std::uint8_t>(value & 0xFF);
}

// ID, OpCode and protocol revision: bytes 0..11 of every packet Chromaset sends.
void WriteCommonHeader(std::uint8_t* buffer, std::uint16_t opCode) {
  std::memcpy(buffer + kOffsetId, kArtNetId, kArtNetIdSize);
  WriteLe16(buffer + kOffsetOpCode, opCode);
  buffer[kOffsetProtVerHi] = kProtVerHi;
  buffer[kOffsetProtVerLo] = kProtVerLo;
}

}  // namespace

std::size_t BuildArtPoll(std::uint8_t* buffer) {
  WriteCommonHeader(buffer, kOpPoll);
  buffer[kPollOffsetTalkToMe] = 0;  // reply only when polled, no diagnostics
  buffer[kPollOffsetPriority] = 0;
  return kArtPollSize;
}

std::size_t BuildArtSync(std::uint8_t* buffer) {
  WriteCommonHeader(buffer, kOpSync);
  buffer[kSyncOffsetAux1] = 0;
  buffer[kSyncOffsetAux2] = 0;
  return kArtSyncSize;
}

std::size_t BuildArtDmx(const DmxFrame& frame, std::uint8_t* buffer, std::size_t capacity) {
  if (frame.Length > kDmxChannels) return 0;
  const std::size_t size = kArtDmxHeaderSize + frame.Length;
  if (buffer == nullptr || size > capacity) return 0;
  WriteCommonHeader(buffer, kOpDmx);
  buffer[kDmxOffsetSequence] = kDmxSequence;
  buffer[kDmxOffsetPhysical] = kDmxPhysical;
  buffer[kDmxOffsetSubUni] = frame.SubUni;
  buffer[kDmxOffsetNet] = frame.Net;
  WriteBe16(buffer + kDmxOffsetLength, frame.Length);
  std::memcpy(buffer + kDmxOffsetData, frame.Data, frame.Length);
  return size;
}

std::uint16_t RecogniseArtNet(const std::uint8_t* data, std::size_t length) {
  for (std::size_t i = 0; i < kArtNetIdSize; ++i) {
    if (ReceivedByte(data, length, kOffsetId + i) != kArtNetId[i]) return 0;
  }
  const unsigned lo = ReceivedByte(data, length, kOffsetOpCode);
  const unsigned hi = ReceivedByte(data, length, kOffsetOpCode + 1);
  return static_cast<std::uint16_t>(lo + 256u * hi);
}

}  // namespace chromaset
