// The output's controls over a recording sender: the patch's frame, typed values and colour
// codes, favourites, keep-alive and the rate limit, and the names a screen reader sees.
#include "rig.h"

namespace chromaset::test {

using Values = std::array<std::uint8_t, 4>;

TEST(Output, APatchSendsTheColourAtOnceToItsPlaceWithAllElseZero) {
  Rig w;
  w.Recall({10, 20, 30, 40});
  w.sent.clear();
  for (int i = 0; i < 2; ++i) w.dlg.Output().SetPatch({3, 2, 1, 509});  // again: no change
  ASSERT_EQ(w.sent.size(), 1u);  // at once, no repaint needed
  const DmxFrame& f = w.Last();
  EXPECT_EQ((std::vector<int>{f.Net, f.SubUni, f.Length}), (std::vector<int>{3, 0x21, 512}));
  for (std::size_t i = 0; i < kDmxChannels; ++i)
    ASSERT_EQ(f.Data[i], i >= 508 ? (i - 507) * 10 : 0) << "channel " << i + 1;
  EXPECT_EQ(w.dlg.findChild<QLabel*>("m_outputStatus")->text(),
            QString::fromUtf8("Universe 3:2:1 \u00b7 DMX 509\u2013512"));
  // A slider paint writes to the patched channels only.
  w.dlg.SliderWhite()->setValue(99);
  QTest::qWait(30);
  EXPECT_EQ(w.Last().Data[511], 99);
  EXPECT_EQ(w.Last().Data[3], 0);
}

TEST(Output, ColourCodesParseOnlyWhole) {
  const std::pair<const char*, RgbCode> good[] = {{"#FF8000", {255, 128, 0}},
                                                  {"ff8000", {255, 128, 0}},
                                                  {"#f80", {255, 136, 0}},
                                                  {" #0a9B0c ", {10, 155, 12}}};
  for (const auto& [text, rgb] : good) EXPECT_EQ(ParseColourCode(text), rgb) << text;
  for (const char* bad : {"", "#", "f80", "#FF80", "#FF80001", "#GG0000", "0xFF80", "#ff 800"})
    EXPECT_FALSE(ParseColourCode(bad).has_value()) << bad;
  EXPECT_EQ(FormatColourCode({255, 10, 0}), "#FF0A00");
}

TEST(Output, TypedValuesAndCodesMoveTheSlidersWhichSend) {
  Rig w;
  auto* code = Named<QLineEdit>(w.dlg, "Colour code");
  ASSERT_NE(code, nullptr);
  w.sent.clear();
  // A bad code is refused whole and marked; nothing moves, nothing is sent.
  code->setText("#12345");
  EXPECT_FALSE(w.dlg.Values().ApplyColourCode());
  QTest::qWait(30);
  EXPECT_TRUE(code->property("invalid").toBool());
  EXPECT_EQ(w.dlg.Values().Current(), (Values{0, 0, 0, 0}));
  EXPECT_TRUE(w.sent.empty());
  // A good one moves Red, Green and Blue; their repaints send it.
  code->setText("#100030");
  QTest::keyClick(code, Qt::Key_Return);  // applies it, selects it, leaves the window open
  EXPECT_TRUE(w.dlg.isVisible() && code->selectedText() == code->text());
  EXPECT_FALSE(code->property("invalid").toBool());
  QTest::qWait(30);
  ASSERT_FALSE(w.sent.empty());
  EXPECT_EQ(std::vector<int>(w.Last().Data, w.Last().Data + 3), (std::vector<int>{16, 0, 48}));
  // A typed value moves its slider on Enter, not while typing; a slider's change shows in its
  // field and the code, and each send is a slider paint (no loop, no extra send).
  const std::pair<const char*, QSlider*> typed[] = {{"Red value", w.dlg.SliderRed()},
                                                    {"Green value", w.dlg.SliderGreen()},
                                                    {"Blue value", w.dlg.SliderBlue()},
                                                    {"White value", w.dlg.SliderWhite()}};
  for (const auto& [name, slider] : typed) {
    auto* field = Named<QSpinBox>(w.dlg, name);
    const int before = slider->value();
    field->selectAll();
    QTest::keyClicks(field, "200");
    EXPECT_EQ(slider->value(), before) << name;
    QTest::keyClick(field, Qt::Key_Enter);
    EXPECT_TRUE(slider->value() == 200 && w.dlg.isVisible()) << name;
  }
  QTest::qWait(30);  // the window paints
  auto* white = Named<QSpinBox>(w.dlg, "White value");
  QTest::mouseClick(white, Qt::LeftButton, {}, QPoint(white->width() - 4, 4));  // its up arrow
  EXPECT_EQ(w.dlg.SliderWhite()->value(), 201);
  w.dlg.SliderRed()->setValue(255);
  w.sent.clear();
  QTest::qWait(30);
  const auto field = [&](const char* name) { return Named<QSpinBox>(w.dlg, name)->value(); };
  EXPECT_EQ((std::vector{field("Red value"), field("Green value")}), (std::vector{255, 200}));
  EXPECT_EQ(code->text(), "#FFC8C8");
  ASSERT_EQ(w.sent.size(), 2u);  // one paint each of White and Red
  EXPECT_EQ(w.Last().Data[0], 255);
  EXPECT_EQ(w.Last().Data[3], 201);
  white->selectAll();  // down to the lower end, 0, by typing
  QTest::keyClicks(white, "0");
  QTest::keyClick(white, Qt::Key_Enter);
  EXPECT_EQ(w.dlg.SliderWhite()->value(), 0);
}

// Chooses the item `text` of favourite k's context menu, as a user would.
void ChooseInMenu(FavouritesBar& bar, int k, const QString& text) {
  QTimer::singleShot(50, [&] {
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    for (QAction* item : menu->actions()) item->text() == text ? item->trigger() : void();
    menu->close();
  });
  QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
  QApplication::sendEvent(bar.Swatch(k), &event);
}

TEST(Output, FavouritesStoreDeliberatelyAndRecallByClick) {
  Rig w;
  FavouritesBar& bar = w.dlg.Favourites();
  int changes = 0;
  QObject::connect(&bar, &FavouritesBar::Changed, [&] { ++changes; });
  w.Recall({1, 2, 3, 4});
  ChooseInMenu(bar, 0, "Store current colour");
  const auto shown = [&](int k) { return bar.Swatch(k)->grab().toImage().pixelColor(5, 5); };
  EXPECT_TRUE(shown(0) == QColor(1, 2, 3) && shown(1) != QColor(1, 2, 3));  // empty shows none
  w.Recall({9, 9, 9, 9});
  w.sent.clear();
  QTest::mouseClick(bar.Swatch(1), Qt::LeftButton);  // empty: nothing
  QTest::qWait(30);
  EXPECT_TRUE(w.sent.empty());
  EXPECT_EQ(w.dlg.Values().Current(), (Values{9, 9, 9, 9}));
  QTest::mouseClick(bar.Swatch(0), Qt::LeftButton);
  QTest::qWait(30);
  EXPECT_EQ(w.dlg.Values().Current(), (Values{1, 2, 3, 4}));
  ASSERT_FALSE(w.sent.empty());
  EXPECT_EQ(w.Last().Data[3], 4);
  ChooseInMenu(bar, 0, "Clear");
  EXPECT_TRUE(!bar.Stored()[0].has_value() && changes == 2);
}

// Keep-alive sends nothing while off; on, it repeats the frame with the window hidden. The rate
// limit sends fewer frames than a drag paints, the last values last.
TEST(Output, KeepAliveAndRateLimitReachTheSender) {
  Rig w;
  w.Recall({1, 2, 3, 4});
  const DmxFrame frame = w.Last();
  w.sent.clear();
  QTest::qWait(1500);
  EXPECT_TRUE(w.sent.empty());
  w.dlg.hide();
  w.dlg.Output().SetKeepAlive(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.sent.size() >= 2; }, 5000));
  for (const auto& [to, f] : w.sent) EXPECT_EQ(std::memcmp(f.Data, frame.Data, kDmxChannels), 0);
  w.dlg.Output().SetKeepAlive(false);
  w.dlg.show();
  w.dlg.Output().SetRateLimit(true);
  w.sent.clear();
  for (int i = 1; i <= 200; ++i) {  // a drag: each new Red painted at once
    w.dlg.SliderRed()->setValue(i);
    w.dlg.SliderRed()->repaint();
    QTest::qWait(1);
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return w.Last().Data[0] == 200; }));
  EXPECT_LT(w.sent.size(), 200u);
  // Both turned off while a frame is held: no timer sends it afterwards.
  w.dlg.Output().SetKeepAlive(true);
  QTest::qWait(50);  // the drag's last frame is over 1/44 s old
  w.sent.clear();
  for (int red : {1, 2}) w.dlg.SliderRed()->setValue(red), w.dlg.SliderRed()->repaint();
  ASSERT_EQ(w.sent.size(), 1u) << "the second change within 1/44 s is held";
  w.dlg.Output().SetKeepAlive(false);
  w.dlg.Output().SetRateLimit(false);
  QTest::qWait(100);
  EXPECT_EQ(w.sent.size(), 1u);
}

// What a screen reader says for w: the name the AT-SPI bridge reads.
QString Heard(QWidget* w) {
  return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

TEST(Output, ControlsAreNamedAsTheirLabelsAndTheMenuFollowsTheSettings) {
  Rig w;
  for (const char* name : {"Red value", "Green value", "Blue value", "White value", "Colour code",
                           "Favourite 1", "Favourite 8"})
    EXPECT_NE(Named<QWidget>(w.dlg, name), nullptr) << name;
  EXPECT_EQ(Named<QWidget>(w.dlg, "Favourite 9"), nullptr);  // eight, no more
  auto* swatch = w.dlg.findChild<QLabel*>("m_swatch");
  EXPECT_EQ(swatch->palette().color(QPalette::Window), Qt::black);
  w.Recall({255, 16, 0, 9});
  EXPECT_EQ(Heard(swatch), "Current colour: #FF1000");
  PatchDialog patch({127, 15, 15, 100});
  for (const char* name : {"Net", "Sub-Net", "Universe", "Start address"})
    EXPECT_NE(Named<QSpinBox>(patch, name), nullptr) << name;
  EXPECT_TRUE(patch.PortAddressLabel()->text().startsWith("32767"));
  Named<QSpinBox>(patch, "Net")->setValue(1);
  EXPECT_TRUE(patch.PortAddressLabel()->text().startsWith("511"));  // live
  // Labels that show a value are heard with it, not only by what they are.
  EXPECT_EQ(Heard(patch.PortAddressLabel()), "Port-Address: " + patch.PortAddressLabel()->text());
  EXPECT_EQ(Heard(patch.ChannelsLabel()), "Channels: Red 100, Green 101, Blue 102, White 103");
  for (const auto& [channels, shown] :
       {std::pair{4, "Red 5, Green 6, Blue 7, White 8"}, std::pair{5, "DMX 5\u20139"}}) {
    PatchDialog at5({0, 0, 0, 5}, nullptr, channels);
    EXPECT_EQ(at5.ChannelsLabel()->text().toStdString(), shown);
  }
  // The checkable items start off and follow the output's settings both ways.
  OutputMenu* menu = w.dlg.OutputMenuItems();
  EXPECT_FALSE(menu->KeepAliveItem()->isChecked() || menu->RateLimitItem()->isChecked());
  menu->RateLimitItem()->trigger();
  EXPECT_TRUE(w.dlg.Output().RateLimit());
  w.dlg.Output().SetKeepAlive(true);
  EXPECT_TRUE(menu->KeepAliveItem()->isChecked());
  auto* status = w.dlg.findChild<QLabel*>("m_outputStatus");  // heard as it reads now
  EXPECT_TRUE(status->text().endsWith("kept alive \u00b7 44 frames/s"));
  EXPECT_EQ(Heard(status), status->text());
}

}  // namespace chromaset::test
