// Pointer input on the wheel: which presses and drags pick, what a pick changes, and the logo.
#include <QDesktopServices>
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

TEST(Pointer, LeftPressesAndLeftOnlyDragsPickOnTheRingInsideTheMargin) {
  Rig rig;
  const WheelImage& wheel = rig.dlg.Wheel();
  const auto at = [](QPoint p) { return p.y() * kWheelSize + p.x(); };
  // Red, Green and Blue of the picture under p, White as it was.
  const auto picked = [&](QPoint p) {
    const WheelPixel c = wheel.BasePixels()[at(p)];
    return std::vector<int>{int(c >> 16 & 0xFF), int(c >> 8 & 0xFF), int(c & 0xFF), 33};
  };
  rig.dlg.SliderWhite()->setValue(33);
  rig.Press({251, 150});
  EXPECT_EQ(rig.Sliders(), (std::vector{255, 0, 0, 33}));
  Settle();
  rig.sender.sent.clear();
  rig.Press({251, 150});  // the same colour again still repaints Red, Green and Blue: it sends
  Settle();
  EXPECT_GE(rig.sender.sent.size(), 3u);
  const std::pair<Qt::MouseButtons, Qt::KeyboardModifiers> noPick[] = {
      {Qt::LeftButton, Qt::ShiftModifier},
      {Qt::LeftButton, Qt::ControlModifier},
      {Qt::LeftButton | Qt::RightButton, {}},
      {Qt::LeftButton | Qt::MiddleButton, {}},
      {Qt::LeftButton | Qt::BackButton, {}},
      {Qt::LeftButton | Qt::ForwardButton, {}},
      {Qt::NoButton, {}}};
  for (const auto& [buttons, keys] : noPick)
    rig.Mouse(QEvent::MouseMove, {150, 251}, buttons, keys);
  EXPECT_EQ(rig.Sliders(), (std::vector{255, 0, 0, 33}));
  for (QPoint p : {QPoint(270, 150), QPoint(150, 30), QPoint(40, 160), QPoint(230, 240)}) {
    rig.Mouse(QEvent::MouseMove, p, Qt::LeftButton);
    EXPECT_EQ(rig.Sliders(), picked(p)) << p.x() << "," << p.y();
    // The marker stands there, and the label shows it.
    EXPECT_EQ(wheel.DisplayPixels()[at(p)], 0u);
    EXPECT_EQ(rig.dlg.WheelPicture()->pixmap().toImage().pixel(p) & 0xFFFFFFu, 0u);
  }
  EXPECT_EQ(wheel.DisplayPixels()[at({270, 150})], wheel.BasePixels()[at({270, 150})]);
  rig.Press({150, 251}, QEvent::MouseButtonDblClick);  // a double click's second press picks
  EXPECT_EQ(rig.Sliders(), picked({150, 251}));
  rig.Press({250, 150});  // the inner circle is on the ring: the picture's own grey there
  EXPECT_EQ(rig.Sliders(), (std::vector{4, 4, 4, 33}));
  rig.dlg.SliderRed()->setValue(1);
  rig.Press({295, 150});  // on the ring too, but inside the margin: nothing
  EXPECT_EQ(rig.Sliders(), (std::vector{1, 4, 4, 33}));
}

TEST(Pointer, TheLogoOpensTheHomePageOncePerClickAndPicksNothing) {
  UrlCatcher urls;
  Rig rig;
  rig.dlg.SliderRed()->setValue(7);
  for (QPoint p : {QPoint(150, 150), QPoint(101, 199), QPoint(100, 150), QPoint(150, 200)}) {
    rig.Press(p);  // the logo's edge and the gap before the ring do nothing
  }
  rig.Press({150, 150}, QEvent::MouseButtonDblClick);        // the second press of a double click
  rig.Mouse(QEvent::MouseMove, {150, 150}, Qt::LeftButton);  // and drags over the logo
  EXPECT_EQ(urls.opened,
            (QList<QUrl>{QUrl("https://chromaset.example/"), QUrl("https://chromaset.example/")}));
  EXPECT_EQ(rig.Sliders(), (std::vector{7, 0, 0, 0}));
}

}  // namespace
}  // namespace chromaset::test

#include "pointer_test.moc"
