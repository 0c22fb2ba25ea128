// Pointer input on the wheel: which presses and drags pick, what a pick changes, and the logo.
#include <QDesktopServices>
#include <QLabel>
#include <QUrl>

#include <gtest/gtest.h>

#include "window_rig.h"

namespace chromaset::test {
namespace {

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

WheelPixel BaseAt(const Rig& rig, QPoint p) {
  return rig.dlg.Wheel().BasePixels()[p.y() * 300 + p.x()];
}
WheelPixel DisplayAt(const Rig& rig, QPoint p) {
  return rig.dlg.Wheel().DisplayPixels()[p.y() * 300 + p.x()];
}
// Red, Green and Blue of the picture at p, and White as it was.
std::vector<int> Picked(const Rig& rig, QPoint p, int white) {
  const WheelPixel c = BaseAt(rig, p);
  return {int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), white};
}

TEST(Pointer, LeftPressesAndLeftOnlyDragsPickOnTheRingInsideTheMargin) {
  Rig rig;
  CWheelDlg& dlg = rig.dlg;
  dlg.SliderWhite()->setValue(33);
  rig.Press({251, 150});
  EXPECT_EQ(rig.Sliders(), (std::vector{255, 0, 0, 33}));
  EXPECT_NE(DisplayAt(rig, {251, 150}), BaseAt(rig, {251, 150}));  // the marker moved there
  // Picking the same colour again repaints Red, Green and Blue, so it sends again.
  Settle();
  rig.sender.sent.clear();
  rig.Press({251, 150});
  Settle();
  EXPECT_GE(rig.sender.sent.size(), 3u);

  // Drags pick only with the left button alone; each point gives the colour under it.
  const std::pair<Qt::MouseButtons, Qt::KeyboardModifiers> noPick[] = {
      {Qt::LeftButton, Qt::ShiftModifier},
      {Qt::LeftButton, Qt::ControlModifier},
      {Qt::LeftButton | Qt::RightButton, {}},
      {Qt::LeftButton | Qt::MiddleButton, {}},
      {Qt::LeftButton | Qt::BackButton, {}},
      {Qt::LeftButton | Qt::ForwardButton, {}},
      {Qt::NoButton, {}}};
  for (const auto& [buttons, modifiers] : noPick) rig.Move({150, 251}, buttons, modifiers);
  EXPECT_EQ(rig.Sliders(), (std::vector{255, 0, 0, 33}));
  for (QPoint p : {QPoint(270, 150), QPoint(150, 30), QPoint(40, 160), QPoint(230, 240)}) {
    rig.Move(p, Qt::LeftButton);
    EXPECT_EQ(rig.Sliders(), Picked(rig, p, 33)) << p.x() << "," << p.y();
    // The label shows the picture with the marker.
    EXPECT_EQ(dlg.WheelPicture()->pixmap().toImage().pixel(p) & 0xFFFFFFu, 0u);
  }
  EXPECT_EQ(DisplayAt(rig, {270, 150}), BaseAt(rig, {270, 150}));  // the marker followed
  rig.Press({150, 251}, QEvent::MouseButtonDblClick);  // a double click's second press picks
  EXPECT_EQ(rig.Sliders(), Picked(rig, {150, 251}, 33));

  // Both circles are on the ring (the picture's own background there); the margin and the
  // outside are not.
  rig.Press({250, 150});
  EXPECT_EQ(rig.Sliders(), (std::vector{4, 4, 4, 33}));
  dlg.SliderRed()->setValue(1);
  rig.Press({5, 150});
  EXPECT_EQ(rig.Sliders(), (std::vector{4, 4, 4, 33}));
  dlg.SliderRed()->setValue(1);
  for (QPoint p : {QPoint(295, 150), QPoint(150, 295), QPoint(4, 150), QPoint(-3, 150)}) {
    rig.Press(p);
    rig.Move(p, Qt::LeftButton);
    EXPECT_EQ(rig.Sliders(), (std::vector{1, 4, 4, 33})) << p.x() << "," << p.y();
  }
}

TEST(Pointer, TheLogoOpensTheHomePageOncePerClickAndPicksNothing) {
  UrlCatcher urls;
  Rig rig;
  rig.dlg.SliderRed()->setValue(7);
  const std::vector<WheelPixel> before(rig.dlg.Wheel().DisplayPixels(),
                                       rig.dlg.Wheel().DisplayPixels() + kWheelPixels);
  rig.Press({150, 150});
  rig.Press({101, 199});
  rig.Press({100, 150});  // the logo's edge and the gap before the ring do nothing
  rig.Press({150, 200});
  ASSERT_EQ(urls.opened.size(), 2);
  EXPECT_EQ(urls.opened[0], QUrl("https://chromaset.example/"));
  rig.Press({150, 150}, QEvent::MouseButtonDblClick);  // the second press of a double click
  rig.Move({150, 150}, Qt::LeftButton);                // and drags over the logo
  EXPECT_EQ(urls.opened.size(), 2);
  EXPECT_EQ(rig.Sliders(), (std::vector{7, 0, 0, 0}));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), rig.dlg.Wheel().DisplayPixels()));
}

}  // namespace
}  // namespace chromaset::test

#include "pointer_test.moc"
