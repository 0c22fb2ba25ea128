// The routing benchmarks' network: 32 nodes and a rig of 64 universes. Sixteen Art-Net 4 nodes
// output eight ports each, answering once per BindIndex (two replies); sixteen Art-Net 3 nodes
// output four ports each on Net 1 and a Sub-Net of their own. Every universe of the rig has one
// to four nodes; the nodes also output universes the rig does not use.
#pragma once

#include <vector>

#include "art_packets.h"

namespace chromaset::test {

inline std::vector<PollReply> RouteLabReplies() {
  std::vector<PollReply> replies;
  for (std::uint8_t n = 0; n < 16; ++n) {  // Art-Net 4: Net 0, Sub-Net n % 4, universes 0-7
    for (std::uint8_t bind = 1; bind <= 2; ++bind) {
      PollReply reply({2, 0, 1, static_cast<std::uint8_t>(n + 1)});
      reply.SetPorts(OutputPorts(0, n % 4, static_cast<std::uint8_t>((bind - 1) * 4), 4, bind));
      replies.push_back(reply);
    }
  }
  for (std::uint8_t n = 0; n < 16; ++n) {  // Art-Net 3: Net 1, Sub-Net n / 2, 0-3 or 4-7
    PollReply reply({2, 0, 2, static_cast<std::uint8_t>(n + 1)});
    reply.SetPorts(OutputPorts(1, n / 2, static_cast<std::uint8_t>(n % 2 * 4), 4));
    reply.length = 213;  // no BindIndex: the root device
    replies.push_back(reply);
  }
  return replies;
}

// 32 universes on Net 0 (Sub-Nets 0-3, 0-7) and 32 on Net 1 (Sub-Nets 0-3), ascending.
inline std::vector<int> RouteLabUniverses() {
  std::vector<int> universes;
  for (int net = 0; net < 2; ++net)
    for (int sub = 0; sub < 4; ++sub)
      for (int uni = 0; uni < 8; ++uni) universes.push_back(net << 8 | sub << 4 | uni);
  return universes;
}

}  // namespace chromaset::test
