// The Devices menu and the output: which nodes are listed and how, which marks choose which
// targets, and what every slider paint sends.
#include <gtest/gtest.h>

#include <numeric>

#include "window_rig.h"

namespace chromaset::test {
namespace {

using Targets = std::vector<Ipv4Bytes>;
const Ipv4Bytes kBroadcast{255, 255, 255, 255};

// Length, Net, SubUni, channels 1..4 and the sum of channels 5..512.
std::vector<int> Summary(const DmxFrame& f) {
  return {f.Length,  f.Net,     f.SubUni,  f.Data[0],
          f.Data[1], f.Data[2], f.Data[3], std::accumulate(f.Data + 4, f.Data + 512, 0)};
}

// Where one paint of the Red slider sends the frame.
Targets PaintTargets(Rig& rig) {
  rig.sender.sent.clear();
  rig.dlg.SliderRed()->repaint();
  Targets out;
  for (const Sent& s : rig.sender.sent) out.push_back(s.to);
  return out;
}

TEST(DevicesMenu, ListsAcceptedNodesInAnswerOrderAsTheyWereAtBuild) {
  Rig rig({Node({2, 0, 0, 20}, "Other maker", 0x12, 0x34),
           Node({2, 0, 0, 21}, "Bar & Grill", 0x1A, 0x2C, "a<b"),
           Node({2, 0, 0, 22}, "Half a code", 0x1A, 0x1A),
           Node({2, 0, 0, 23}, std::string(70, 'L'), 0x2C, 0x1A), Node({2, 0, 0, 24}, "Caf\xE9")});
  ASSERT_EQ(rig.dlg.DevicesMenu()->actions().size(), 4);
  EXPECT_EQ(rig.dlg.DeviceCount(), 3);
  EXPECT_EQ(rig.Item(0)->text(), "ALL (Broadcast)");
  EXPECT_TRUE(rig.Item(0)->isChecked());
  EXPECT_EQ(rig.Item(1)->text(), "Bar && Grill");  // '&' shows literally
  EXPECT_EQ(rig.Item(1)->toolTip(), "<qt>2.0.0.21<br>a&lt;b</qt>");
  EXPECT_TRUE(rig.dlg.DevicesMenu()->toolTipsVisible());
  EXPECT_EQ(rig.Item(2)->text(), QString(64, 'L'));                // a full name ends at its field
  EXPECT_EQ(rig.Item(3)->text(), QString::fromUtf8("Caf\u00e9"));  // bytes are Latin-1
  // A renamed node and a late one change nothing; an item sends to the address seen at build.
  Answer(*rig.table, Node({2, 0, 0, 21}, "Renamed"));
  Answer(*rig.table, Node({2, 0, 0, 25}, "Late"));
  EXPECT_EQ(rig.Item(1)->text(), "Bar && Grill");
  EXPECT_EQ(rig.dlg.DevicesMenu()->actions().size(), 4);
  rig.Item(1)->trigger();
  rig.table.emplace();
  Answer(*rig.table, Node({2, 0, 0, 99}, "Intruder"));
  EXPECT_EQ(PaintTargets(rig), (Targets{{2, 0, 0, 21}}));
}

TEST(DevicesMenu, OnlyNodesOnTheHostsNetworkWithAUsableAddressAreEnabled) {
  const struct {
    Ipv4Bytes local, node;
    bool enabled;
  } cases[] = {{{10, 20, 30, 1}, {10, 20, 30, 5}, true},
               {{10, 20, 30, 1}, {11, 20, 30, 5}, false},
               {{10, 20, 30, 1}, {10, 21, 30, 5}, false},
               {{10, 20, 30, 1}, {10, 20, 31, 5}, false},
               {{0, 0, 0, 1}, {0, 0, 0, 6}, false},
               {{1, 0, 0, 1}, {1, 0, 0, 6}, true},
               {{127, 0, 0, 1}, {127, 0, 0, 5}, false},
               {{128, 0, 0, 1}, {128, 0, 0, 5}, true},
               {{223, 0, 0, 1}, {223, 0, 0, 7}, true},
               {{224, 0, 0, 1}, {224, 0, 0, 7}, false},
               {{255, 255, 255, 1}, {255, 255, 255, 255}, false}};
  for (const auto& c : cases) {
    Rig rig({Node(c.node)}, c.local);
    ASSERT_NE(rig.Item(1), nullptr);
    EXPECT_EQ(rig.Item(1)->isEnabled(), c.enabled) << int(c.node[0]) << "." << int(c.node[1]);
  }
}

TEST(DevicesMenu, MarksChooseTheTargetsInMenuOrder) {
  // Nine accepted nodes, the second on another network (greyed).
  std::vector<PollReplyFields> nodes;
  for (std::uint8_t h = 101; h <= 109; ++h)
    nodes.push_back(Node({2, 0, std::uint8_t(h == 102 ? 7 : 0), h}));
  Rig rig(nodes);
  CWheelDlg& dlg = rig.dlg;
  EXPECT_EQ(dlg.DeviceCount(), 9);
  ASSERT_EQ(dlg.DevicesMenu()->actions().size(), 9);  // at most eight device items
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(rig.Item(k)->data().toInt(), 130 + k);

  rig.Item(0)->trigger();  // choosing the checked broadcast item keeps it checked
  EXPECT_TRUE(rig.Item(0)->isChecked());
  EXPECT_EQ(PaintTargets(rig), Targets{kBroadcast});
  rig.Item(1)->trigger();  // a device instead of broadcast
  EXPECT_FALSE(rig.Item(0)->isChecked());
  EXPECT_TRUE(rig.Item(1)->isChecked());
  rig.Item(1)->trigger();  // unticking the last device: nothing is sent
  EXPECT_FALSE(rig.Item(1)->isChecked() || rig.Item(0)->isChecked());
  EXPECT_TRUE(PaintTargets(rig).empty());

  // Ticked in reverse, the greyed one marked by hand, the ninth (no item) asked for too.
  for (int k = 8; k >= 3; --k) rig.Item(k)->trigger();
  dlg.OnDevice(2);
  dlg.OnDevice(9);
  EXPECT_TRUE(rig.Item(2)->isChecked());
  EXPECT_EQ(PaintTargets(rig), (Targets{{2, 0, 0, 103},
                                        {2, 0, 0, 104},
                                        {2, 0, 0, 105},
                                        {2, 0, 0, 106},
                                        {2, 0, 0, 107},
                                        {2, 0, 0, 108}}));
  rig.Item(0)->trigger();  // broadcast clears every device mark
  for (int k = 1; k <= 8; ++k) EXPECT_FALSE(rig.Item(k)->isChecked()) << k;
  EXPECT_EQ(PaintTargets(rig), Targets{kBroadcast});
}

TEST(Output, EveryPaintSendsTheWholeFrameAndNothingElseDoes) {
  {  // before the Devices menu exists, paints send nothing
    RecordingSender sender;
    NodeTable table;
    LocalAddressTable locals{};
    CWheelDlg dlg(sender, table, locals);
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    dlg.SliderRed()->repaint();
    EXPECT_TRUE(sender.sent.empty());
  }
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  ASSERT_GE(rig.sender.sent.size(), 4u);  // showing painted each slider: universe 0, all zero
  for (QSlider* s : {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue(), dlg.SliderWhite()}) {
    EXPECT_EQ((std::vector{s->minimum(), s->maximum(), s->value()}), (std::vector{0, 255, 0}));
  }
  for (const Sent& s : rig.sender.sent) {
    EXPECT_EQ(s.to, kBroadcast);
    EXPECT_EQ(Summary(s.frame), (std::vector{512, 0, 0, 0, 0, 0, 0, 0}));
  }
  dlg.SliderRed()->setValue(10);
  dlg.SliderGreen()->setValue(20);
  dlg.SliderBlue()->setValue(30);
  dlg.SliderWhite()->setValue(255);
  Settle();
  for (QSlider* s : {dlg.SliderWhite(), dlg.SliderBlue()}) {  // one paint, one frame
    rig.sender.sent.clear();
    s->repaint();
    ASSERT_EQ(rig.sender.sent.size(), 1u);
    EXPECT_EQ(Summary(rig.sender.sent[0].frame), (std::vector{512, 0, 0, 10, 20, 30, 255, 0}));
  }
  rig.sender.sent.clear();  // a new position alone sends nothing; its paint carries it
  dlg.SliderRed()->setValue(5);
  EXPECT_TRUE(rig.sender.sent.empty());
  EXPECT_EQ(dlg.Frame().Data[0], 10);
  Settle();
  ASSERT_FALSE(rig.sender.sent.empty());
  EXPECT_EQ(rig.sender.sent.back().frame.Data[0], 5);
}

}  // namespace
}  // namespace chromaset::test
