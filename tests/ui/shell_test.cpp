// The dialog as a window: frame, menus, the keys that end it, the About box and the discovery
// splash.
#include <QElapsedTimer>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>

#include <gtest/gtest.h>

#include "discovery_splash.h"
#include "window_rig.h"

namespace chromaset::test {
namespace {

TEST(Shell, FrameMenusKeysAndAboutBox) {
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  EXPECT_EQ(dlg.windowTitle(), "Chromaset - V1.00");
  EXPECT_FALSE(dlg.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                                    Qt::WindowContextHelpButtonHint));
  EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(16, 16)));
  ASSERT_EQ(dlg.MenuBar()->actions().size(), 2);  // "Devices", then the window menu
  EXPECT_EQ(dlg.MenuBar()->actions()[0]->text(), "Devices");
  const auto items = dlg.WindowMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[0]->isSeparator());
  EXPECT_EQ(items[1]->text(), QString::fromUtf8("Inf&o \u00fcber Chromaset..."));
  QStringList seen;  // the item opens a modal box, which Escape closes
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget(); box != nullptr && seen.isEmpty()) {
      seen << box->windowTitle();
      for (QLabel* l : box->findChildren<QLabel*>()) seen << l->text();
      QTest::keyClick(box, Qt::Key_Escape);
    }
  });
  poll.start(10);
  items[1]->trigger();
  EXPECT_TRUE(seen.contains(QString::fromUtf8("Info \u00fcber Chromaset")));
  EXPECT_TRUE(seen.contains("Chromaset Version 1.0"));
  dlg.OnSysCommand(0xF060);  // other window commands open nothing
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

TEST(Shell, SplashCountsEveryAnsweringNodeWhileTheDialogWaitsHidden) {
  RecordingSender sender;
  NodeTable table;
  const LocalAddressTable locals{};
  CWheelDlg dlg(sender, table, locals);
  dlg.show();  // painted before the Devices menu exists: nothing may be sent, then or later
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
  dlg.SliderRed()->repaint();
  dlg.hide();
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
  EXPECT_TRUE(sender.sent.empty());
}

}  // namespace
}  // namespace chromaset::test
