// The program on a real link inside the isolated lab: it polls once, lists the node that
// answered, sends by broadcast, then by unicast to the ticked node, and ends with 0 on Escape.
// (Its network failure path is checked on the real binary: real_failure_test.)
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "application.h"
#include "lab.h"
#include "sim_node.h"
#include "wheel_dlg.h"

namespace chromaset::test {
namespace {

// An ArtDmx of universe 0 from the controller to `to`, channels 1..4 as given, the rest 0.
bool Got(const lab::SimNode& node, const lab::Ipv4& to, std::vector<std::uint8_t> channels) {
  std::vector<std::uint8_t> bytes = {'A',  'r', 't', '-', 'N', 'e', 't', 0, 0,
                                     0x50, 0,   14,  0,   1,   0,   0,   2, 0};
  bytes.insert(bytes.end(), channels.begin(), channels.end());
  bytes.resize(530);
  for (const lab::Datagram& d : node.DmxFrames()) {
    if (d.to == to && d.from == lab::Ipv4{2, 0, 0, 1} && d.bytes == bytes) return true;
  }
  return false;
}

TEST(LabWindow, ProgramPollsListsSendsAndEndsOnEscape) {
  CHROMASET_LAB_OR_SKIP(lab, {6});
  lab::ReplyConfig config;
  config.longName = "Node six";
  lab::SimNode node(*lab, 6, config);
  ASSERT_TRUE(node.Ok()) << node.Error();
  auto scope = lab->EnterController();
  const InitOptions options{std::chrono::milliseconds(500), {}, /*showSplash=*/false};
  int ticks = 0;
  QTimer driver;  // once the broadcast of the first paints is there: tick the node, send, end
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* dlg = qobject_cast<CWheelDlg*>(QApplication::activeModalWidget());
    if (dlg == nullptr || (!Got(node, {255, 255, 255, 255}, {0, 0, 0, 0}) && ++ticks < 250)) return;
    QAction* item = dlg->DevicesMenu()->actions().value(1);
    EXPECT_TRUE(item != nullptr && item->text() == "Node six");
    if (item != nullptr) item->trigger();
    dlg->SliderRed()->setValue(128);
    dlg->SliderRed()->repaint();
    QTest::keyClick(dlg, Qt::Key_Escape);
  });
  driver.start(20);
  ArtNetLink link;
  EXPECT_EQ(RunChromaset(link, options), 0);
  EXPECT_EQ(node.PollsSeen(), 1u);
  EXPECT_TRUE(node.WaitFor([&] { return Got(node, {2, 0, 0, 6}, {128, 0, 0, 0}); }));
}

}  // namespace
}  // namespace chromaset::test
