// The dialog as a window: frame, menus, focus and tab order, the keys that end it, the About box
// and the discovery splash.
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "discovery_splash.h"
#include "window_rig.h"

namespace chromaset::test {
namespace {

TEST(Shell, FrameMenusFocusAndKeys) {
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  EXPECT_EQ(dlg.windowTitle(), "Chromaset - V1.00");
  EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowContextHelpButtonHint));
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_EQ(dlg.WheelPicture()->size(), QSize(300, 300));
  EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(16, 16)));
  // "Devices" first, then the window menu: a separator and the About item.
  const auto bar = dlg.MenuBar()->actions();
  ASSERT_EQ(bar.size(), 2);
  EXPECT_EQ(bar[0]->text(), "Devices");
  const auto items = dlg.WindowMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[0]->isSeparator());
  EXPECT_EQ(items[1]->text(), QString::fromUtf8("Inf&o \u00fcber Chromaset..."));

  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  EXPECT_EQ(QApplication::focusWidget(), dlg.SliderRed());
  for (QSlider* next : {dlg.SliderBlue(), dlg.SliderGreen(), dlg.SliderWhite(), dlg.SliderRed()}) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
  const std::tuple<Qt::Key, Qt::KeyboardModifier, int> ends[] = {
      {Qt::Key_Right, Qt::NoModifier, -1},  // other keys leave it open
      {Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
      {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
      {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected}};
  for (const auto& [key, modifier, result] : ends) {
    Rig each;
    QTest::keyClick(each.dlg.SliderWhite(), key, modifier);
    EXPECT_EQ(each.dlg.isVisible() ? -1 : each.dlg.result(), result) << key;
  }
}

// Closes with `key` the modal box that `action` opens, once it is up, and checks its face.
void AboutBoxClosesWith(const std::function<void()>& action, Qt::Key key) {
  bool seen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    QWidget* box = QApplication::activeModalWidget();
    if (box == nullptr || seen) return;
    seen = true;
    EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Info \u00fcber Chromaset"));
    QStringList texts;
    for (QLabel* l : box->findChildren<QLabel*>()) texts << l->text();
    EXPECT_TRUE(texts.contains("Chromaset Version 1.0"));
    QTest::keyClick(box, key);
  });
  poll.start(10);
  action();
  EXPECT_TRUE(seen) << "no modal box came up";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Shell, AboutItemOpensAModalBoxThatEnterAndEscapeClose) {
  Rig rig;
  AboutBoxClosesWith([&] { rig.dlg.WindowMenu()->actions().value(1)->trigger(); }, Qt::Key_Return);
  AboutBoxClosesWith([&] { rig.dlg.OnSysCommand(IDM_ABOUT | 0x3); }, Qt::Key_Escape);
  rig.dlg.OnSysCommand(0xF060);  // other window commands open nothing
}

TEST(Shell, SplashCountsEveryAnsweringNodeWhileTheDialogWaitsHidden) {
  RecordingSender sender;
  NodeTable table;
  LocalAddressTable locals{};
  CWheelDlg dlg(sender, table, locals);
  // Each time the count is seen to change, one more node answers: any maker counts.
  const PollReplyFields answers[] = {Node({2, 0, 0, 61}, "N", 0x12, 0x34), Node({2, 0, 0, 62})};
  QStringList seen;
  int progress = 0;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    EXPECT_FALSE(dlg.isVisible());
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* splash = qobject_cast<DiscoverySplash*>(w);
      if (splash == nullptr || !splash->isVisible()) continue;
      progress = std::max(progress, splash->Progress());
      if (!seen.isEmpty() && seen.last() == splash->AnsweredText()) continue;
      seen << splash->AnsweredText();
      if (seen.size() <= 2) Answer(table, answers[seen.size() - 1]);
    }
  });
  probe.start(20);
  QElapsedTimer clock;
  clock.start();
  InitOptions options;
  options.discoveryWait = std::chrono::milliseconds(1500);
  ASSERT_TRUE(dlg.OnInitDialog(options));
  EXPECT_GE(clock.elapsed(), 1500);  // the wait lasts at least as long as asked
  EXPECT_EQ(seen,
            (QStringList{"0 nodes have answered", "1 node has answered", "2 nodes have answered"}));
  EXPECT_GT(progress, 0);
  for (QWidget* w : QApplication::topLevelWidgets()) {  // gone once the wait is over
    EXPECT_FALSE(qobject_cast<DiscoverySplash*>(w) != nullptr && w->isVisible());
  }
  EXPECT_TRUE(sender.sent.empty());
}

}  // namespace
}  // namespace chromaset::test
