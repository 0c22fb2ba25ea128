// Output follows slider paints: every paint sends the whole frame to every target, a value
// change alone sends nothing, and each handler writes only its own channels.
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include "window_test_support.h"

namespace chromaset::test {
namespace {

const Ipv4Bytes kBroadcast{255, 255, 255, 255};

TEST(Sliders, StartStateAndFirstPaintsSendZeros) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  for (QSlider* s : {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue(), dlg.SliderWhite()}) {
    EXPECT_EQ(s->minimum(), 0);
    EXPECT_EQ(s->maximum(), 255);
    EXPECT_EQ(s->value(), 0);
  }
  // Showing the window painted each slider at least once; each paint sent the zero frame.
  ASSERT_GE(rig.sender.sent.size(), 4u);
  for (const SentFrame& f : rig.sender.sent) {
    EXPECT_EQ(f.destination, kBroadcast);
    EXPECT_EQ(f.length, 512);
    EXPECT_EQ(f.channels, (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
    EXPECT_TRUE(f.restZero);
  }
}

TEST(Sliders, NothingIsSentBeforeTheMenuExists) {
  RecordingSender sender;
  NodeTable table;
  LocalAddressTable local{};
  CWheelDlg dlg(sender, table, local);
  // Painting the sliders of a dialog whose initialisation has not run sends nothing.
  dlg.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.SliderRed()->repaint();
  Settle();
  EXPECT_TRUE(sender.sent.empty());
}

TEST(Sliders, EveryPaintSendsAndValueChangesAloneDoNot) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  PaintCounter counter;
  dlg.SliderRed()->installEventFilter(&counter);

  // Repaints without a change of position send the same frame again, once per paint.
  rig.sender.sent.clear();
  dlg.SliderRed()->repaint();
  dlg.SliderRed()->repaint();
  EXPECT_EQ(counter.paints, 2);
  EXPECT_EQ(rig.sender.sent.size(), 2u);

  // A new position with no paint yet: nothing sent, the frame still holds the old value.
  rig.sender.sent.clear();
  dlg.SliderRed()->setValue(255);
  EXPECT_TRUE(rig.sender.sent.empty());
  EXPECT_EQ(dlg.Frame().Data[0], 0);
  // The paint that follows carries it; 255 fits the channel byte.
  Settle();
  ASSERT_FALSE(rig.sender.sent.empty());
  EXPECT_EQ(rig.sender.sent.back().channels[0], 255);
  EXPECT_EQ(static_cast<int>(rig.sender.sent.size()), counter.paints - 2);
  dlg.SliderRed()->removeEventFilter(&counter);
}

TEST(Sliders, HandlersWriteOnlyTheirOwnChannels) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  PaintCounter hold(/*swallow=*/true);

  // Colour sliders moved while they cannot paint: a White paint sends the old colours.
  dlg.SliderRed()->installEventFilter(&hold);
  dlg.SliderGreen()->installEventFilter(&hold);
  dlg.SliderRed()->setValue(10);
  dlg.SliderGreen()->setValue(20);
  dlg.SliderWhite()->setValue(200);
  rig.sender.sent.clear();
  Settle();
  ASSERT_FALSE(rig.sender.sent.empty());
  EXPECT_EQ(rig.sender.sent.back().channels, (std::array<std::uint8_t, 4>{0, 0, 0, 200}));

  // A paint of Blue alone re-reads Red and Green too, and keeps White.
  dlg.SliderBlue()->setValue(30);
  rig.sender.sent.clear();
  dlg.SliderBlue()->repaint();
  ASSERT_EQ(rig.sender.sent.size(), 1u);
  EXPECT_EQ(rig.sender.sent[0].channels, (std::array<std::uint8_t, 4>{10, 20, 30, 200}));
  EXPECT_TRUE(rig.sender.sent[0].restZero);
  dlg.SliderRed()->removeEventFilter(&hold);
  dlg.SliderGreen()->removeEventFilter(&hold);
}

}  // namespace
}  // namespace chromaset::test
