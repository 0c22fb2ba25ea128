// The dialog as a window: frame, focus and tab order, the keys that end it, the About item and
// box, and the discovery splash.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "discovery_splash.h"
#include "window_test_support.h"

namespace chromaset::test {
namespace {

TEST(Shell, FrameTitleAndLayout) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  EXPECT_EQ(dlg.windowTitle(), "Chromaset - V1.00");
  const Qt::WindowFlags flags = dlg.windowFlags();
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowContextHelpButtonHint);
  EXPECT_EQ(dlg.minimumSize(), dlg.maximumSize());
  EXPECT_TRUE(dlg.windowIcon().availableSizes().contains(QSize(16, 16)));

  // On screen the sliders stand Red, Green, Blue, White from top to bottom, each beside its
  // label, below the wheel.
  const int wheelBottom = dlg.WheelPicture()->mapTo(&dlg, QPoint(0, 300)).y();
  int lastY = wheelBottom;
  for (QSlider* s : {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue(), dlg.SliderWhite()}) {
    const int y = s->mapTo(&dlg, QPoint(0, 0)).y();
    EXPECT_GT(y, lastY);
    lastY = y;
  }
  QStringList texts;
  for (QLabel* l : dlg.findChildren<QLabel*>()) texts << l->text();
  for (const char* label : {"Red:", "Green:", "Blue:", "White:"})
    EXPECT_TRUE(texts.contains(label));
  // The window menu follows "Devices" and "Output" and ends with a separator and the About item.
  const auto bar = dlg.MenuBar()->actions();
  ASSERT_EQ(bar.size(), 3);
  EXPECT_EQ(bar[0]->menu(), dlg.DevicesMenu());
  EXPECT_EQ(bar[1]->text(), "Output");
  const auto items = dlg.WindowMenu()->actions();
  ASSERT_EQ(items.size(), 2);
  EXPECT_TRUE(items[0]->isSeparator());
  EXPECT_EQ(items[1]->text(), QString::fromUtf8("Inf&o \u00fcber Chromaset..."));
}

TEST(Shell, FocusStartsOnRedAndTabGoesRedBlueGreenWhite) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  dlg.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
  EXPECT_EQ(QApplication::focusWidget(), dlg.SliderRed());
  // After White come the value fields.
  const std::vector<QSlider*> order = {dlg.SliderBlue(), dlg.SliderGreen(), dlg.SliderWhite()};
  for (QSlider* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), next);
  }
}

TEST(Shell, EnterAndEscapeEndTheDialog) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifier modifier;
    int result;
  } cases[] = {{Qt::Key_Return, Qt::NoModifier, QDialog::Accepted},
               {Qt::Key_Enter, Qt::KeypadModifier, QDialog::Accepted},
               {Qt::Key_Escape, Qt::NoModifier, QDialog::Rejected}};
  for (const auto& c : cases) {
    DialogRig rig;
    rig.Start();
    QTest::keyClick(rig.dialog->SliderWhite(), c.key, c.modifier);
    EXPECT_FALSE(rig.dialog->isVisible()) << c.key;
    EXPECT_EQ(rig.dialog->result(), c.result) << c.key;
  }
  // Other keys move the slider and leave the dialog open.
  DialogRig rig;
  rig.Start();
  QTest::keyClick(rig.dialog->SliderGreen(), Qt::Key_Right);
  EXPECT_TRUE(rig.dialog->isVisible());
  EXPECT_EQ(rig.dialog->SliderGreen()->value(), 1);
}

TEST(Shell, AboutItemOpensAFreshModalBoxThatOkEnterAndEscapeClose) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  QAction* about = dlg.WindowMenu()->actions().value(1);
  ASSERT_NE(about, nullptr);

  QWidget* first = nullptr;
  WhileModal([&] { about->trigger(); },
             [&](QWidget* box) {
               first = box;
               box->setProperty("seen", true);
               EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Info \u00fcber Chromaset"));
               EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
               QStringList texts;
               bool hasIcon = false;
               for (QLabel* l : box->findChildren<QLabel*>()) {
                 texts << l->text();
                 if (!l->pixmap().isNull()) hasIcon = true;
               }
               EXPECT_TRUE(texts.contains("Chromaset Version 1.0"));
               EXPECT_TRUE(hasIcon);
               const auto buttons = box->findChildren<QPushButton*>();
               ASSERT_EQ(buttons.size(), 1);
               EXPECT_EQ(buttons[0]->text(), "OK");
               EXPECT_TRUE(buttons[0]->isDefault());
               QTest::mouseClick(buttons[0], Qt::LeftButton);
             });
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

  // Again: a new box (nothing carried over), closed with Enter; then once more with Escape.
  WhileModal([&] { dlg.OnSysCommand(IDM_ABOUT); },
             [&](QWidget* box) {
               EXPECT_FALSE(box->property("seen").isValid());
               QTest::keyClick(box, Qt::Key_Return);
             });
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  WhileModal([&] { dlg.OnSysCommand(IDM_ABOUT | 0x3); },
             [&](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  dlg.OnSysCommand(0xF060);  // other window commands open nothing
  EXPECT_TRUE(dlg.isVisible());
}

TEST(Shell, SplashShowsProgressAndAnsweredNodesDuringTheWait) {
  RecordingSender sender;
  NodeTable table;
  LocalAddressTable local{};
  ApplyReply(table, {{2, 0, 0, 61}, 0x12, 0x34, "", "Any maker counts"});
  ApplyReply(table, {{2, 0, 0, 62}, 0x1A, 0x2C, "", "Accepted"});
  CWheelDlg dlg(sender, table, local);

  int seenNodes = -1;
  int seenProgress = -1;
  bool dialogHidden = true;
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* splash = qobject_cast<DiscoverySplash*>(w);
      if (splash != nullptr && splash->isVisible()) {
        seenProgress = std::max(seenProgress, splash->Progress());
        if (splash->AnsweredText().startsWith("2 ")) seenNodes = 2;
        EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
      }
    }
    if (dlg.isVisible()) dialogHidden = false;
  });
  probe.start(50);
  QElapsedTimer clock;
  clock.start();
  InitOptions options;
  options.discoveryWait = std::chrono::milliseconds(1500);
  ASSERT_TRUE(dlg.OnInitDialog(options));
  probe.stop();
  EXPECT_GE(clock.elapsed(), 1500);
  EXPECT_EQ(seenNodes, 2);
  EXPECT_GT(seenProgress, 0);
  EXPECT_TRUE(dialogHidden);
  // Gone once the wait is over; nothing was sent during it.
  for (QWidget* w : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(qobject_cast<DiscoverySplash*>(w) != nullptr && w->isVisible());
  }
  EXPECT_TRUE(sender.sent.empty());
}

}  // namespace
}  // namespace chromaset::test
