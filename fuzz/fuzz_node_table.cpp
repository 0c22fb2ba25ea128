// Arbitrary datagrams into the node table and the port table: recognition and the reply
// updates must never crash, read out of bounds or break the tables' rules, and the routes built
// from what the port table holds send each universe only to nodes that output it.
//
// Input: byte 0 chooses how many known nodes (10.0.0.n) the table holds first, 0..99, so the
// full-table paths are reachable; then datagrams, each a 2-byte little-endian length and that
// many bytes (cut at the end of the input).
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "art_packets.h"
#include "node_table.h"
#include "route_table.h"

using chromaset::IsInUse;
using chromaset::kNodeSlots;
using chromaset::NodeSnapshot;

void Check(bool condition) {
  if (!condition) std::abort();
}

// After any datagram: a slot in use keeps its address and stays in use, no two slots in use
// share an address, the never-filled bytes stay zero. A datagram that is no reply of at least
// 16 bytes changes nothing; a Port-0 reply leaves a known node as it was; a reply with a Port
// leaves its node in use with that Port unless the table was full of others.
void CheckStep(const std::vector<std::uint8_t>& d, const NodeSnapshot& before,
               const NodeSnapshot& after) {
  const bool reply =
      chromaset::test::ArtNetOpCode(d) == chromaset::test::kTestOpPollReply && d.size() >= 16;
  const unsigned port = reply ? d[14] | d[15] << 8 : 0;
  bool free = false, found = false;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    const auto &was = before[slot], &now = after[slot];
    const bool named = reply && std::memcmp(was.IpAddress, &d[10], 4) == 0 && IsInUse(was);
    Check(!IsInUse(was) || (IsInUse(now) && std::memcmp(was.IpAddress, now.IpAddress, 4) == 0));
    Check(!named || port != 0 || std::memcmp(&was, &now, sizeof was) == 0);
    Check(std::memcmp(now.Unfilled6, "\0\0\0\0\0\0\0", 7) == 0 && now.Unfilled120 == 0);
    const bool written = IsInUse(now) && std::memcmp(&was, &now, sizeof was) != 0;
    for (std::size_t other = 0; written && other < kNodeSlots; ++other) {  // a new duplicate?
      Check(other == slot || !IsInUse(after[other]) ||
            std::memcmp(after[other].IpAddress, now.IpAddress, 4) != 0);
    }
    free = free || !IsInUse(was) || named;
    found = found || (reply && IsInUse(now) && now.Port == port &&
                      std::memcmp(now.IpAddress, &d[10], 4) == 0);
  }
  if (!reply || (port != 0 && !free)) Check(std::memcmp(&before, &after, sizeof before) == 0);
  if (reply && port != 0 && free) Check(found);
}

// Every entry in range, each (IP, BindIndex) once; routes for the universes the datagram's own
// routing bytes name (so they are often found) lead only to nodes that output them, once each.
void CheckPorts(const chromaset::PortTable& ports, const std::vector<std::uint8_t>& d) {
  static std::vector<chromaset::PortEntry> all;
  ports.Snapshot(all);
  Check(all.size() <= chromaset::kPortEntries);
  for (std::size_t i = 0; i < all.size(); ++i) {
    Check(all[i].bindIndex != 0 && all[i].outputCount >= 0 && all[i].outputCount <= 4);
    for (std::size_t j = i + 1; j < all.size(); ++j)
      Check(all[j].ip != all[i].ip || all[j].bindIndex != all[i].bindIndex);
  }
  const auto at = [&](std::size_t i) { return i < d.size() ? int{d[i]} : 0; };
  const int base = (at(18) & 0x7F) << 8 | (at(19) & 0xF) << 4;
  std::vector<int> universes = {base | (at(190) & 0xF), base | (at(191) & 0xF)};
  if (universes[1] < universes[0]) std::swap(universes[0], universes[1]);
  if (universes[1] == universes[0]) universes.pop_back();
  chromaset::RouteTable routes;
  routes.Build(all, universes, {}, chromaset::PortTime{});
  for (int universe : universes) {
    const auto to = routes.For(universe);
    for (std::size_t n = 0; n < to.size(); ++n) {
      Check(std::find(to.begin() + n + 1, to.end(), to[n]) == to.end());
      Check(std::any_of(all.begin(), all.end(), [&](const chromaset::PortEntry& e) {
        return e.ip == to[n] &&
               std::count(e.outputs.begin(), e.outputs.begin() + e.outputCount, universe) > 0;
      }));
    }
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  chromaset::NodeTable table;
  chromaset::PortTable ports;
  for (std::size_t n = 0; n < data[0] % (kNodeSlots + 1); ++n) {
    const auto known = chromaset::test::PollReply({10, 0, 0, static_cast<std::uint8_t>(n + 1)});
    table.ApplyPollReply(known.data(), 213);
  }
  static NodeSnapshot before, after;
  table.Snapshot(before);
  for (std::size_t at = 1; at + 2 <= size;) {
    const std::size_t length = std::min<std::size_t>(data[at] | data[at + 1] << 8, size - at - 2);
    // A vector of exactly the datagram's size, so ASan sees any read past its end.
    const std::vector<std::uint8_t> datagram(data + at + 2, data + at + 2 + length);
    chromaset::ProcessDatagram(datagram.data(), datagram.size(), table, ports, {});
    table.Snapshot(after);
    CheckStep(datagram, before, after);
    CheckPorts(ports, datagram);
    before = after;
    at += 2 + length;
  }
  return 0;
}
