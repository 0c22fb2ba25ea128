// Routing: how long the table of where each universe goes takes to build from what 32 nodes
// said (48 replies) for a rig of 64 universes, and how fast replies go into the port table.
#include <benchmark/benchmark.h>

#include "route_lab.h"
#include "route_table.h"

namespace chromaset {
namespace {

void BM_RouteTableBuild(benchmark::State& state) {
  const auto replies = test::RouteLabReplies();
  const auto universes = test::RouteLabUniverses();
  const PortTime now = std::chrono::steady_clock::now();
  PortTable ports;
  for (const auto& reply : replies) ports.ApplyPollReply(reply.data(), reply.length, now);
  std::vector<PortEntry> snapshot;
  RouteTable routes;
  std::size_t destinations = 0;
  for (auto _ : state) {
    ports.Snapshot(snapshot);
    routes.Build(snapshot, universes, {}, now);
    benchmark::DoNotOptimize(routes);
  }
  for (int u : universes) destinations += routes.For(u).size();
  state.counters["destinations"] = static_cast<double>(destinations);
  state.counters["unrouted"] = static_cast<double>(routes.Unrouted().size());
}
BENCHMARK(BM_RouteTableBuild)->Unit(benchmark::kMicrosecond);

// The receiver's share: the 48 replies of one poll into both tables.
void BM_RepliesOfOnePoll(benchmark::State& state) {
  const auto replies = test::RouteLabReplies();
  NodeTable nodes;
  PortTable ports;
  for (auto _ : state) {
    const PortTime now = std::chrono::steady_clock::now();
    for (const auto& reply : replies)
      ProcessDatagram(reply.data(), reply.length, nodes, ports, now);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(replies.size()));
}
BENCHMARK(BM_RepliesOfOnePoll)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace chromaset
