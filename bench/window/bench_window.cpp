// Pick latency of the window, in-process and offscreen: from a press on the hue ring to the
// third ArtDmx handed to the sender (broadcast target), and its parts: the marker, the picture
// hand-over, the three slider repaints and the three sends. The sender assembles each ArtDmx
// as the link does but opens no socket (bench_net measures sendto itself). Also the frame rate
// of a drag around the ring with the 44 frames/s limit off and on, and a search keystroke in the
// add dialog's fixture library.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>
#include <QTreeView>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "artnet_link.h"
#include "artnet_packets.h"
#include "dmx_output.h"
#include "library_loader.h"
#include "library_picker.h"
#include "wheel_dlg.h"
#include "wheel_image.h"

namespace chromaset {
namespace {

class PacketSender : public ArtDmxSender {
 public:
  bool SendArtSync() override { return true; }
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& /*destination*/) override {
    const std::size_t size = BuildArtDmx(*frame, m_buffer, sizeof m_buffer);
    benchmark::DoNotOptimize(m_buffer);
    ++sent;
    sentAt = std::chrono::steady_clock::now();
    return size != 0;
  }
  long sent = 0;
  std::chrono::steady_clock::time_point sentAt;  // of the latest datagram

 private:
  std::uint8_t m_buffer[kPacketBufferSize] = {};
};

// Counts slider paints, for the repaint benchmark.
class PaintCounter : public QObject {
 public:
  long paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

struct Rig {
  Rig() {
    dialog = std::make_unique<CWheelDlg>(sender, table, local);
    InitOptions options;
    options.discoveryWait = std::chrono::milliseconds(0);
    options.showSplash = false;
    dialog->OnInitDialog(options);
    dialog->show();
    if (!QTest::qWaitForWindowExposed(dialog.get())) std::abort();
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }
  PacketSender sender;
  NodeTable table;
  LocalAddressTable local{};
  std::unique_ptr<CWheelDlg> dialog;
};

// Two ring points of different colours, so every pick changes the sliders.
const QPoint kRingPoints[2] = {QPoint(251, 150), QPoint(150, 251)};

// A left-button pointer event at a point of the wheel picture.
void PointerAt(CWheelDlg& dlg, QPoint wheelPoint, QEvent::Type type = QEvent::MouseButtonPress) {
  const QPoint p = dlg.WheelPicture()->mapTo(&dlg, wheelPoint);
  QMouseEvent event(type, QPointF(p), QPointF(dlg.mapToGlobal(p)), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&dlg, &event);
}

// From a pick on the ring to its third datagram, read off the sender's clock: what the window
// does in the same event-loop pass after that datagram (the value fields following, the flush
// to the screen) is not part of it, and is finished before the next pick, as it is between
// the pointer moves of a real drag. BM_PickCycle times whole passes.
void BM_PickToThirdDatagram(benchmark::State& state) {
  Rig rig;
  int i = 0;
  for (auto _ : state) {
    const long target = rig.sender.sent + 3;
    const auto start = std::chrono::steady_clock::now();
    PointerAt(*rig.dialog, kRingPoints[i++ & 1]);
    while (rig.sender.sent < target) QCoreApplication::processEvents();
    state.SetIterationTime(std::chrono::duration<double>(rig.sender.sentAt - start).count());
    for (int k = 0; k < 3; ++k) QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_PickToThirdDatagram)->Unit(benchmark::kMicrosecond)->UseManualTime();

// Back-to-back picks: each one's timing also holds the previous one's follow-up work.
void BM_PickCycle(benchmark::State& state) {
  Rig rig;
  int i = 0;
  for (auto _ : state) {
    const long target = rig.sender.sent + 3;
    PointerAt(*rig.dialog, kRingPoints[i++ & 1]);
    while (rig.sender.sent < target) QCoreApplication::processEvents();
  }
  QCoreApplication::processEvents();
}
BENCHMARK(BM_PickCycle)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PickStep1_Marker(benchmark::State& state) {
  auto wheel = std::make_unique<WheelImage>();
  wheel->BuildWheel(nullptr);
  int i = 0;
  for (auto _ : state) {
    const QPoint p = kRingPoints[i++ & 1];
    benchmark::DoNotOptimize(wheel->DrawMarker(p.x(), p.y()));
  }
}
BENCHMARK(BM_PickStep1_Marker)->Unit(benchmark::kMicrosecond);

void BM_PickStep2_ImageToPixmap(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) rig.dialog->ShowWheel();
  QCoreApplication::processEvents();
}
BENCHMARK(BM_PickStep2_ImageToPixmap)->Unit(benchmark::kMicrosecond);

void BM_PickStep3_ThreeSliderRepaints(benchmark::State& state) {
  Rig rig;
  PaintCounter counter;
  QSlider* sliders[3] = {rig.dialog->SliderRed(), rig.dialog->SliderGreen(),
                         rig.dialog->SliderBlue()};
  for (QSlider* s : sliders) s->installEventFilter(&counter);
  int v = 0;
  for (auto _ : state) {
    const long target = counter.paints + 3;
    v = (v + 37) & 0xFF;
    for (QSlider* s : sliders) {
      s->setValue(v);
      s->update();
    }
    while (counter.paints < target) QCoreApplication::processEvents();
  }
  for (QSlider* s : sliders) s->removeEventFilter(&counter);
}
BENCHMARK(BM_PickStep3_ThreeSliderRepaints)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PickStep4_ThreeSends(benchmark::State& state) {
  Rig rig;
  for (auto _ : state) {
    rig.dialog->SendToTargets();
    rig.dialog->SendToTargets();
    rig.dialog->SendToTargets();
  }
}
BENCHMARK(BM_PickStep4_ThreeSends)->Unit(benchmark::kMicrosecond);

// A one-second drag once around the ring, one pointer move every 4 ms (a 250 Hz mouse), the
// event loop running between moves as in the real window; counts the frames handed to the
// sender (broadcast: every frame reaches every node) during that second. Arg: rate limit.
void BM_DragRate(benchmark::State& state) {
  using Clock = std::chrono::steady_clock;
  Rig rig;
  rig.dialog->Output().SetRateLimit(state.range(0) != 0);
  constexpr auto kMove = std::chrono::milliseconds(4);
  constexpr int kMoves = 250;
  long frames = 0;
  long drags = 0;
  for (auto _ : state) {
    const long before = rig.sender.sent;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i <= kMoves; ++i) {
      const double a = 2.0 * 3.14159265358979 * i / kMoves;
      const QPoint p(150 + static_cast<int>(std::lround(101.0 * std::cos(a))),
                     150 + static_cast<int>(std::lround(101.0 * std::sin(a))));
      PointerAt(*rig.dialog, p, i == 0 ? QEvent::MouseButtonPress : QEvent::MouseMove);
      while (Clock::now() < start + kMove * (i + 1)) QCoreApplication::processEvents();
    }
    frames += rig.sender.sent - before;
    ++drags;
    PointerAt(*rig.dialog, QPoint(251, 150), QEvent::MouseButtonRelease);
    // Held frames go out after the drag, outside the count.
    const Clock::time_point settle = Clock::now() + std::chrono::milliseconds(100);
    while (Clock::now() < settle) QCoreApplication::processEvents();
  }
  state.counters["frames_per_s"] = static_cast<double>(frames) / static_cast<double>(drags);
}
BENCHMARK(BM_DragRate)->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The add dialog's search over the installed library: each keystroke of "cameo flat pro" (and
// the empty field, the whole library) filters the tree and repaints it. The figure is the
// "keystroke" counter: seconds per keystroke.
void BM_LibraryKeystroke(benchmark::State& state) {
  const QString installed = QStringLiteral("/usr/share/qlcplus/fixtures");
  if (!QDir(installed).exists()) {
    state.SkipWithError("skipped: /usr/share/qlcplus/fixtures is missing (install qlcplus-data)");
    return;
  }
  LibraryLoader loader({installed});
  LibraryPicker picker(loader);
  picker.resize(400, 420);
  picker.show();
  loader.Wait();
  QCoreApplication::processEvents();
  const QString typed = QStringLiteral("cameo flat pro");
  for (auto _ : state) {
    for (qsizetype length = 0; length <= typed.size(); ++length) {
      picker.SearchField()->setText(typed.left(length));
      picker.Tree()->viewport()->repaint();
    }
  }
  state.counters["keystroke"] =
      benchmark::Counter(static_cast<double>(state.iterations() * (typed.size() + 1)),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LibraryKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

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
