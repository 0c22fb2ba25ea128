// The Devices menu and the output: which nodes are listed and how, which marks choose which
// targets, and what every slider paint sends.
#include <gtest/gtest.h>

#include <numeric>

#include "window_rig.h"

namespace chromaset::test {
namespace {

// Where one paint of the Red slider sends the frame.
QStringList PaintTargets(Rig& rig) {
  rig.sender.sent.clear();
  rig.dlg.SliderRed()->repaint();
  QStringList out;
  for (const auto& [to, frame] : rig.sender.sent) {
    out << QString("%1.%2.%3.%4").arg(to[0]).arg(to[1]).arg(to[2]).arg(to[3]);
  }
  return out;
}

QStringList Texts(const Rig& rig) {
  QStringList out;
  for (QAction* item : rig.dlg.DevicesMenu()->actions()) out << item->text();
  return out;
}

TEST(DevicesMenu, ListsAcceptedNodesInAnswerOrderAsTheyWereAtBuild) {
  Rig rig({Node({10, 20, 30, 20}, "Other maker", 0x12, 0x34),
           Node({10, 20, 30, 21}, "Bar & Grill", 0x1A, 0x2C, "a<b"),
           Node({10, 20, 30, 22}, "Half a code", 0x1A, 0x1A),
           Node({11, 20, 30, 23}, std::string(70, 'L'), 0x2C, 0x1A),
           Node({10, 21, 30, 24}, "Caf\xE9"), Node({10, 20, 31, 25})},
          {10, 20, 30, 1});
  const QStringList texts = {"ALL (Broadcast)", "Bar && Grill", QString(64, 'L'),
                             QString::fromUtf8("Caf\u00e9"), "N"};
  EXPECT_EQ(Texts(rig), texts);  // '&' shows literally, a name ends at its field, Latin-1
  EXPECT_EQ(rig.dlg.DeviceCount(), 4);
  EXPECT_TRUE(rig.Item(0)->isChecked());
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(rig.Item(k)->isEnabled(), k == 1) << k;  // same /24
  EXPECT_EQ(rig.Item(1)->toolTip(), "<qt>10.20.30.21<br>a&lt;b</qt>");
  EXPECT_TRUE(rig.dlg.DevicesMenu()->toolTipsVisible());
  // A renamed node and a late one change nothing; an item sends to the address seen at build.
  Answer(*rig.table, Node({10, 20, 30, 21}, "Renamed"));
  Answer(*rig.table, Node({10, 20, 30, 26}, "Late"));
  EXPECT_EQ(Texts(rig), texts);
  rig.Item(1)->trigger();
  rig.table.emplace();
  Answer(*rig.table, Node({10, 20, 30, 99}, "Intruder"));
  EXPECT_EQ(PaintTargets(rig), QStringList{"10.20.30.21"});
  // Addresses no node can have stay greyed even on the host's own network.
  for (Ipv4Bytes node :
       {Ipv4Bytes{0, 0, 0, 6}, {127, 0, 0, 5}, {224, 0, 0, 7}, {255, 255, 255, 9}}) {
    Rig reserved({Node(node)}, {node[0], node[1], node[2], 1});
    EXPECT_FALSE(reserved.Item(1)->isEnabled()) << int(node[0]);
  }
}

TEST(DevicesMenu, MarksChooseTheTargetsInMenuOrder) {
  std::vector<PollReplyFields> nodes;  // nine accepted nodes, the second one greyed
  for (std::uint8_t h = 1; h <= 9; ++h)
    nodes.push_back(Node({2, 0, std::uint8_t(h == 2 ? 7 : 0), h}));
  Rig rig(nodes);
  EXPECT_EQ(rig.dlg.DeviceCount(), 9);
  ASSERT_EQ(rig.dlg.DevicesMenu()->actions().size(), 9);  // at most eight device items
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(rig.Item(k)->data().toInt(), 130 + k);
  rig.Item(0)->trigger();  // choosing the checked broadcast item keeps it checked
  EXPECT_EQ(PaintTargets(rig), QStringList{"255.255.255.255"});
  rig.Item(1)->trigger();  // a device instead of broadcast
  EXPECT_TRUE(rig.Item(1)->isChecked() && !rig.Item(0)->isChecked());
  rig.Item(1)->trigger();  // unticking the last device: nothing is checked, nothing is sent
  EXPECT_FALSE(rig.Item(1)->isChecked() || rig.Item(0)->isChecked());
  EXPECT_TRUE(PaintTargets(rig).empty());
  for (int k = 8; k >= 3; --k) rig.Item(k)->trigger();
  rig.dlg.OnDevice(2);  // a greyed item's mark never counts
  rig.dlg.OnDevice(9);  // nor a node without an item
  EXPECT_TRUE(rig.Item(2)->isChecked());
  EXPECT_EQ(PaintTargets(rig),
            (QStringList{"2.0.0.3", "2.0.0.4", "2.0.0.5", "2.0.0.6", "2.0.0.7", "2.0.0.8"}));
  rig.Item(0)->trigger();  // broadcast clears every device mark
  for (int k = 1; k <= 8; ++k) EXPECT_FALSE(rig.Item(k)->isChecked()) << k;
  EXPECT_EQ(PaintTargets(rig), QStringList{"255.255.255.255"});
}

// Length, Net, SubUni, channels 1..4 and the sum of channels 5..512.
std::vector<int> Summary(const DmxFrame& f) {
  return {f.Length,  f.Net,     f.SubUni,  f.Data[0],
          f.Data[1], f.Data[2], f.Data[3], std::accumulate(f.Data + 4, f.Data + 512, 0)};
}

TEST(Output, EveryPaintSendsTheWholeFrameToUniverseZero) {
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  ASSERT_GE(rig.sender.sent.size(), 4u);  // showing painted each slider
  for (const auto& [to, frame] : rig.sender.sent) {
    EXPECT_EQ(Summary(frame), (std::vector{512, 0, 0, 0, 0, 0, 0, 0}));
  }
  const std::vector<int> rgbw = {10, 20, 30, 255};
  QSlider* const sliders[] = {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue(),
                              dlg.SliderWhite()};
  for (int i = 0; i < 4; ++i) {
    QSlider* s = sliders[i];
    EXPECT_EQ((std::vector{s->minimum(), s->maximum(), s->value()}), (std::vector{0, 255, 0}));
    s->setValue(rgbw[i]);
  }
  Settle();
  for (QSlider* s : {dlg.SliderWhite(), dlg.SliderBlue()}) {  // one paint, one frame
    rig.sender.sent.clear();
    s->repaint();
    ASSERT_EQ(rig.sender.sent.size(), 1u);
    EXPECT_EQ(Summary(rig.sender.sent[0].frame),
              (std::vector{512, 0, 0, rgbw[0], rgbw[1], rgbw[2], rgbw[3], 0}));
  }
}

}  // namespace
}  // namespace chromaset::test
