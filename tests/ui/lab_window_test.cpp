// The window on a real link inside the isolated lab: discovery, picking and the Devices menu on
// the wire, the program's run and its network failure path.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "application.h"
#include "lab.h"
#include "lab_sockets.h"
#include "sim_node.h"
#include "window_test_support.h"

namespace chromaset::test {
namespace {

using lab::Datagram;
using lab::Ipv4;
using lab::ReplyConfig;
using lab::SimNode;
using namespace std::chrono_literals;

const Ipv4 kLimitedBroadcast{255, 255, 255, 255};

std::vector<Datagram> FramesTo(const SimNode& node, const Ipv4& to) {
  std::vector<Datagram> out;
  for (const Datagram& d : node.DmxFrames()) {
    if (d.to == to) out.push_back(d);
  }
  return out;
}

bool HasChannels(const Datagram& d, std::uint8_t c1, std::uint8_t c2, std::uint8_t c3,
                 std::uint8_t c4) {
  return d.bytes.size() == 530 && d.bytes[18] == c1 && d.bytes[19] == c2 && d.bytes[20] == c3 &&
         d.bytes[21] == c4;
}

// Lets Qt paint while the nodes receive, until condition holds.
bool PumpUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    Settle();
    if (condition()) return true;
    QTest::qWait(5);
  }
  return condition();
}

TEST(LabWindow, DiscoveryPickAndDevicesOnTheWire) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  // Replies in a fixed order: another maker, an accepted node, an accepted node that reports
  // an address outside the host's network.
  ReplyConfig other;
  other.esta24 = 0x12;
  other.esta25 = 0x34;
  other.longName = "Other maker";
  ReplyConfig near;
  near.longName = "Near node";
  near.delay = 150ms;
  ReplyConfig far;
  far.ip = Ipv4{2, 0, 1, 7};
  far.esta24 = 0x2C;
  far.esta25 = 0x1A;
  far.longName = "Far node";
  far.delay = 300ms;
  SimNode node5(*lab, 5, other);
  SimNode node6(*lab, 6, near);
  SimNode node7(*lab, 7, far);
  ASSERT_TRUE(node5.Ok() && node6.Ok() && node7.Ok()) << node5.Error() << node6.Error();

  auto scope = lab->EnterController();
  ArtNetLink link;
  CWheelDlg dlg(link);
  InitOptions options;
  options.discoveryWait = 1000ms;
  ASSERT_TRUE(dlg.OnInitDialog(options));
  EXPECT_EQ(node5.PollsSeen(), 1u);

  // Exactly the two accepted nodes, in reply order, the far one greyed.
  ASSERT_EQ(dlg.MenuItemCount(), 3);
  EXPECT_EQ(dlg.DeviceCount(), 2);
  QAction* all = ItemAt(dlg, 0);
  QAction* nearItem = ItemAt(dlg, 1);
  QAction* farItem = ItemAt(dlg, 2);
  EXPECT_EQ(nearItem->text(), "Near node");
  EXPECT_TRUE(nearItem->isEnabled());
  EXPECT_EQ(farItem->text(), "Far node");
  EXPECT_FALSE(farItem->isEnabled());

  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.SliderWhite()->setValue(77);
  ASSERT_TRUE(PumpUntil([&] {
    const auto frames = FramesTo(node6, kLimitedBroadcast);
    return !frames.empty() && HasChannels(frames.back(), 0, 0, 0, 77);
  }));

  // A press at wheel point (251, 150): every node gets 255, 0, 0 and the White from before.
  node5.ClearReceived();
  node6.ClearReceived();
  node7.ClearReceived();
  const QPoint p = WheelToDialog(dlg, {251, 150});
  SendMouse(&dlg, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  for (SimNode* node : {&node5, &node6, &node7}) {
    EXPECT_TRUE(PumpUntil([&] {
      const auto frames = FramesTo(*node, kLimitedBroadcast);
      return frames.size() >= 3 && HasChannels(frames.back(), 255, 0, 0, 77);
    })) << "node "
        << node->Host();
  }

  // Ticking the near node: output goes to it alone, by unicast.
  Choose(nearItem);
  EXPECT_FALSE(all->isChecked());
  Settle();
  QTest::qWait(100);
  node5.ClearReceived();
  node6.ClearReceived();
  node7.ClearReceived();
  dlg.SliderRed()->setValue(128);
  ASSERT_TRUE(PumpUntil([&] {
    const auto frames = FramesTo(node6, Ipv4{2, 0, 0, 6});
    return !frames.empty() && HasChannels(frames.back(), 128, 0, 0, 77);
  }));
  QTest::qWait(200);
  EXPECT_TRUE(node5.DmxFrames().empty());
  EXPECT_TRUE(node7.DmxFrames().empty());
  EXPECT_TRUE(FramesTo(node6, kLimitedBroadcast).empty());
  for (const Datagram& d : node6.DmxFrames()) EXPECT_EQ(d.from, (Ipv4{2, 0, 0, 1}));

  // "ALL (Broadcast)" clears the tick and everyone hears the frame again.
  Choose(all);
  EXPECT_FALSE(nearItem->isChecked());
  node5.ClearReceived();
  dlg.SliderBlue()->setValue(5);
  EXPECT_TRUE(PumpUntil([&] {
    const auto frames = FramesTo(node5, kLimitedBroadcast);
    return !frames.empty() && HasChannels(frames.back(), 128, 0, 5, 77);
  }));
  dlg.reject();
}

TEST(LabWindow, ProgramRunsUntilEscapeAndExitsWithZero) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  auto scope = lab->EnterController();
  ArtNetLink link;
  InitOptions options;
  options.discoveryWait = 200ms;
  options.showSplash = false;
  bool sawWindow = false;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto* dlg = qobject_cast<CWheelDlg*>(QApplication::activeModalWidget())) {
      sawWindow = true;
      QTest::keyClick(dlg, Qt::Key_Escape);
    }
  });
  closer.start(50);
  EXPECT_EQ(RunChromaset(link, options), 0);
  EXPECT_TRUE(sawWindow);
  EXPECT_EQ(node.PollsSeen(), 1u);
}

TEST(LabWindow, NetworkFailureShowsTheMessageOnceAndExitsWithOne) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  auto scope = lab->EnterController();
  // Another program holds port 6454.
  const lab::ScopedFd holder(lab::OpenArtNetSocket(6454));
  ASSERT_GE(holder.get(), 0);

  ArtNetLink link;
  int shown = 0;
  QString title;
  QString text;
  bool windowVisible = false;
  InitOptions options;
  options.discoveryWait = 200ms;
  options.showFailure = [&](QWidget*, const QString& t, const QString& m) {
    ++shown;
    title = t;
    text = m;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<CWheelDlg*>(w) != nullptr && w->isVisible()) windowVisible = true;
    }
  };
  EXPECT_EQ(RunChromaset(link, options), 1);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(title, QCoreApplication::applicationName());
  EXPECT_EQ(text, "Connection to network failed!\nCheck if Netforge or Luxforge is running.");
  EXPECT_FALSE(windowVisible);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(qobject_cast<CWheelDlg*>(w) != nullptr && w->isVisible());
  }
  // No poll and no frame left the host.
  QTest::qWait(300);
  EXPECT_EQ(node.PollsSeen(), 0u);
  EXPECT_TRUE(node.DmxFrames().empty());
}

}  // namespace
}  // namespace chromaset::test
