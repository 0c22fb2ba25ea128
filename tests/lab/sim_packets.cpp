#include "sim_packets.h"

#include <algorithm>

namespace chromaset::lab {
namespace {

constexpr std::uint8_t kId[8] = {'A', 'r', 't', '-', 'N', 'e', 't', 0};

void PutHeader(std::vector<std::uint8_t>& packet, std::uint16_t opCode) {
  std::copy(std::begin(kId), std::end(kId), packet.begin());
  packet[8] = static_cast<std::uint8_t>(opCode & 0xFF);
  packet[9] = static_cast<std::uint8_t>(opCode >> 8);
}

void PutBytes(std::vector<std::uint8_t>& packet, std::size_t at, const std::uint8_t* bytes,
              std::size_t size) {
  std::copy(bytes, bytes + size, packet.begin() + static_cast<std::ptrdiff_t>(at));
}

void PutText(std::vector<std::uint8_t>& packet, std::size_t at, std::size_t width,
             const std::string& text) {
  const std::size_t size = std::min(width, text.size());
  PutBytes(packet, at, reinterpret_cast<const std::uint8_t*>(text.data()), size);
}

}  // namespace

std::vector<std::uint8_t> MakeArtPollReply(const PollReplyFields& f) {
  // Built at full size, then cut or padded to the length asked for.
  std::vector<std::uint8_t> packet(std::max<std::size_t>(kSimReplyLength, f.length), 0);
  PutHeader(packet, kSimOpPollReply);
  PutBytes(packet, 10, f.ip.data(), 4);
  packet[14] = static_cast<std::uint8_t>(f.port & 0xFF);
  packet[15] = static_cast<std::uint8_t>(f.port >> 8);
  packet[16] = 0;  // VersInfoH
  packet[17] = 1;  // VersInfoL
  packet[23] = f.status1;
  packet[24] = f.esta24;
  packet[25] = f.esta25;
  PutText(packet, 26, 18, f.shortName);
  PutText(packet, 44, 64, f.longName);
  PutText(packet, 108, 64, "#0001 [0000] simulated node");  // NodeReport
  packet[172] = 0;                                          // NumPortsHi
  packet[173] = f.numPorts;
  PutBytes(packet, 174, f.portTypes.data(), 4);
  PutBytes(packet, 178, f.goodInput.data(), 4);
  PutBytes(packet, 182, f.goodOutput.data(), 4);
  PutBytes(packet, 186, f.swIn.data(), 4);
  PutBytes(packet, 190, f.swOut.data(), 4);
  packet[200] = 0;  // Style: a DMX node
  PutBytes(packet, 201, f.mac.data(), 6);
  PutBytes(packet, 207, f.ip.data(), 4);  // BindIp
  packet[211] = 1;                        // BindIndex
  packet[212] = f.status2;
  packet.resize(std::clamp<std::size_t>(f.length, 1, kSimMaxDatagram));
  return packet;
}

std::vector<std::uint8_t> MakeArtPoll() {
  std::vector<std::uint8_t> packet(14, 0);
  PutHeader(packet, kSimOpPoll);
  packet[10] = 0;   // ProtVerHi
  packet[11] = 14;  // ProtVerLo
  return packet;
}

std::vector<std::uint8_t> MakeArtDmx(const std::uint8_t* channels, std::uint16_t length,
                                     std::uint8_t net, std::uint8_t subUni) {
  std::vector<std::uint8_t> packet(18 + static_cast<std::size_t>(length), 0);
  PutHeader(packet, kSimOpDmx);
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

}  // namespace chromaset::lab
