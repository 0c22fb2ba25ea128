// Pointer input on the wheel: which presses and drags pick, what a pick changes, and the logo.
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QSlider>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "pick_geometry.h"
#include "window_test_support.h"

namespace chromaset::test {
namespace {

// Counts the pages the dialog asks the desktop to open.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  UrlCatcher() { QDesktopServices::setUrlHandler("https", this, "Open"); }
  ~UrlCatcher() override { QDesktopServices::unsetUrlHandler("https"); }
  QList<QUrl> opened;
 public slots:
  void Open(const QUrl& url) { opened.push_back(url); }
};

struct Rgbw {
  int r, g, b, w;
  bool operator==(const Rgbw&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Rgbw& c) {
  return os << c.r << "," << c.g << "," << c.b << "," << c.w;
}

Rgbw Sliders(const CWheelDlg& dlg) {
  return {dlg.SliderRed()->value(), dlg.SliderGreen()->value(), dlg.SliderBlue()->value(),
          dlg.SliderWhite()->value()};
}

WheelPixel DisplayAt(const CWheelDlg& dlg, int x, int y) {
  return dlg.Wheel().DisplayPixels()[y * kWheelSize + x];
}

// The picture shown by the label, as 0x00RRGGBB.
WheelPixel ShownAt(const CWheelDlg& dlg, int x, int y) {
  const QImage shown = dlg.WheelPicture()->pixmap().toImage();
  return shown.pixel(x, y) & 0xFFFFFFu;
}

void Press(CWheelDlg& dlg, QPoint wheelPoint) {
  const QPoint p = WheelToDialog(dlg, wheelPoint);
  SendMouse(&dlg, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
}

void Move(CWheelDlg& dlg, QPoint wheelPoint, Qt::MouseButtons buttons,
          Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  SendMouse(&dlg, QEvent::MouseMove, WheelToDialog(dlg, wheelPoint), Qt::NoButton, buttons,
            modifiers);
}

TEST(Pointer, PressOnTheRingPicksMovesTheMarkerAndSends) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  dlg.SliderWhite()->setValue(33);
  Settle();

  EXPECT_EQ(dlg.WheelPicture()->size(), QSize(300, 300));
  rig.sender.sent.clear();
  Press(dlg, {251, 150});
  EXPECT_EQ(Sliders(dlg), (Rgbw{255, 0, 0, 33}));
  // The marker is drawn there, and the label shows the new picture.
  EXPECT_NE(DisplayAt(dlg, 251, 150), dlg.Wheel().BasePixels()[150 * kWheelSize + 251]);
  EXPECT_EQ(ShownAt(dlg, 251, 150), DisplayAt(dlg, 251, 150) & 0xFFFFFFu);
  // The sliders repaint and the frame goes out with the colour and the old White.
  Settle();
  ASSERT_GE(rig.sender.sent.size(), 3u);
  EXPECT_EQ(rig.sender.sent.back().channels, (std::array<std::uint8_t, 4>{255, 0, 0, 33}));

  // Picking the same colour again still repaints the three sliders, so it sends again.
  PaintCounter counter;
  for (QSlider* s : {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue()}) {
    s->installEventFilter(&counter);
  }
  rig.sender.sent.clear();
  Press(dlg, {251, 150});
  Settle();
  EXPECT_GE(counter.paints, 3);
  EXPECT_EQ(static_cast<int>(rig.sender.sent.size()), counter.paints);
  for (QSlider* s : {dlg.SliderRed(), dlg.SliderGreen(), dlg.SliderBlue()}) {
    s->removeEventFilter(&counter);
  }
}

TEST(Pointer, RingEdgesAndMargins) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  dlg.SliderRed()->setValue(1);
  dlg.SliderGreen()->setValue(2);
  dlg.SliderBlue()->setValue(3);

  // On the inner circle (distance 100) and at the far left (145): the picture's own 4, 4, 4.
  Press(dlg, {250, 150});
  EXPECT_EQ(Sliders(dlg), (Rgbw{4, 4, 4, 0}));
  dlg.SliderRed()->setValue(1);
  Press(dlg, {5, 150});
  EXPECT_EQ(Sliders(dlg), (Rgbw{4, 4, 4, 0}));

  // 145 to the right fails the margin; outside the picture nothing happens either.
  dlg.SliderRed()->setValue(1);
  const std::vector<WheelPixel> before(dlg.Wheel().DisplayPixels(),
                                       dlg.Wheel().DisplayPixels() + kWheelPixels);
  for (QPoint p : {QPoint(295, 150), QPoint(150, 295), QPoint(-3, 150), QPoint(4, 150)}) {
    Press(dlg, p);
    Move(dlg, p, Qt::LeftButton);
    EXPECT_EQ(Sliders(dlg), (Rgbw{1, 4, 4, 0})) << p.x() << "," << p.y();
  }
  EXPECT_TRUE(std::equal(before.begin(), before.end(), dlg.Wheel().DisplayPixels()));
}

TEST(Pointer, LogoOpensTheHomePageOnceAndNothingElse) {
  UrlCatcher urls;
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  dlg.SliderRed()->setValue(7);
  const std::vector<WheelPixel> before(dlg.Wheel().DisplayPixels(),
                                       dlg.Wheel().DisplayPixels() + kWheelPixels);

  Press(dlg, {150, 150});
  ASSERT_EQ(urls.opened.size(), 1);
  EXPECT_EQ(urls.opened[0], QUrl("https://chromaset.example/"));
  Press(dlg, {101, 101});
  EXPECT_EQ(urls.opened.size(), 2);
  // Neither the logo's edge nor the gap before the ring does anything.
  Press(dlg, {100, 150});
  Press(dlg, {150, 200});
  EXPECT_EQ(urls.opened.size(), 2);

  // A double click is press, release, double-click, release: one page.
  const QPoint p = WheelToDialog(dlg, {150, 150});
  urls.opened.clear();
  SendMouse(&dlg, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  SendMouse(&dlg, QEvent::MouseButtonDblClick, p, Qt::LeftButton, Qt::LeftButton);
  SendMouse(&dlg, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(urls.opened.size(), 1);

  // Dragging over the logo never opens it.
  Move(dlg, {150, 150}, Qt::LeftButton);
  Move(dlg, {120, 170}, Qt::LeftButton);
  EXPECT_EQ(urls.opened.size(), 1);

  EXPECT_EQ(Sliders(dlg), (Rgbw{7, 0, 0, 0}));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), dlg.Wheel().DisplayPixels()));
}

TEST(Pointer, DragsPickOnlyWithTheLeftButtonAlone) {
  DialogRig rig;
  rig.Start();
  CWheelDlg& dlg = *rig.dialog;
  dlg.SliderRed()->setValue(9);

  // Shift, Ctrl, a second button, or no button: no pick.
  Move(dlg, {251, 150}, Qt::LeftButton, Qt::ShiftModifier);
  Move(dlg, {251, 150}, Qt::LeftButton, Qt::ControlModifier);
  Move(dlg, {251, 150}, Qt::LeftButton | Qt::RightButton);
  Move(dlg, {251, 150}, Qt::LeftButton | Qt::MiddleButton);
  Move(dlg, {251, 150}, Qt::LeftButton | Qt::BackButton);
  Move(dlg, {251, 150}, Qt::LeftButton | Qt::ForwardButton);
  Move(dlg, {251, 150}, Qt::NoButton);
  EXPECT_EQ(Sliders(dlg), (Rgbw{9, 0, 0, 0}));

  // The left button alone picks along the ring, each point with the colour under it.
  WheelImage reference;
  QImage background(":/chromaset/wheel.bmp");
  background = background.convertToFormat(QImage::Format_RGB32);
  reference.BuildWheel(reinterpret_cast<const WheelPixel*>(background.constBits()));
  for (QPoint p : {QPoint(270, 150), QPoint(150, 30), QPoint(40, 160), QPoint(230, 240)}) {
    Move(dlg, p, Qt::LeftButton);
    const PackedRgb expected = reference.DrawMarker(p.x(), p.y());
    EXPECT_EQ(Sliders(dlg), (Rgbw{int(expected & 0xFF), int((expected >> 8) & 0xFF),
                                  int((expected >> 16) & 0xFF), 0}))
        << p.x() << "," << p.y();
    EXPECT_EQ(ShownAt(dlg, p.x(), p.y()), DisplayAt(dlg, p.x(), p.y()) & 0xFFFFFFu);
  }
  // The marker followed: only the last point carries it.
  EXPECT_EQ(DisplayAt(dlg, 270, 150), dlg.Wheel().BasePixels()[150 * kWheelSize + 270]);
}

}  // namespace
}  // namespace chromaset::test

#include "pointer_test.moc"
