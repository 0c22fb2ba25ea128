// The wheel's pure parts: colour arithmetic, where a point lands, and the picture with its marker.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <memory>
#include <vector>

#include "colour.h"
#include "pick_geometry.h"
#include "wheel_image.h"

namespace chromaset {

// Hues wrap once either way; the levels at the exact edges of HueToChannel's ranges show.
TEST(Colour, ChannelsTruncateTowardZeroAndBadInputGivesBlack) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double h, l, s;
    PackedRgb bgr;  // red in the low byte
  } cases[] = {{0.0, 0.5, 1.0, 0x0000FF},   {0.5, 0.5, 1.0, 0xFFFE00},  {0.25, 0.5, 1.0, 0x00FF7F},
               {-0.25, 0.5, 1.0, 0xFF007F}, {0.75, 0.5, 1.0, 0xFF007F}, {0.0, 0.25, 1.0, 0x00007F},
               {0.0, 0.75, 1.0, 0x7F7FFF},  {0.9, 0.5, 0.0, 0x7F7F7F},  {0.3, 0.0, 0.5, 0},
               {nan, nan, nan, 0},          {0.0, inf, 0.0, 0},         {0.0, 1e300, 1.0, 0}};
  for (const auto& c : cases) EXPECT_EQ(HslToRgb(c.h, c.l, c.s), c.bgr) << c.h << " " << c.l;
}

TEST(PickGeometry, MarginRingAndLogoSquare) {
  const struct {
    int x, y;
    int margin, ring, logo;  // margin for a 300 x 300 control
  } cases[] = {{5, 150, 1, 1, 0},   {4, 150, 0, 0, 0},   {295, 150, 0, 1, 0}, {294, 294, 1, 0, 0},
               {150, 5, 1, 1, 0},   {150, 4, 0, 0, 0},   {150, 295, 0, 1, 0}, {250, 150, 1, 1, 0},
               {249, 150, 1, 0, 0}, {150, 150, 1, 0, 1}, {101, 101, 1, 0, 1}, {199, 199, 1, 0, 1},
               {100, 150, 1, 0, 0}, {150, 100, 1, 0, 0}, {200, 150, 1, 0, 0}, {150, 200, 1, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(PassesPickMargin(c.x, c.y, 300, 300), c.margin == 1) << c.x << "," << c.y;
    EXPECT_EQ(OnPickRing(c.x, c.y), c.ring == 1) << c.x << "," << c.y;
    EXPECT_EQ(InLogoSquare(c.x, c.y), c.logo == 1) << c.x << "," << c.y;
  }
  EXPECT_FALSE(PassesPickMargin(5, 5, INT_MIN, INT_MIN));  // no wrap at extreme sizes
  EXPECT_FALSE(OnPickRing(INT_MIN, INT_MIN));
}

int SquaredDistance(int x, int y) { return (x - 150) * (x - 150) + (y - 150) * (y - 150); }

// The display is the base with one disc of radius 5 (excluded) cleared, clipped to the picture:
// checked against the plain full-picture algorithm after the build and at points along and past
// the edges.
TEST(WheelImage, RingOverTheBackgroundAndOneMarker) {
  auto wheel = std::make_unique<WheelImage>();
  std::vector<WheelPixel> pattern(kWheelPixels);  // junk in the top byte, which is dropped
  for (int k = 0; k < kWheelPixels; ++k) pattern[k] = static_cast<std::uint32_t>(k) * 2654435761u;
  wheel->BuildWheel(pattern.data());
  for (int k = 0; k < kWheelPixels; ++k) {  // the ring covers the open annulus, nothing else
    const int d = SquaredDistance(k % kWheelSize, k / kWheelSize);
    ASSERT_EQ(wheel->BasePixels()[k] == (pattern[k] & 0xFFFFFFu), d <= 100 * 100 || d >= 145 * 145)
        << k;
  }
  std::vector<std::pair<int, int>> points = {{0, 0}, {120, 130}, {123, 131}};  // build, overlap
  for (int e : {-5, -4, -1, 0, 4, 5, 150, 294, 295, 299, 300, 303, 304, INT_MIN, INT_MAX})
    points.insert(points.end(),
                  {{e, e}, {e, e != INT_MIN ? 299 - e : INT_MAX}, {e, 150}, {150, e}});
  for (std::size_t n = 0; n < points.size(); ++n) {
    const auto [x, y] = points[n];
    const bool inside = x >= 0 && x < kWheelSize && y >= 0 && y < kWheelSize;
    const WheelPixel* base = wheel->BasePixels();
    // Sampled from the base, as PackedRgb (the build's own marker is checked as it stands).
    EXPECT_EQ(n > 0 ? wheel->DrawMarker(x, y) : SwapRedBlue(base[0]),
              inside ? SwapRedBlue(base[y * kWheelSize + x]) : 0u);
    for (int k = 0; k < kWheelPixels; ++k) {
      const double dx = k % kWheelSize - static_cast<double>(x);
      const double dy = k / kWheelSize - static_cast<double>(y);
      ASSERT_EQ(wheel->DisplayPixels()[k], dx * dx + dy * dy < 25 ? 0u : base[k])
          << x << "," << y << " at " << k;
    }
  }
  // Hue runs clockwise from red on the right; no picture gives black around the ring.
  EXPECT_EQ(wheel->DrawMarker(251, 150), 0x0000FFu);
  EXPECT_EQ(wheel->DrawMarker(251, 150), 0x0000FFu);  // not the marker's own black
  EXPECT_EQ(wheel->DrawMarker(150, 251), 0x00FF7Fu);
  EXPECT_EQ(wheel->DrawMarker(49, 150), 0xFFFE00u);
  wheel->BuildWheel(nullptr);
  EXPECT_EQ(wheel->BasePixels()[0] | wheel->BasePixels()[kWheelPixels - 1], 0u);
  EXPECT_EQ(wheel->DrawMarker(150, 49), 0xFF007Fu);
}

}  // namespace chromaset
