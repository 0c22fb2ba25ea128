// Each universe to the nodes that output it, with ArtSync, as the window does it: a rig of 512
// DRGBW fixtures over the 64 universes of the routing lab (32 nodes, 48 replies). One change to
// every universe: all datagrams of the pass on the socket, each frame only to the nodes that
// output its universe, and the ArtSync after the last; then keep-alive with nothing happening
// (the poll every 2.75 s and the route check every second included): CPU share of one core.
//
// The datagrams go through the real Art-Net socket to 127.0.0.1 (each stands for the node it is
// meant for, which is recorded), so this runs only under scripts/isolated, like bench_net.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <string>

#include "dmx_output.h"
#include "loopback_link.h"
#include "node_routing.h"
#include "process_cpu.h"
#include "route_lab.h"

namespace chromaset {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPerUniverse = 8;

// Sends every datagram to loopback and records where it was meant to go, and when.
class LoopbackSender : public ArtDmxSender {
 public:
  explicit LoopbackSender(ArtNetLink& link) : m_link(link) {}
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) override {
    meant.emplace_back(frame->Net << 8 | frame->SubUni, destination);
    last = Clock::now();
    return m_link.SendArtDmx(frame, Ipv4Bytes{127, 0, 0, 1});
  }
  bool SendArtSync() override {
    ++syncs;
    syncAfterLast = !meant.empty();
    syncAt = Clock::now();
    // 255.255.255.255 has no route in the isolated namespace: the call costs what it costs.
    m_link.SendArtSync();
    return true;
  }
  std::vector<std::pair<int, Ipv4Bytes>> meant;  // universe, node
  Clock::time_point last, syncAt;
  int syncs = 0;
  bool syncAfterLast = false;

 private:
  ArtNetLink& m_link;
};

Rig LabRig() {
  Rig rig;
  rig.Clear();
  std::string reason;
  for (const int universe : test::RouteLabUniverses()) {
    Fixture fixture;
    ParseLayout("DRGBW", fixture.layout, reason);
    fixture.name = "Par " + std::to_string(universe);
    fixture.patch = DmxPatch{universe >> 8, universe >> 4 & 15, universe & 15, 1};
    if (!AddSeveral(rig, fixture, kPerUniverse, reason)) std::abort();
  }
  return rig;
}

struct RoutedOutput {
  explicit RoutedOutput(ArtNetLink& link) : sender(link) {
    model.Load(LabRig());
    model.SelectAll();
    Answer();
    output.SetLive(true);
    output.SetSync(true);
    output.SetRouting(true);
    routing.Check();
  }
  // The lab's 48 replies, as if heard now.
  void Answer() {
    const PortTime now = Clock::now();
    for (const auto& reply : test::RouteLabReplies())
      ProcessDatagram(reply.data(), reply.length, nodes, ports, now);
  }
  LoopbackSender sender;
  NodeTable nodes;
  PortTable ports;
  RigModel model;
  DmxOutput output{sender, model, [] { return OutputTargets{true, 0, {}}; }};
  NodeRouting routing{ports, output, [this] { Answer(); }, [] { return std::vector<Ipv4Bytes>{}; }};
};

// From the change to the ArtSync; misrouted counts frames to a node that does not output the
// frame's universe.
void BM_RoutedPassOf64Universes(benchmark::State& state) {
  ArtNetLink* link = SharedLinkOrSkip(state);
  if (link == nullptr) return;
  RoutedOutput out(*link);
  const RouteTable& routes = out.output.Routes();
  std::uint8_t level = 0;
  std::size_t misrouted = 0, datagrams = 0;
  bool syncLast = true;
  for (auto _ : state) {
    out.sender.meant.clear();
    const auto start = Clock::now();
    ++level;
    out.output.SetColour(level, 255, static_cast<std::uint8_t>(level * 3));
    out.output.Send();
    state.SetIterationTime(std::chrono::duration<double>(out.sender.syncAt - start).count());
    for (const auto& [universe, node] : out.sender.meant)
      misrouted += routes.Has(universe, node) ? 0 : 1;
    datagrams = out.sender.meant.size();
    syncLast = syncLast && out.sender.syncAfterLast && out.sender.syncAt >= out.sender.last;
  }
  state.counters["datagrams"] = static_cast<double>(datagrams);
  state.counters["misrouted"] = static_cast<double>(misrouted);
  state.counters["sync_after_last"] = syncLast ? 1 : 0;
}
BENCHMARK(BM_RoutedPassOf64Universes)->Unit(benchmark::kMicrosecond)->UseManualTime();

// The event loop blocked in its wait for ms, as the window's is (QTest::qWait would poll every
// 10 ms and count that too).
void Idle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Keep-alive on, routing and sync on, nothing happening for 6 s (two polls and their answers,
// six route checks, six keep-alive passes).
void BM_RoutedKeepAliveIdle(benchmark::State& state) {
  ArtNetLink* link = SharedLinkOrSkip(state);
  if (link == nullptr) return;
  RoutedOutput out(*link);
  out.output.SetKeepAlive(true);
  for (auto _ : state) {
    Idle(1500);  // settle into the once-a-second rhythm
    const std::size_t before = out.sender.meant.size();
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    Idle(6000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu) / wall;
    state.counters["datagrams_per_s"] =
        static_cast<double>(out.sender.meant.size() - before) / wall;
  }
}
BENCHMARK(BM_RoutedKeepAliveIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace chromaset

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
