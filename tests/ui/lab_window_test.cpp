// The program on a real link inside the isolated lab: it polls once, lists what answered, sends
// by broadcast and then to the ticked node, ends with 0 on Escape; with port 6454 taken it shows
// the message once, opens no window, sends nothing and ends with 1.
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

using namespace std::chrono_literals;

// An ArtDmx of universe 0 to `to` with channels 1..4 as given, the rest 0.
bool Got(const lab::SimNode& node, const lab::Ipv4& to, std::vector<std::uint8_t> channels) {
  std::vector<std::uint8_t> bytes = {'A',  'r', 't', '-', 'N', 'e', 't', 0, 0,
                                     0x50, 0,   14,  0,   1,   0,   0,   2, 0};
  bytes.insert(bytes.end(), channels.begin(), channels.end());
  bytes.resize(530);
  for (const lab::Datagram& d : node.DmxFrames()) {
    if (d.to == to && d.bytes == bytes) return true;
  }
  return false;
}

TEST(LabWindow, ProgramRunsOnTheLinkAndFailsCleanlyWhenThePortIsTaken) {
  CHROMASET_LAB_OR_SKIP(lab, {6});
  lab::ReplyConfig config;
  config.longName = "Node six";
  config.delay = 100ms;
  lab::SimNode node(*lab, 6, config);
  ASSERT_TRUE(node.Ok()) << node.Error();
  auto scope = lab->EnterController();
  InitOptions options;
  options.discoveryWait = 500ms;
  options.showSplash = false;
  int step = 0;
  int ticks = 0;
  QTimer driver;  // runs the open window: broadcast first, then the node alone
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* dlg = qobject_cast<CWheelDlg*>(QApplication::activeModalWidget());
    if (dlg == nullptr) return;
    if (step == 0 && Got(node, {255, 255, 255, 255}, {0, 0, 0, 0})) {
      ASSERT_EQ(dlg->DevicesMenu()->actions().size(), 2);
      EXPECT_EQ(dlg->DevicesMenu()->actions()[1]->text(), "Node six");
      dlg->DevicesMenu()->actions()[1]->trigger();
      dlg->SliderRed()->setValue(128);
      step = 1;
    } else if (step == 1 && Got(node, {2, 0, 0, 6}, {128, 0, 0, 0})) {
      QTest::keyClick(dlg, Qt::Key_Escape);
      step = 2;
    } else if (++ticks > 250) {
      QTest::keyClick(dlg, Qt::Key_Escape);  // give up rather than hang
    }
  });
  driver.start(20);
  {
    ArtNetLink link;
    EXPECT_EQ(RunChromaset(link, options), 0);
  }
  EXPECT_EQ(step, 2);
  EXPECT_EQ(node.PollsSeen(), 1u);
  EXPECT_FALSE(Got(node, {255, 255, 255, 255}, {128, 0, 0, 0}));
  for (const lab::Datagram& d : node.DmxFrames()) EXPECT_EQ(d.from, (lab::Ipv4{2, 0, 0, 1}));

  const int holder = ::socket(AF_INET, SOCK_DGRAM, 0);  // another program on the port
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
  EXPECT_EQ(shown, (QStringList{QCoreApplication::applicationName(),
                                "Connection to network failed!\nCheck if Netforge or Luxforge "
                                "is running."}));
  QTest::qWait(300);
  EXPECT_TRUE(node.Received().empty());
}

}  // namespace
}  // namespace chromaset::test
