// Pick latency of the window, in-process and offscreen: from a press on the hue ring to the
// third ArtDmx handed to the sender (broadcast target), and its parts: the marker, the picture
// hand-over, the three slider repaints and the three sends. The sender assembles each ArtDmx
// as the link does but opens no socket (bench_net measures sendto itself).
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "artnet_link.h"
#include "artnet_packets.h"
#include "wheel_dlg.h"
#include "wheel_image.h"

namespace chromaset {
namespace {

class PacketSender : public ArtDmxSender {
 public:
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& /*destination*/) override {
    const std::size_t size = BuildArtDmx(*frame, m_buffer, sizeof m_buffer);
    benchmark::DoNotOptimize(m_buffer);
    ++sent;
    return size != 0;
  }
  long sent = 0;

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

void PressAt(CWheelDlg& dlg, QPoint wheelPoint) {
  const QPoint p = dlg.WheelPicture()->mapTo(&dlg, wheelPoint);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), QPointF(dlg.mapToGlobal(p)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &press);
}

void BM_PickToThirdDatagram(benchmark::State& state) {
  Rig rig;
  int i = 0;
  for (auto _ : state) {
    const long target = rig.sender.sent + 3;
    PressAt(*rig.dialog, kRingPoints[i++ & 1]);
    while (rig.sender.sent < target) QCoreApplication::processEvents();
  }
  // Let stray paints finish outside the timing.
  QCoreApplication::processEvents();
}
BENCHMARK(BM_PickToThirdDatagram)->Unit(benchmark::kMicrosecond)->UseRealTime();

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
