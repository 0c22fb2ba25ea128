// The window offscreen over a sender that records instead of sending and a node table filled by
// hand, driven as the window system would: the Devices menu and the output, pointer input on the
// wheel, the frame, keys and About box, and the discovery splash.
#include "rig.h"

namespace chromaset::test {

TEST(DevicesMenu, ListsAcceptedNodesInAnswerOrderAsTheyWereAtBuild) {
  Rig rig({Node({10, 20, 30, 20}, "Other maker", 0x12, 0x34),
           Node({10, 20, 30, 21}, "Bar & Grill", 0x1A, 0x2C, "a<b"),
           Node({10, 20, 30, 22}, "Half a code", 0x1A, 0x1A),
           Node({11, 20, 30, 23}, std::string(70, 'L'), 0x2C, 0x1A),
           Node({10, 21, 30, 24}, "Caf\xE9"), Node({10, 20, 31, 25})},
          {10, 20, 30, 1});
  QStringList texts;  // '&' shows literally, a name ends at its field, bytes are Latin-1
  for (int k = 0; k < rig.dlg.MenuItemCount(); ++k) texts << rig.Item(k)->text();
  EXPECT_EQ(texts, (QStringList{"ALL (Broadcast)", "Bar && Grill", QString(64, 'L'),
                                QString::fromUtf8("Caf\u00e9"), "N"}));
  EXPECT_TRUE(rig.Item(0)->isChecked());
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(rig.Item(k)->isEnabled(), k == 1) << k;  // same /24
  EXPECT_EQ(rig.Item(1)->toolTip(), "<qt>10.20.30.21<br>a&lt;b</qt>");
  EXPECT_TRUE(rig.dlg.DevicesMenu()->toolTipsVisible());
  rig.Item(1)->trigger();  // an item sends to the address it had when the menu was built
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

// Length, Net, SubUni, channels 1..4 and the sum of channels 5..512.
std::vector<int> Summary(const DmxFrame& f) {
  return {f.Length,  f.Net,     f.SubUni,  f.Data[0],
          f.Data[1], f.Data[2], f.Data[3], std::accumulate(f.Data + 4, f.Data + 512, 0)};
}

TEST(Output, EveryPaintSendsTheWholeFrameToTheTargetsTheMarksChoose) {
  std::vector<PollReply> nodes;  // nine accepted nodes, the second one greyed
  for (std::uint8_t h = 1; h <= 9; ++h)
    nodes.push_back(Node({2, 0, std::uint8_t(h == 2 ? 7 : 0), h}));
  Rig rig(nodes);
  CWheelDlg& dlg = rig.dlg;
  ASSERT_GE(rig.sent.size(), 4u);  // showing painted each slider
  for (const auto& [to, frame] : rig.sent)
    EXPECT_EQ(Summary(frame), (std::vector{512, 0, 0, 0, 0, 0, 0, 0}));
  const std::pair<QSlider*, int> values[] = {{dlg.SliderRed(), 10},
                                             {dlg.SliderGreen(), 20},
                                             {dlg.SliderBlue(), 30},
                                             {dlg.SliderWhite(), 255}};
  for (const auto& [s, value] : values) {
    EXPECT_EQ((std::vector{s->minimum(), s->maximum(), s->value()}), (std::vector{0, 255, 0}));
    s->setValue(value);
  }
  QTest::qWait(30);                                           // the window paints
  for (QSlider* s : {dlg.SliderWhite(), dlg.SliderBlue()}) {  // one paint, one frame
    EXPECT_EQ(PaintTargets(rig, s), QStringList{"255.255.255.255"});
    EXPECT_EQ(Summary(rig.sent[0].second), (std::vector{512, 0, 0, 10, 20, 30, 255, 0}));
  }
  rig.sent.clear();  // other events of a slider send nothing
  QEvent enter(QEvent::Enter);
  QApplication::sendEvent(dlg.SliderWhite(), &enter);
  EXPECT_TRUE(rig.sent.empty());
  EXPECT_EQ(dlg.DeviceCount(), 9);
  ASSERT_EQ(dlg.MenuItemCount(), 9);  // at most eight device items
  EXPECT_TRUE(rig.Item(9)->isSeparator());
  for (int k = 1; k <= 8; ++k) EXPECT_EQ(rig.Item(k)->data().toInt(), 130 + k);
  EXPECT_EQ(rig.Item(0)->data().toInt(), ID_BROADCAST);
  rig.Item(0)->trigger();  // choosing the checked broadcast item keeps it checked
  EXPECT_TRUE(rig.Item(0)->isChecked());
  rig.Item(1)->trigger();  // a device instead of broadcast
  EXPECT_TRUE(rig.Item(1)->isChecked() && !rig.Item(0)->isChecked());
  rig.Item(1)->trigger();  // unticking the last device: nothing is checked, nothing is sent
  EXPECT_FALSE(rig.Item(1)->isChecked() || rig.Item(0)->isChecked());
  EXPECT_TRUE(PaintTargets(rig).empty());
  for (int k = 8; k >= 3; --k) rig.Item(k)->trigger();
  dlg.OnDevice(2);  // a greyed item's mark never counts
  dlg.OnDevice(9);  // nor a node without an item
  EXPECT_TRUE(rig.Item(2)->isChecked());
  EXPECT_EQ(PaintTargets(rig),
            (QStringList{"2.0.0.3", "2.0.0.4", "2.0.0.5", "2.0.0.6", "2.0.0.7", "2.0.0.8"}));
  rig.Item(0)->trigger();  // broadcast clears every device mark
  for (int k = 1; k <= 8; ++k) EXPECT_FALSE(rig.Item(k)->isChecked()) << k;
  EXPECT_EQ(PaintTargets(rig), QStringList{"255.255.255.255"});
}

// Counts the pages the window asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() { QDesktopServices::setUrlHandler("https", this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("https"); }
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

TEST(Pointer, PicksOnTheRingInsideTheMarginAndTheLogoOpensTheHomePage) {
  UrlCatcher urls;
  Rig rig;
  // Red, Green and Blue of the picture under p, White as it was.
  const auto picked = [&](QPoint p) {
    const WheelPixel c = rig.dlg.Wheel().BasePixels()[p.y() * kWheelSize + p.x()];
    return std::vector<int>{int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), 33};
  };
  rig.dlg.SliderWhite()->setValue(33);
  rig.Press({251, 150});
  QTest::qWait(30);  // the window paints
  rig.sent.clear();
  rig.Press({251, 150});  // the same colour again still repaints Red, Green and Blue: it sends
  QTest::qWait(30);       // the window paints
  EXPECT_GE(rig.sent.size(), 3u);
  for (auto keys : {Qt::ShiftModifier, Qt::ControlModifier})  // drags with anything more
    rig.Mouse(QEvent::MouseMove, {150, 251}, Qt::LeftButton, keys);
  for (auto more : {Qt::RightButton, Qt::MiddleButton, Qt::BackButton, Qt::ForwardButton})
    rig.Mouse(QEvent::MouseMove, {150, 251}, Qt::LeftButton | more);
  rig.Mouse(QEvent::MouseMove, {150, 251}, Qt::NoButton);
  EXPECT_EQ(rig.Sliders(), (std::vector{255, 0, 0, 33}));
  for (QPoint p : {QPoint(270, 150), QPoint(150, 30), QPoint(40, 160), QPoint(230, 240)}) {
    rig.Mouse(QEvent::MouseMove, p, Qt::LeftButton);
    EXPECT_EQ(rig.Sliders(), picked(p)) << p.x() << "," << p.y();
    // The marker stands there, and the label shows it.
    EXPECT_EQ(rig.dlg.WheelPicture()->pixmap().toImage().pixel(p) & 0xFFFFFFu, 0u);
  }
  rig.Press({150, 251}, QEvent::MouseButtonDblClick);  // a double click's second press picks
  EXPECT_EQ(rig.Sliders(), picked({150, 251}));
  rig.Press({250, 150});  // the inner circle is on the ring: the picture's own grey there
  EXPECT_EQ(rig.Sliders(), (std::vector{4, 4, 4, 33}));
  rig.dlg.SliderRed()->setValue(1);
  rig.Press({295, 150});  // on the ring too, but inside the margin: nothing
  EXPECT_EQ(rig.Sliders(), (std::vector{1, 4, 4, 33}));
  // The logo opens the home page once per click; its edge and the gap before the ring do
  // nothing, nor do a double click's second press and drags over it.
  for (QPoint p : {QPoint(150, 150), QPoint(101, 199), QPoint(100, 150), QPoint(150, 200)})
    rig.Press(p);
  rig.Press({150, 150}, QEvent::MouseButtonDblClick);
  rig.Mouse(QEvent::MouseMove, {150, 150}, Qt::LeftButton);
  EXPECT_EQ(urls.opened,
            (QList<QUrl>{QUrl("https://chromaset.example/"), QUrl("https://chromaset.example/")}));
  EXPECT_EQ(rig.Sliders(), (std::vector{1, 4, 4, 33}));
}

TEST(Shell, FrameMenusKeysAndAboutBox) {
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  EXPECT_EQ(dlg.windowTitle(), "Chromaset - V1.00");
  EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(16, 16)));
  EXPECT_EQ(dlg.MenuBar()->actions().value(0), dlg.DevicesMenu()->menuAction());  // first
  const auto items = dlg.WindowMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[0]->isSeparator());
  EXPECT_EQ(items[1]->text(), QString::fromUtf8("Inf&o \u00fcber Chromaset..."));
  WhileModal([&] { items[1]->trigger(); },  // a modal box, which Escape closes
             [](QWidget* box) {
               QStringList seen{box->windowTitle()};
               for (QLabel* l : box->findChildren<QLabel*>()) seen << l->text();
               EXPECT_TRUE(seen.contains(QString::fromUtf8("Info \u00fcber Chromaset")));
               EXPECT_TRUE(seen.contains("Chromaset Version 1.0"));
               QTest::keyClick(box, Qt::Key_Escape);
             });
  dlg.OnSysCommand(0xF060);  // other window commands open nothing
  const std::tuple<Qt::Key, Qt::KeyboardModifier, int> ends[] = {
      {Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
      {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
      {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected}};
  for (const auto& [key, modifier, result] : ends) {
    Rig each;
    QTest::keyClick(each.dlg.SliderWhite(), key, modifier);
    EXPECT_EQ(each.dlg.isVisible() ? -1 : each.dlg.result(), result) << key;
  }
}

TEST(Shell, TheIconThemesOwnIconFollowsOnceTheWindowHasPainted) {
  QTemporaryDir themes;  // a theme with a 48-pixel Chromaset icon
  ASSERT_TRUE(QDir(themes.path()).mkpath("t/48"));
  QFile index(themes.filePath("t/index.theme"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write("[Icon Theme]\nDirectories=48\n[48]\nSize=48\n"), index.close();
  QImage(48, 48, QImage::Format_RGB32).save(themes.filePath("t/48/" CHROMASET_APP_ID ".png"));
  QIcon::setThemeSearchPaths({themes.path()}), QIcon::setThemeName("t");
  Rig rig({}, {2, 0, 0, 1}, /*start=*/false);
  ASSERT_TRUE(rig.dlg.OnInitDialog({0ms, {}, /*showSplash=*/false}));
  // The bundled icon from the start, the theme's one only after the first paint.
  EXPECT_EQ(rig.dlg.windowIcon().availableSizes(), (QList<QSize>{{32, 32}, {16, 16}}));
  rig.dlg.show();  // on a loaded machine the first paint may take a while: up to 5 s
  EXPECT_TRUE(QTest::qWaitFor([&] {
    return rig.dlg.windowIcon().availableSizes().contains({48, 48});
  }));
  QIcon::setThemeName(QString());
}

TEST(Shell, SplashCountsEveryAnsweringNodeWhileTheDialogWaitsHidden) {
  Rig rig({}, {}, /*start=*/false);
  rig.dlg.show();  // painted before the Devices menu exists: nothing may be sent, then or later
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&rig.dlg));
  rig.dlg.SliderRed()->repaint();
  rig.dlg.hide();
  // Each time the count is seen to change, one more node answers: any maker counts.
  const PollReply answers[] = {Node({2, 0, 0, 61}, "N", 0x12, 0x34), Node({2, 0, 0, 62})};
  QStringList seen;
  int progress = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    EXPECT_FALSE(rig.dlg.isVisible());
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* splash = qobject_cast<DiscoverySplash*>(w);
      if (splash == nullptr || !splash->isVisible()) continue;
      progress = std::max(progress, splash->Progress());
      if (!seen.isEmpty() && seen.last() == splash->AnsweredText()) continue;
      seen << splash->AnsweredText();
      if (seen.size() <= 2) Answer(*rig.table, answers[seen.size() - 1]);
    }
  });
  probe.start(20);
  ASSERT_TRUE(rig.dlg.OnInitDialog({std::chrono::milliseconds(1500), {}, /*showSplash=*/true}));
  EXPECT_EQ(seen,
            (QStringList{"0 nodes have answered", "1 node has answered", "2 nodes have answered"}));
  EXPECT_GT(progress, 0);
  EXPECT_TRUE(rig.sent.empty());
}

}  // namespace chromaset::test

#include "window_test.moc"
