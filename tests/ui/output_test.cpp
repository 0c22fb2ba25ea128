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

// A shown window over a FrameSender with no nodes.
struct Window {
  Window() : dlg(sender, nodes, local) {
    InitOptions options;
    options.discoveryWait = std::chrono::milliseconds(0);
    options.showSplash = false;
    EXPECT_TRUE(dlg.OnInitDialog(options));
    dlg.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    Pump();
    sender.frames.clear();
  }
  std::array<std::uint8_t, 4> Sliders() const {
    return {static_cast<std::uint8_t>(dlg.SliderRed()->value()),
            static_cast<std::uint8_t>(dlg.SliderGreen()->value()),
            static_cast<std::uint8_t>(dlg.SliderBlue()->value()),
            static_cast<std::uint8_t>(dlg.SliderWhite()->value())};
  }
  template <typename T>
  T* Named(const QString& name) const {
    for (T* w : dlg.findChildren<T*>()) {
      if (w->accessibleName() == name) return w;
    }
    return nullptr;
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
    const int expected = i >= 508 ? static_cast<int>(i - 507) * 10 : 0;
    ASSERT_EQ(f.Data[i], expected) << "channel " << i + 1;
  }
  EXPECT_EQ(w.dlg.findChild<QLabel*>("m_outputStatus")->text(),
            QString::fromUtf8("Universe 3:2:1 \u00b7 DMX 509\u2013512"));
  // A slider paint writes to the patched channels only.
  w.dlg.SliderWhite()->setValue(99);
  Pump();
  EXPECT_EQ(w.sender.frames.back().Data[511], 99);
  EXPECT_EQ(w.sender.frames.back().Data[3], 0);
}

TEST(Output, PatchDialogShowsThePortAddressAndNamesItsFields) {
  PatchDialog dialog({1, 2, 3, 100});
  EXPECT_EQ(dialog.Patch(), (DmxPatch{1, 2, 3, 100}));
  dialog.NetField()->setValue(127);
  dialog.SubNetField()->setValue(15);
  dialog.UniverseField()->setValue(15);
  EXPECT_TRUE(dialog.PortAddressLabel()->text().startsWith("32767"));
  dialog.StartField()->setValue(600);  // clamped by the field
  EXPECT_EQ(dialog.Patch().start, 509);
  const std::vector<std::pair<QSpinBox*, const char*>> names = {
      {dialog.NetField(), "Net"},
      {dialog.SubNetField(), "Sub-Net"},
      {dialog.UniverseField(), "Universe"},
      {dialog.StartField(), "Start address"}};
  for (const auto& [field, name] : names) EXPECT_EQ(field->accessibleName(), name);
}

TEST(Output, ColourCodesParseOnlyWhole) {
  const struct {
    const char* text;
    std::optional<RgbCode> rgb;
  } cases[] = {
      {"#FF8000", RgbCode{255, 128, 0}},
      {"ff8000", RgbCode{255, 128, 0}},
      {"#f80", RgbCode{255, 136, 0}},
      {" #0a0B0c ", RgbCode{10, 11, 12}},
      {"", std::nullopt},
      {"#", std::nullopt},
      {"f80", std::nullopt},
      {"#FF80", std::nullopt},
      {"#FF80001", std::nullopt},
      {"#GG0000", std::nullopt},
      {"0xFF80", std::nullopt},
      {"#ff 800", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseColourCode(c.text), c.rgb) << c.text;
  EXPECT_EQ(FormatColourCode({255, 10, 0}), "#FF0A00");
}

TEST(Output, TypedValuesAndCodesMoveTheSlidersWhichSend) {
  Window w;
  auto* code = w.Named<QLineEdit>("Colour code");
  ASSERT_NE(code, nullptr);
  // A bad code is refused whole and marked; nothing moves, nothing is sent.
  code->setText("#12345");
  EXPECT_FALSE(w.dlg.Values().ApplyColourCode());
  Pump();
  EXPECT_TRUE(code->property("invalid").toBool());
  EXPECT_EQ(w.Sliders(), (std::array<std::uint8_t, 4>{0, 0, 0, 0}));
  EXPECT_TRUE(w.sender.frames.empty());
  // A good one moves Red, Green and Blue; their repaints send it.
  code->setText("#102030");
  EXPECT_TRUE(w.dlg.Values().ApplyColourCode());
  EXPECT_FALSE(code->property("invalid").toBool());
  Pump();
  ASSERT_FALSE(w.sender.frames.empty());
  EXPECT_EQ(w.sender.frames.back().Data[2], 0x30);
  // A typed White moves its slider; the slider's change shows in the field and the code, and
  // each send is a slider paint (no loop, no extra send).
  auto* white = w.Named<QSpinBox>("White value");
  ASSERT_NE(white, nullptr);
  white->setValue(200);
  EXPECT_EQ(w.dlg.SliderWhite()->value(), 200);
  w.dlg.SliderRed()->setValue(255);
  EXPECT_EQ(w.Named<QSpinBox>("Red value")->value(), 255);
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
  EXPECT_EQ(changes, 1);
  w.dlg.Values().Recall({9, 9, 9, 9});
  Pump();
  // An empty swatch does nothing.
  w.sender.frames.clear();
  QTest::mouseClick(bar.Swatch(1), Qt::LeftButton);
  Pump();
  EXPECT_TRUE(w.sender.frames.empty());
  EXPECT_EQ(w.Sliders(), (std::array<std::uint8_t, 4>{9, 9, 9, 9}));
  // A stored one moves all four sliders, and their repaints send it.
  QTest::mouseClick(bar.Swatch(0), Qt::LeftButton);
  Pump();
  EXPECT_EQ(w.Sliders(), (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  ASSERT_FALSE(w.sender.frames.empty());
  EXPECT_EQ(w.sender.frames.back().Data[3], 4);
  bar.Clear(0);
  EXPECT_FALSE(bar.Stored()[0].has_value());
  EXPECT_EQ(changes, 2);
}

TEST(Output, EveryControlIsNamedAsItsLabelAndTheMenuHasItsItems) {
  Window w;
  QStringList names;
  for (QWidget* widget : w.dlg.findChildren<QWidget*>()) names << widget->accessibleName();
  for (const char* name : {"Red value", "Green value", "Blue value", "White value", "Colour code",
                           "Favourite 1", "Favourite 8", "Output status"}) {
    EXPECT_TRUE(names.contains(name)) << name;
  }
  OutputMenu* menu = w.dlg.OutputMenuItems();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->PatchItem()->text(), QString::fromUtf8("Patch\u2026"));
  // The checkable items start off and follow the output's settings both ways.
  EXPECT_FALSE(menu->KeepAliveItem()->isChecked());
  EXPECT_FALSE(menu->RateLimitItem()->isChecked());
  menu->RateLimitItem()->trigger();
  EXPECT_TRUE(w.dlg.Output().RateLimit());
  w.dlg.Output().SetKeepAlive(true);
  EXPECT_TRUE(menu->KeepAliveItem()->isChecked());
}

}  // namespace
}  // namespace chromaset::test
