// The output's new controls over a sender that keeps whole frames: the patch's bytes, typed
// values and colour codes, favourites, and the names a screen reader sees.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <vector>

#include "favourites_bar.h"
#include "output_menu.h"
#include "patch_dialog.h"
#include "value_panel.h"
#include "wheel_dlg.h"

namespace chromaset::test {
namespace {

using Values = std::array<std::uint8_t, 4>;

struct FrameSender : ArtDmxSender {
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes&) override {
    frames.push_back(*frame);
    return true;
  }
  std::vector<DmxFrame> frames;
};

void Pump() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

template <typename T>
T* Named(const QWidget& parent, const QString& name) {
  for (T* w : parent.findChildren<T*>()) {
    if (w->accessibleName() == name) return w;
  }
  return nullptr;
}

// A shown window over a FrameSender with no nodes, its first frames cleared.
struct Window {
  Window() : dlg(sender, nodes, local) {
    InitOptions options;
    options.discoveryWait = std::chrono::milliseconds(0);
    EXPECT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Pump();
    sender.frames.clear();
  }
  FrameSender sender;
  NodeTable nodes;
  LocalAddressTable local{};
  CWheelDlg dlg;
};

TEST(Output, APatchSendsTheColourAtOnceToItsPlaceWithAllElseZero) {
  Window w;
  w.dlg.Values().Recall({10, 20, 30, 40});
  Pump();
  w.sender.frames.clear();
  w.dlg.Output().SetPatch({3, 2, 1, 509});
  ASSERT_EQ(w.sender.frames.size(), 1u);  // at once, no repaint needed
  const DmxFrame& f = w.sender.frames[0];
  EXPECT_EQ(f.Net, 3);
  EXPECT_EQ(f.SubUni, 0x21);
  EXPECT_EQ(f.Length, 512);
  for (std::size_t i = 0; i < kDmxChannels; ++i) {
    ASSERT_EQ(f.Data[i], i >= 508 ? (i - 507) * 10 : 0) << "channel " << i + 1;
  }
  EXPECT_EQ(w.dlg.findChild<QLabel*>("m_outputStatus")->text(),
            QString::fromUtf8("Universe 3:2:1 \u00b7 DMX 509\u2013512"));
  // A slider paint writes to the patched channels only.
  w.dlg.SliderWhite()->setValue(99);
  Pump();
  EXPECT_EQ(w.sender.frames.back().Data[511], 99);
  EXPECT_EQ(w.sender.frames.back().Data[3], 0);
}

TEST(Output, ColourCodesParseOnlyWhole) {
  const std::pair<const char*, RgbCode> good[] = {{"#FF8000", {255, 128, 0}},
                                                  {"ff8000", {255, 128, 0}},
                                                  {"#f80", {255, 136, 0}},
                                                  {" #0a0B0c ", {10, 11, 12}}};
  for (const auto& [text, rgb] : good) EXPECT_EQ(ParseColourCode(text), rgb) << text;
  for (const char* bad : {"", "#", "f80", "#FF80", "#FF80001", "#GG0000", "0xFF80", "#ff 800"}) {
    EXPECT_FALSE(ParseColourCode(bad).has_value()) << bad;
  }
  EXPECT_EQ(FormatColourCode({255, 10, 0}), "#FF0A00");
}

TEST(Output, TypedValuesAndCodesMoveTheSlidersWhichSend) {
  Window w;
  auto* code = Named<QLineEdit>(w.dlg, "Colour code");
  ASSERT_NE(code, nullptr);
  // A bad code is refused whole and marked; nothing moves, nothing is sent.
  code->setText("#12345");
  EXPECT_FALSE(w.dlg.Values().ApplyColourCode());
  Pump();
  EXPECT_TRUE(code->property("invalid").toBool());
  EXPECT_EQ(w.dlg.Values().Current(), (Values{0, 0, 0, 0}));
  EXPECT_TRUE(w.sender.frames.empty());
  // A good one moves Red, Green and Blue; their repaints send it.
  code->setText("#102030");
  QTest::keyClick(code, Qt::Key_Return);  // applies it and leaves the window open
  EXPECT_TRUE(w.dlg.isVisible());
  EXPECT_FALSE(code->property("invalid").toBool());
  Pump();
  ASSERT_FALSE(w.sender.frames.empty());
  EXPECT_EQ(w.sender.frames.back().Data[2], 0x30);
  // A typed White moves its slider; a slider's change shows in its field and the code, and
  // each send is a slider paint (no loop, no extra send).
  auto* white = Named<QSpinBox>(w.dlg, "White value");
  white->selectAll();
  QTest::keyClicks(white, "200");
  EXPECT_EQ(w.dlg.SliderWhite()->value(), 0);  // not while typing
  QTest::keyClick(white, Qt::Key_Enter);
  EXPECT_EQ(w.dlg.SliderWhite()->value(), 200);
  EXPECT_TRUE(w.dlg.isVisible());
  w.dlg.SliderRed()->setValue(255);
  EXPECT_EQ(Named<QSpinBox>(w.dlg, "Red value")->value(), 255);
  EXPECT_EQ(code->text(), "#FF2030");
  w.sender.frames.clear();
  Pump();
  ASSERT_EQ(w.sender.frames.size(), 2u);  // one paint each of White and Red
  EXPECT_EQ(w.sender.frames.back().Data[0], 255);
  EXPECT_EQ(w.sender.frames.back().Data[3], 200);
}

TEST(Output, FavouritesStoreDeliberatelyAndRecallByClick) {
  Window w;
  FavouritesBar& bar = w.dlg.Favourites();
  int changes = 0;
  QObject::connect(&bar, &FavouritesBar::Changed, [&] { ++changes; });
  w.dlg.Values().Recall({1, 2, 3, 4});
  Pump();
  bar.Store(0);
  w.dlg.Values().Recall({9, 9, 9, 9});
  Pump();
  w.sender.frames.clear();
  QTest::mouseClick(bar.Swatch(1), Qt::LeftButton);  // empty: nothing
  Pump();
  EXPECT_TRUE(w.sender.frames.empty());
  EXPECT_EQ(w.dlg.Values().Current(), (Values{9, 9, 9, 9}));
  QTest::mouseClick(bar.Swatch(0), Qt::LeftButton);
  Pump();
  EXPECT_EQ(w.dlg.Values().Current(), (Values{1, 2, 3, 4}));
  ASSERT_FALSE(w.sender.frames.empty());
  EXPECT_EQ(w.sender.frames.back().Data[3], 4);
  bar.Clear(0);
  EXPECT_FALSE(bar.Stored()[0].has_value());
  EXPECT_EQ(changes, 2);
}

TEST(Output, ControlsAreNamedAsTheirLabelsAndTheMenuFollowsTheSettings) {
  Window w;
  for (const char* name : {"Red value", "Green value", "Blue value", "White value", "Colour code",
                           "Favourite 1", "Favourite 8"}) {
    EXPECT_NE(Named<QWidget>(w.dlg, name), nullptr) << name;
  }
  PatchDialog patch({127, 15, 15, 100});
  for (const char* name : {"Net", "Sub-Net", "Universe", "Start address"}) {
    EXPECT_NE(Named<QSpinBox>(patch, name), nullptr) << name;
  }
  EXPECT_TRUE(patch.PortAddressLabel()->text().startsWith("32767"));
  Named<QSpinBox>(patch, "Net")->setValue(1);
  EXPECT_TRUE(patch.PortAddressLabel()->text().startsWith("511"));  // live
  // The checkable items start off and follow the output's settings both ways.
  OutputMenu* menu = w.dlg.OutputMenuItems();
  EXPECT_FALSE(menu->KeepAliveItem()->isChecked());
  EXPECT_FALSE(menu->RateLimitItem()->isChecked());
  menu->RateLimitItem()->trigger();
  EXPECT_TRUE(w.dlg.Output().RateLimit());
  w.dlg.Output().SetKeepAlive(true);
  EXPECT_TRUE(menu->KeepAliveItem()->isChecked());
}

}  // namespace
}  // namespace chromaset::test
