// What nodes output and where each universe goes: replies in, destinations out.
#include <gtest/gtest.h>

#include <map>

#include "art_packets.h"
#include "route_table.h"

namespace chromaset {
namespace {

using namespace std::chrono_literals;
using test::OutputPorts;
using test::PollReply;
using test::ReplyPorts;

constexpr PortTime kT0{std::chrono::hours(1)};
constexpr int Universe(int net, int sub, int uni) { return net << 8 | sub << 4 | uni; }

struct Heard {
  Ipv4Bytes ip;
  ReplyPorts ports;
  std::chrono::milliseconds at{0};  // after kT0
  std::size_t length = test::kTestReplyLength;
};

PortTable::Update Hear(PortTable& table, const Heard& h) {
  PollReply reply({h.ip[0], h.ip[1], h.ip[2], h.ip[3]});
  reply.SetPorts(h.ports).length = h.length;
  return table.ApplyPollReply(reply.data(), reply.length, kT0 + h.at);
}

using Destinations = std::map<int, std::vector<Ipv4Bytes>>;

Destinations Route(const std::vector<Heard>& heard, const std::vector<int>& universes,
                   std::chrono::milliseconds now, const std::vector<Ipv4Bytes>& added = {},
                   RouteTable* out = nullptr) {
  PortTable table;
  for (const Heard& h : heard) Hear(table, h);
  std::vector<PortEntry> snapshot;
  table.Snapshot(snapshot);
  RouteTable routes;
  routes.Build(snapshot, universes, added, kT0 + now);
  Destinations result;
  for (int u : universes) {
    const auto to = routes.For(u);
    if (!to.empty()) result[u] = {to.begin(), to.end()};
  }
  if (out != nullptr) *out = routes;
  return result;
}

constexpr Ipv4Bytes kA{2, 0, 0, 10}, kB{2, 0, 0, 11}, kC{2, 0, 0, 12};

TEST(NetRoutes, RepliesToDestinations) {
  ReplyPorts inputOnly = OutputPorts(0, 0, 1, 2);
  inputOnly.portTypes = {test::kInputPort, test::kInputPort | test::kOutputPort, 0, 0};
  ReplyPorts masked = OutputPorts(0x83, 0xF5, 0x12, 1);  // only the low bits count
  ReplyPorts beyondNumPorts = OutputPorts(0, 0, 4, 2);
  beyondNumPorts.numPorts = 1;  // the second output type is past the ports the node has
  const struct {
    const char* name;
    std::vector<Heard> heard;
    std::vector<int> universes;
    Destinations expected;
  } cases[] = {
      {"one reply per BindIndex: eight outputs of one node, each universe once",
       {{kA, OutputPorts(0, 0, 0, 4, 1)}, {kA, OutputPorts(0, 0, 4, 4, 2)}},
       {0, 3, 4, 7, 8},
       {{0, {kA}}, {3, {kA}}, {4, {kA}}, {7, {kA}}}},
      {"Art-Net 3 node of four ports, non-zero Net and Sub-Net",
       {{kB, OutputPorts(3, 5, 0, 4)}},
       {Universe(0, 0, 0), Universe(3, 5, 0), Universe(3, 5, 3), Universe(3, 6, 0)},
       {{Universe(3, 5, 0), {kB}}, {Universe(3, 5, 3), {kB}}}},
      {"NetSwitch bit 7, SubSwitch and SwOut high nibbles are not address bits",
       {{kA, masked}},
       {Universe(3, 5, 2), Universe(0x83 & 0x7F, 15, 2)},
       {{Universe(3, 5, 2), {kA}}}},
      {"two nodes on one universe, by address whatever the order heard; two ports once",
       {{kB, OutputPorts(0, 0, 1, 1)},
        {kA, OutputPorts(0, 0, 1, 1)},
        {kA, OutputPorts(0, 0, 1, 1, 2)}},
       {1},
       {{1, {kA, kB}}}},
      {"an input-only port and a port past NumPorts are no destinations",
       {{kA, inputOnly}, {kB, beyondNumPorts}},
       {1, 2, 4, 5},
       {{2, {kA}}, {4, {kB}}}},
      {"a reply cut before its ports outputs nothing",
       {{kA, OutputPorts(0, 0, 1, 1), 0ms, 173}},
       {1},
       {}},
      {"addresses no node can have are never sent to",
       {{{127, 0, 0, 1}, OutputPorts(0, 0, 1, 1)}, {{255, 255, 255, 255}, OutputPorts(0, 0, 1)}},
       {1},
       {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Route(c.heard, c.universes, 0ms), c.expected) << c.name;
}

TEST(NetRoutes, SilentNodesDropAfterTenSecondsAndComeBack) {
  const std::vector<Heard> heard = {{kA, OutputPorts(0, 0, 1, 1), 0ms},
                                    {kB, OutputPorts(0, 0, 1, 1), 4s}};
  RouteTable routes;  // added nodes get every universe, after the nodes heard, each node once
  EXPECT_EQ(Route(heard, {1, 2}, 9999ms, {kC, kB}, &routes),
            (Destinations{{1, {kA, kB, kC}}, {2, {kC, kB}}}));
  EXPECT_TRUE(routes.Unrouted().empty() && routes.For(9).empty()) << "9: not built for it";
  EXPECT_EQ(routes.NextExpiry(), kT0 + 10s) << "rebuild when the first node falls silent";
  EXPECT_EQ(Route(heard, {1}, 10s, {}, &routes), (Destinations{{1, {kB}}}));
  EXPECT_EQ(routes.NextExpiry(), kT0 + 14s);
  EXPECT_EQ(Route(heard, {1}, 14s, {}, &routes), Destinations{});
  EXPECT_TRUE(!routes.NextExpiry() && routes.Unrouted() == std::vector<int>{1});

  // What moves the generation: a node or outputs not known before, a node heard after silence.
  PortTable table;
  using U = PortTable::Update;
  const Heard steps[] = {{kA, OutputPorts(0, 0, 1, 1), 0ms},    {kA, OutputPorts(0, 0, 1, 1), 2s},
                         {kA, OutputPorts(0, 0, 1, 1, 1), 3s},     // BindIndex 0 is the root
                         {kA, OutputPorts(0, 0, 2, 1), 4s},        // re-patched
                         {kA, OutputPorts(0, 0, 2, 1), 14s},       // heard after silence
                         {kA, OutputPorts(0, 0, 2, 1), 15s, 15}};  // no whole Port field
  const U expected[] = {U::kChanged, U::kRefreshed, U::kRefreshed,
                        U::kChanged, U::kChanged,   U::kIgnored};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(Hear(table, steps[i]), expected[i]) << "step " << i;
  EXPECT_EQ(table.Generation(), 3u);
  EXPECT_EQ(table.OutputsOf(kA), std::vector<int>{2});
}

TEST(NetRoutes, FullTableDropsNewPortsUntilOneFallsSilent) {
  PortTable table;
  const auto hear = [&](int n, std::chrono::milliseconds at) {
    const Ipv4Bytes ip{2, 1, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    return Hear(table, {ip, OutputPorts(0, 0, 1, 1, static_cast<std::uint8_t>(n % 7)), at});
  };
  for (int n = 0; n < static_cast<int>(kPortEntries); ++n)
    ASSERT_EQ(hear(n, n == 5 ? 0s : 1s), PortTable::Update::kChanged);
  EXPECT_EQ(hear(5, 2s), PortTable::Update::kRefreshed) << "a known one is still refreshed";
  EXPECT_EQ(hear(5000, 9s), PortTable::Update::kDropped);
  EXPECT_EQ(table.Dropped(), 1u);
  EXPECT_EQ(hear(5000, 11s), PortTable::Update::kChanged) << "takes the place silent longest";
  EXPECT_EQ(table.OutputsOf({2, 1, 0, 5}), std::vector<int>{1}) << "node 5 was heard at 2 s";
  EXPECT_TRUE(table.OutputsOf({2, 1, 0, 0}).empty()) << "node 0, silent since 1 s, gave way";
}

}  // namespace
}  // namespace chromaset
