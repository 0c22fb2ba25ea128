// The window with a rig of 512 DRGBW fixtures over 64 universes, all selected, in-process and
// offscreen: from a press on the hue ring to the 64 frames of its first pass handed to the
// sender (and their spread), the CPU that keep-alive costs while nothing happens, and a drag
// around the ring with the 44 frames/s limit on (frames per universe and destination, and
// whether the last values went out).
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "artnet_link.h"
#include "dmx_output.h"
#include "process_cpu.h"
#include "wheel_dlg.h"

namespace chromaset {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kUniverses = 64;
constexpr int kPerUniverse = 8;  // 8 x 64 = 512 fixtures

class TimingSender : public ArtDmxSender {
 public:
  bool SendArtSync() override { return true; }
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& /*destination*/) override {
    const std::size_t size = BuildArtDmx(*frame, m_buffer, sizeof m_buffer);
    benchmark::DoNotOptimize(m_buffer);
    if (sent < static_cast<long>(at.size())) at[static_cast<std::size_t>(sent)] = Clock::now();
    ++sent;
    last[(frame->Net << 8) | frame->SubUni] = *frame;
    ++perUniverse[(frame->Net << 8) | frame->SubUni];
    return size != 0;
  }
  long sent = 0;
  std::array<Clock::time_point, 256> at{};  // of the first datagrams after a reset
  std::map<int, DmxFrame> last;
  std::map<int, long> perUniverse;

 private:
  std::uint8_t m_buffer[kPacketBufferSize] = {};
};

Rig BigRig() {
  Rig rig;
  rig.Clear();
  std::string reason;
  for (int u = 0; u < kUniverses; ++u) {
    Fixture fixture;
    ParseLayout("DRGBW", fixture.layout, reason);
    fixture.name = "Par U" + std::to_string(u);
    fixture.patch = DmxPatch{u / 16, 0, u % 16, 1};
    if (!AddSeveral(rig, fixture, kPerUniverse, reason)) std::abort();
  }
  return rig;
}

struct Window {
  Window() {
    dialog = std::make_unique<CWheelDlg>(sender, table, local);
    InitOptions options;
    options.discoveryWait = std::chrono::milliseconds(0);
    options.showSplash = false;
    dialog->OnInitDialog(options);
    dialog->Model().Load(BigRig());
    dialog->Model().SelectAll();
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) std::abort();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  TimingSender sender;
  NodeTable table;
  LocalAddressTable local{};
  std::unique_ptr<CWheelDlg> dialog;
};

const QPoint kRingPoints[2] = {QPoint(251, 150), QPoint(150, 251)};

void PointerAt(CWheelDlg& dlg, QPoint wheelPoint, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPoint p = dlg.WheelPicture()->mapTo(&dlg, wheelPoint);
  QMouseEvent event(type, QPointF(p), QPointF(dlg.mapToGlobal(p)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&dlg, &event);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Press to the 64th datagram (every universe once, broadcast); spread = first to 64th.
void BM_RigPickTo64Frames(benchmark::State& state) {
  Window w;
  if (w.dialog->Output().UniverseCount() != kUniverses) std::abort();
  int i = 0;
  double spread = 0, worst = 0;
  for (auto _ : state) {
    w.sender.sent = 0;
    const auto start = Clock::now();
    PointerAt(*w.dialog, kRingPoints[i++ & 1]);
    while (w.sender.sent < kUniverses) QCoreApplication::processEvents();
    state.SetIterationTime(
        std::chrono::duration<double>(w.sender.at[kUniverses - 1] - start).count());
    const double span = Ms(w.sender.at[kUniverses - 1] - w.sender.at[0]);
    spread += span;
    worst = std::max(worst, span);
    for (int k = 0; k < 5; ++k) QCoreApplication::processEvents();
  }
  state.counters["mean_spread_ms"] = spread / static_cast<double>(state.iterations());
  state.counters["worst_spread_ms"] = worst;
}
BENCHMARK(BM_RigPickTo64Frames)->Unit(benchmark::kMicrosecond)->UseManualTime();

// Keep-alive on, nothing happening, the event loop idle for 3 s: CPU share of one core and
// frames per second.
void BM_RigKeepAliveIdle(benchmark::State& state) {
  Window w;
  w.dialog->Output().SetKeepAlive(true);
  for (auto _ : state) {
    QTest::qWait(1500);  // settle into the once-a-second rhythm
    const long before = w.sender.sent;
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    QTest::qWait(3000);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    state.counters["cpu_percent"] = 100.0 * (CpuSeconds() - cpu) / wall;
    state.counters["frames_per_s"] = static_cast<double>(w.sender.sent - before) / wall;
  }
}
BENCHMARK(BM_RigKeepAliveIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// A one-second drag around the ring (a pointer move every 4 ms) with the rate limit on: the
// most frames any universe got in that second, and whether every universe's last frame holds
// the colour the sliders show at the end.
void BM_RigDragRateLimited(benchmark::State& state) {
  Window w;
  w.dialog->Output().SetRateLimit(true);
  constexpr auto kMove = std::chrono::milliseconds(4);
  constexpr int kMoves = 250;
  for (auto _ : state) {
    w.sender.perUniverse.clear();
    const Clock::time_point start = Clock::now();
    for (int i = 0; i <= kMoves; ++i) {
      const double a = 2.0 * 3.14159265358979 * i / kMoves + 0.3;
      const QPoint p(150 + static_cast<int>(std::lround(101.0 * std::cos(a))),
                     150 + static_cast<int>(std::lround(101.0 * std::sin(a))));
      PointerAt(*w.dialog, p, i == 0 ? QEvent::MouseButtonPress : QEvent::MouseMove);
      while (Clock::now() < start + kMove * (i + 1)) QCoreApplication::processEvents();
    }
    long most = 0;
    for (const auto& [universe, count] : w.sender.perUniverse) most = std::max(most, count);
    QTest::qWait(200);  // held frames go out
    const Rgbw shown = w.dialog->Output().Values();
    bool lastOut = true;
    for (const auto& [universe, frame] : w.sender.last) {
      // Each fixture is D R G B W: red at the second channel of every fixture.
      for (int f = 0; f < kPerUniverse; ++f) {
        const int at = f * 5;
        lastOut = lastOut && frame.Data[at + 1] == shown[0] && frame.Data[at + 2] == shown[1] &&
                  frame.Data[at + 3] == shown[2];
      }
    }
    state.counters["max_frames_per_s_per_universe"] = static_cast<double>(most);
    state.counters["last_values_on_wire"] = lastOut ? 1 : 0;
  }
}
BENCHMARK(BM_RigDragRateLimited)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace chromaset

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
