// The output's settings on a real link in the lab: the patch's bytes at a node, keep-alive
// (nothing when off, the frame at least every 1.2 s when on, window hidden) and the rate
// limit's ceiling and trailing frame during a burst.
#include <QApplication>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "lab.h"
#include "sim_node.h"
#include "value_panel.h"
#include "wheel_dlg.h"

namespace chromaset::test {
namespace {

using lab::Datagram;
using lab::SimNode;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The window on a link in the lab controller, after a short discovery, shown.
struct LabWindow {
  explicit LabWindow(const lab::Lab& lab) : scope(lab.EnterController()), dlg(link) {
    InitOptions options;
    options.discoveryWait = 300ms;
    options.showSplash = false;
    EXPECT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    QTest::qWait(100);
  }
  lab::Lab::Scope scope;
  ArtNetLink link;
  CWheelDlg dlg;
};

TEST(LabOutput, PatchBytesAtTheNodeAndKeepAlive) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  ASSERT_TRUE(node.Ok()) << node.Error();
  LabWindow w(*lab);
  w.dlg.Values().Recall({11, 22, 33, 44});
  w.dlg.Output().SetPatch({5, 3, 9, 200});
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const auto frames = node.DmxFrames();
    return !frames.empty() && frames.back().bytes[15] == 5 && frames.back().bytes[17 + 200] == 11;
  }));
  const std::vector<std::uint8_t> bytes = node.DmxFrames().back().bytes;
  ASSERT_EQ(bytes.size(), 530u);
  EXPECT_EQ(bytes[14], 0x39);  // Sub-Net 3, Universe 9
  for (std::size_t ch = 1; ch <= 512; ++ch) {
    const int expected = (ch >= 200 && ch <= 203) ? static_cast<int>(ch - 199) * 11 : 0;
    ASSERT_EQ(bytes[17 + ch], expected) << "channel " << ch;
  }

  // Keep-alive off: an idle window sends nothing.
  node.ClearReceived();
  QTest::qWait(5000);
  EXPECT_TRUE(node.DmxFrames().empty());

  // On: the current frame at least once per 1.2 s, also with the window hidden.
  w.dlg.hide();
  w.dlg.Output().SetKeepAlive(true);
  const auto start = Clock::now();
  QTest::qWait(3500);
  const auto frames = node.DmxFrames();
  ASSERT_GE(frames.size(), 3u);
  auto last = start;
  for (const Datagram& d : frames) {
    EXPECT_LE(d.at - last, 1200ms);
    EXPECT_EQ(d.bytes, bytes);
    last = d.at;
  }
  EXPECT_LE(Clock::now() - last, 1200ms);
  w.dlg.reject();
}

TEST(LabOutput, RateLimitKeepsTheCeilingAndDeliversTheLastValues) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  ASSERT_TRUE(node.Ok()) << node.Error();
  LabWindow w(*lab);
  w.dlg.Output().SetRateLimit(true);
  node.ClearReceived();
  // A drag: 200 new Red values, each painted at once, a millisecond or two apart.
  const auto start = Clock::now();
  for (int i = 1; i <= 200; ++i) {
    w.dlg.SliderRed()->setValue(i);
    w.dlg.SliderRed()->repaint();
    QTest::qWait(1);
  }
  const auto burst = Clock::now() - start;
  ASSERT_TRUE(QTest::qWaitFor([&] {
    const auto frames = node.DmxFrames();
    return !frames.empty() && frames.back().bytes[18] == 200;
  }));
  const auto frames = node.DmxFrames();
  // Without the limit every paint would be a frame; with it no more than 44 per second (plus
  // the first and the trailing one).
  const double seconds = std::chrono::duration<double>(burst).count() + 0.05;
  EXPECT_LE(static_cast<double>(frames.size()), seconds * 44 + 2) << frames.size();
  EXPECT_LT(frames.size(), 200u);
  w.dlg.reject();
}

}  // namespace
}  // namespace chromaset::test
