// The program on a real link inside the isolated lab: with no settings file it polls once (also
// past the time routing would poll again), lists the node that answered, sends by broadcast,
// then by unicast to the ticked node, nothing else (no ArtSync), and ends with 0 on Escape;
// "Search again" polls on the link and lists a node that answers only then. (The network failure
// path is checked on the real binary: real_binary_test.)
#include "rig.h"

namespace chromaset::test {

// Whether node received an ArtDmx of universe 0 from the controller to `to`, channels 1..4 as
// given and the rest 0.
bool Got(const lab::SimNode& node, const lab::Ipv4& to, std::vector<std::uint8_t> channels) {
  channels.resize(512);
  for (const lab::Datagram& d : node.DmxFrames()) {
    if (d.to == to && d.from == lab::HostAddress(1) && d.bytes == MakeArtDmx(channels.data(), 512))
      return true;
  }
  return false;
}

TEST(LabWindow, ProgramPollsListsSendsAndEndsOnEscape) {
  CHROMASET_LAB_OR_SKIP(lab, {6});
  lab::ReplyConfig config;
  config.longName = "Node six";
  config.ports = {OutputPorts(0, 0, 0)};  // says what it outputs: nothing changes for that
  lab::SimNode node(*lab, 6, config);
  auto scope = lab->EnterController();
  int ticks = 0;
  QTimer driver;  // 3.2 s on, the broadcast of the first paints there: tick the node, send, end
  QObject::connect(&driver, &QTimer::timeout, [&] {
    auto* dlg = qobject_cast<CWheelDlg*>(QApplication::activeModalWidget());
    if (dlg == nullptr ||
        ((!Got(node, lab::kBroadcast, {0, 0, 0, 0}) || ticks < 160) && ++ticks < 400))
      return;
    QAction* item = dlg->DevicesMenu()->actions().value(1);
    EXPECT_TRUE(item != nullptr && item->text() == "Node six");
    if (item != nullptr) item->trigger();
    dlg->SliderRed()->setValue(128);
    dlg->SliderRed()->repaint();
    QTest::keyClick(dlg, Qt::Key_Escape);
  });
  driver.start(20);
  ArtNetLink link;
  QTemporaryDir scratch;  // a first start: no settings file, no rig.json
  SettingsStore store(scratch.filePath("chromaset.conf"));
  EXPECT_EQ(RunChromaset(link, {500ms, {}, /*showSplash=*/false}, &store), 0);
  EXPECT_EQ(node.PollsSeen(), 1u);
  EXPECT_TRUE(node.WaitFor([&] { return Got(node, {2, 0, 0, 6}, {128, 0, 0, 0}); }));
  // Nothing else: the frames of the one RGBW fixture at 0:0:0, address 1, as before rigs.
  std::vector<std::uint8_t> black(512), red(512);
  red[0] = 128;
  for (const lab::Datagram& d : node.DmxFrames())
    EXPECT_TRUE(d.bytes == MakeArtDmx(black.data(), 512) || d.bytes == MakeArtDmx(red.data(), 512));
  EXPECT_EQ(node.Received().size(), node.PollsSeen() + node.DmxFrames().size());
}

TEST(LabWindow, SearchAgainPollsOnTheLink) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  lab::ReplyConfig silent;
  silent.answer = false;
  lab::SimNode early(*lab, 5), late(*lab, 6, silent);
  auto scope = lab->EnterController();
  ArtNetLink link;
  CWheelDlg dlg(link);
  ASSERT_TRUE(dlg.OnInitDialog({300ms, {}, /*showSplash=*/false, false, 500ms}));
  ASSERT_EQ(dlg.MenuItemCount(), 2);
  late.SetReplyConfig({});
  dlg.Devices().SearchItem()->trigger();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.Devices().Searching(); }));
  EXPECT_EQ(late.PollsSeen(), 2u);
  EXPECT_EQ(dlg.MenuItemCount(), 3);
}

}  // namespace chromaset::test
