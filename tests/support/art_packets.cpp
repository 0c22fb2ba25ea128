#include "art_packets.h"

#include <algorithm>

namespace chromaset::test {
namespace {

constexpr std::uint8_t kId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};

void PutBytes(std::vector<std::uint8_t>& packet, std::size_t at, const std::uint8_t* bytes,
              std::size_t size) {
  std::copy(bytes, bytes + size, packet.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

void PutArtNetHeader(std::uint8_t* packet, std::uint16_t opCode) {
  std::copy(std::begin(kId), std::end(kId), packet);
  packet[8] = static_cast<std::uint8_t>(opCode & 0xFF);
  packet[9] = static_cast<std::uint8_t>(opCode >> 8);
}

void PutText(std::uint8_t* field, std::size_t width, std::string_view text) {
  std::fill_n(field, width, std::uint8_t{0});
  const std::size_t size = std::min(width, text.size());
  std::copy_n(reinterpret_cast<const std::uint8_t*>(text.data()), size, field);
}

std::size_t WriteArtPoll(std::uint8_t* out) {
  PutArtNetHeader(out, kTestOpPoll);
  out[10] = 0;   // ProtVerHi
  out[11] = 14;  // ProtVerLo
  out[12] = 0;   // TalkToMe
  out[13] = 0;   // Priority
  return kTestPollLength;
}

std::vector<std::uint8_t> MakeArtPollReply(const PollReplyFields& f) {
  // Built at full size, then cut or padded to the length asked for.
  std::vector<std::uint8_t> packet(std::max<std::size_t>(kTestReplyLength, f.length), 0);
  PutArtNetHeader(packet.data(), kTestOpPollReply);
  PutBytes(packet, kAtIpAddress, f.ip.data(), 4);
  packet[kAtPort] = static_cast<std::uint8_t>(f.port & 0xFF);
  packet[kAtPort + 1] = static_cast<std::uint8_t>(f.port >> 8);
  packet[kAtVersInfo] = 0;
  packet[kAtVersInfo + 1] = 1;
  packet[kAtStatus1] = f.status1;
  packet[kAtEsta24] = f.esta24;
  packet[kAtEsta25] = f.esta25;
  PutText(packet.data() + kAtShortName, kShortNameWidth, f.shortName);
  PutText(packet.data() + kAtLongName, kLongNameWidth, f.longName);
  PutText(packet.data() + kAtNodeReport, kNodeReportWidth, "#0001 [0000] simulated node");
  packet[kAtNumPorts] = 0;
  packet[kAtNumPorts + 1] = f.numPorts;
  PutBytes(packet, kAtPortTypes, f.portTypes.data(), 4);
  PutBytes(packet, kAtGoodInput, f.goodInput.data(), 4);
  PutBytes(packet, kAtGoodOutput, f.goodOutput.data(), 4);
  PutBytes(packet, kAtSwIn, f.swIn.data(), 4);
  PutBytes(packet, kAtSwOut, f.swOut.data(), 4);
  packet[kAtStyle] = 0;  // a DMX node
  PutBytes(packet, kAtMac, f.mac.data(), 6);
  PutBytes(packet, kAtBindIp, f.ip.data(), 4);
  packet[kAtBindIndex] = 1;
  packet[kAtStatus2] = f.status2;
  packet.resize(std::clamp<std::size_t>(f.length, 1, kTestMaxDatagram));
  return packet;
}

std::vector<std::uint8_t> MakeArtPoll() {
  std::vector<std::uint8_t> packet(kTestPollLength, 0);
  WriteArtPoll(packet.data());
  return packet;
}

std::vector<std::uint8_t> MakeArtDmx(const std::uint8_t* channels, std::uint16_t length,
                                     std::uint8_t net, std::uint8_t subUni) {
  std::vector<std::uint8_t> packet(18 + static_cast<std::size_t>(length), 0);
  PutArtNetHeader(packet.data(), kTestOpDmx);
  packet[10] = 0;
  packet[11] = 14;
  packet[12] = 0;  // Sequence
  packet[13] = 1;  // Physical
  packet[14] = subUni;
  packet[15] = net;
  packet[16] = static_cast<std::uint8_t>(length >> 8);
  packet[17] = static_cast<std::uint8_t>(length & 0xFF);
  if (channels != nullptr) PutBytes(packet, 18, channels, length);
  return packet;
}

std::uint16_t ArtNetOpCode(const std::vector<std::uint8_t>& datagram) {
  if (datagram.size() < 10 || !std::equal(std::begin(kId), std::end(kId), datagram.begin())) {
    return 0;
  }
  return static_cast<std::uint16_t>(datagram[8] | (datagram[9] << 8));
}

}  // namespace chromaset::test
