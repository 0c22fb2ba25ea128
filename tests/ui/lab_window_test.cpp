// The window and the program on a real link inside the isolated lab: discovery into the menu,
// frames on the wire, the run until Escape and the network failure path.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QTimer>

#include <gtest/gtest.h>

#include "application.h"
#include "lab.h"
#include "sim_node.h"
#include "window_rig.h"

namespace chromaset::test {
namespace {

using lab::Ipv4;
using namespace std::chrono_literals;

// Lets Qt paint until node has received an ArtDmx for `to` whose channels 1..4 are `channels`.
bool FrameArrives(const lab::SimNode& node, const Ipv4& to, std::vector<std::uint8_t> channels) {
  std::vector<std::uint8_t> head = {'A',  'r', 't', '-', 'N', 'e', 't', 0, 0,
                                    0x50, 0,   14,  0,   1,   0,   0,   2, 0};
  head.insert(head.end(), channels.begin(), channels.end());
  for (int i = 0; i < 300; ++i) {
    QTest::qWait(10);
    for (const lab::Datagram& d : node.DmxFrames()) {
      if (d.to == to && d.bytes.size() == 530 &&
          std::equal(head.begin(), head.end(), d.bytes.begin()))
        return true;
    }
  }
  return false;
}

TEST(LabWindow, DiscoveredNodesFillTheMenuAndFramesGoWhereTheMarksSay) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  lab::ReplyConfig other;
  other.esta24 = 0x12;
  other.longName = "Other maker";
  lab::ReplyConfig near;
  near.longName = "Near node";
  near.delay = 150ms;
  lab::SimNode node5(*lab, 5, other);
  lab::SimNode node6(*lab, 6, near);
  ASSERT_TRUE(node5.Ok() && node6.Ok()) << node5.Error() << node6.Error();
  auto scope = lab->EnterController();
  ArtNetLink link;
  CWheelDlg dlg(link);
  InitOptions options;
  options.discoveryWait = 1000ms;
  ASSERT_TRUE(dlg.OnInitDialog(options));
  EXPECT_EQ(node5.PollsSeen(), 1u);
  ASSERT_EQ(dlg.DevicesMenu()->actions().size(), 2);
  EXPECT_EQ(dlg.DevicesMenu()->actions()[1]->text(), "Near node");

  dlg.show();
  dlg.SliderWhite()->setValue(77);
  EXPECT_TRUE(FrameArrives(node5, {255, 255, 255, 255}, {0, 0, 0, 77}));
  dlg.DevicesMenu()->actions()[1]->trigger();  // to the near node alone, by unicast
  Settle();
  node5.ClearReceived();
  node6.ClearReceived();
  dlg.SliderRed()->setValue(128);
  EXPECT_TRUE(FrameArrives(node6, {2, 0, 0, 6}, {128, 0, 0, 77}));
  EXPECT_TRUE(node5.DmxFrames().empty());
  for (const lab::Datagram& d : node6.DmxFrames()) {
    EXPECT_EQ(d.to, (Ipv4{2, 0, 0, 6}));
    EXPECT_EQ(d.from, (Ipv4{2, 0, 0, 1}));
  }
  dlg.reject();
}

TEST(LabWindow, ProgramRunsUntilEscapeOrEndsAtOnceWhenThePortIsTaken) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  lab::SimNode node(*lab, 5);
  auto scope = lab->EnterController();
  InitOptions options;
  options.discoveryWait = 200ms;
  options.showSplash = false;
  {
    ArtNetLink link;
    bool shownWindow = false;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
      if (auto* dlg = qobject_cast<CWheelDlg*>(QApplication::activeModalWidget())) {
        shownWindow = true;
        QTest::keyClick(dlg, Qt::Key_Escape);
      }
    });
    closer.start(50);
    EXPECT_EQ(RunChromaset(link, options), 0);
    EXPECT_TRUE(shownWindow);
    EXPECT_EQ(node.PollsSeen(), 1u);
  }
  // Another program holds port 6454: the message once, no window, nothing on the wire.
  const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{AF_INET, htons(6454), {htonl(INADDR_ANY)}, {}};
  ASSERT_EQ(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  node.ClearReceived();
  QStringList shown;
  options.showFailure = [&](QWidget*, const QString& title, const QString& text) {
    shown << title << text;
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(w->isVisible());
  };
  ArtNetLink link;
  EXPECT_EQ(RunChromaset(link, options), 1);
  ::close(holder);
  EXPECT_EQ(
      shown,
      (QStringList{QCoreApplication::applicationName(),
                   "Connection to network failed!\nCheck if Netforge or Luxforge is running."}));
  QTest::qWait(300);
  EXPECT_TRUE(node.Received().empty());
}

}  // namespace
}  // namespace chromaset::test
