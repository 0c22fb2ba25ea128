// The wheel's pure parts: colour arithmetic, where a point lands, and the picture with its marker.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "colour.h"
#include "pick_geometry.h"
#include "wheel_image.h"

namespace chromaset {
namespace {

constexpr PackedRgb Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | g << 8 | b << 16;
}

TEST(Colour, ChannelsTruncateTowardZeroAndBadInputGivesBlack) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double h, l, s;
    PackedRgb rgb;
  } cases[] = {{0.0, 0.5, 1.0, Rgb(255, 0, 0)},
               {0.5, 0.5, 1.0, Rgb(0, 254, 255)},
               {0.25, 0.5, 1.0, Rgb(127, 255, 0)},
               {-0.25, 0.5, 1.0, Rgb(127, 0, 255)},
               {0.0, 0.75, 1.0, Rgb(255, 127, 127)},
               {0.0, 0.25, 1.0, Rgb(127, 0, 0)},
               {0.9, 0.5, 0.0, Rgb(127, 127, 127)},
               {0.2, 1.0, 0.0, Rgb(255, 255, 255)},
               {0.3, 0.0, 0.5, 0},
               {nan, nan, nan, 0},
               {0.0, inf, 0.0, 0},
               {0.0, 1e300, 1.0, 0}};
  for (const auto& c : cases) EXPECT_EQ(HslToRgb(c.h, c.l, c.s), c.rgb) << c.h << " " << c.l;
  EXPECT_EQ(SwapRedBlue(0xFF123456u), 0x00563412u);
}

TEST(Colour, HueToChannelWrapsOnceAndComparesStrictly) {
  const struct {
    double p, q, t, level;
  } cases[] = {{0.2, 0.8, 0.0, 0.2},
               {0.2, 0.8, 1.0, 0.2},
               {0.2, 0.8, -0.25, 0.2},
               {0.2, 0.8, 1.25, 0.8},
               {0.0, 1.0, 1.0 / 6, 1.0},
               {0.0, 1.0, 0.5, 0.9999999999999998},
               {0.0, 1.0, 0.6666666666666666, 0.0},
               {0.0, 1.0, 1.0 / 12, 0.5}};
  for (const auto& c : cases) EXPECT_EQ(HueToChannel(c.p, c.q, c.t), c.level) << c.t;
}

TEST(PickGeometry, MarginRingAndLogoSquare) {
  const struct {
    int x, y;
    bool margin, ring, logo;  // margin for a 300 x 300 control
  } cases[] = {{5, 150, true, true, false},    {4, 150, false, false, false},
               {295, 150, false, true, false}, {294, 294, true, false, false},
               {150, 5, true, true, false},    {150, 4, false, false, false},
               {150, 295, false, true, false}, {250, 150, true, true, false},
               {249, 150, true, false, false}, {150, 150, true, false, true},
               {101, 101, true, false, true},  {199, 199, true, false, true},
               {100, 150, true, false, false}, {150, 100, true, false, false},
               {200, 150, true, false, false}, {150, 200, true, false, false}};
  for (const auto& c : cases) {
    EXPECT_EQ(PassesPickMargin(c.x, c.y, 300, 300), c.margin) << c.x << "," << c.y;
    EXPECT_EQ(OnPickRing(c.x, c.y), c.ring) << c.x << "," << c.y;
    EXPECT_EQ(InLogoSquare(c.x, c.y), c.logo) << c.x << "," << c.y;
  }
  EXPECT_TRUE(PassesPickMargin(14, 14, 20, 20));
  EXPECT_FALSE(PassesPickMargin(15, 10, 20, 20));
  EXPECT_FALSE(PassesPickMargin(5, 5, INT_MIN, INT_MIN));  // no wrap at extreme sizes
  EXPECT_TRUE(PassesPickMargin(INT_MAX - 6, 5, INT_MAX, 300));
  EXPECT_FALSE(OnPickRing(INT_MIN, INT_MIN));
  EXPECT_FALSE(OnPickRing(INT_MAX, 150));
  int onRing = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 300; ++x) onRing += OnPickRing(x, y) ? 1 : 0;
  }
  EXPECT_EQ(onRing, 34592 + 20 + 36);  // the drawn ring plus both of its circles
}

// Not a ring colour (those have a channel at 0 and one at 254 or 255).
constexpr WheelPixel kGrey = 0x00040404u;

int SquaredDistance(int x, int y) { return (x - 150) * (x - 150) + (y - 150) * (y - 150); }

TEST(WheelImage, RingCoversTheOpenAnnulusClockwiseFromRed) {
  auto wheel = std::make_unique<WheelImage>();
  const std::vector<WheelPixel> grey(kWheelPixels, 0xA5000000u | kGrey);  // top byte dropped
  wheel->BuildWheel(grey.data());
  for (int k = 0; k < kWheelPixels; ++k) {
    const int d = SquaredDistance(k % kWheelSize, k / kWheelSize);
    ASSERT_EQ(wheel->BasePixels()[k] != kGrey, d > 100 * 100 && d < 145 * 145) << k;
  }
  // Sampled as PackedRgb from the base, also where the marker already stands.
  EXPECT_EQ(wheel->DrawMarker(251, 150), Rgb(255, 0, 0));
  EXPECT_EQ(wheel->DrawMarker(251, 150), Rgb(255, 0, 0));
  EXPECT_EQ(wheel->DrawMarker(150, 251), Rgb(127, 255, 0));
  EXPECT_EQ(wheel->DrawMarker(150, 49), Rgb(127, 0, 255));
  EXPECT_EQ(wheel->DrawMarker(49, 150), Rgb(0, 254, 255));
  wheel->BuildWheel(nullptr);
  EXPECT_EQ(wheel->BasePixels()[0], 0u);
  EXPECT_EQ(wheel->BasePixels()[150 * kWheelSize + 251], 0x00FF0000u);
}

// The display is the base with one disc of radius 5 (excluded) cleared, clipped to the picture:
// checked against the plain full-picture algorithm after the build and at many points.
TEST(WheelImage, MarkerMatchesTheFullPictureAlgorithm) {
  auto wheel = std::make_unique<WheelImage>();
  std::vector<WheelPixel> pattern(kWheelPixels);
  for (int k = 0; k < kWheelPixels; ++k) pattern[k] = static_cast<std::uint32_t>(k) * 2654435761u;
  wheel->BuildWheel(pattern.data());
  for (int k = 0; k < kWheelPixels; ++k) {  // outside the ring the picture is the background
    const int d = SquaredDistance(k % kWheelSize, k / kWheelSize);
    if (d <= 100 * 100 || d >= 145 * 145) {
      ASSERT_EQ(wheel->BasePixels()[k], pattern[k] & 0xFFFFFFu);
    }
  }
  std::vector<std::pair<int, int>> points = {{0, 0}};  // the build's own marker
  std::mt19937 random(20261206u);
  std::uniform_int_distribution<int> coordinate(-8, 307);
  for (int k = 0; k < 300; ++k) points.emplace_back(coordinate(random), coordinate(random));
  for (int e : {-5, -4, -1, 0, 4, 5, 150, 294, 295, 299, 300, 303, 304, INT_MIN, INT_MAX}) {
    points.insert(points.end(), {{e, e}, {e, 299 - e}, {e, 150}, {150, e}});
  }
  for (std::size_t n = 0; n < points.size(); ++n) {
    const auto [x, y] = points[n];
    const bool inside = x >= 0 && x < kWheelSize && y >= 0 && y < kWheelSize;
    const WheelPixel* base = wheel->BasePixels();
    if (n > 0) {
      EXPECT_EQ(wheel->DrawMarker(x, y), inside ? SwapRedBlue(base[y * kWheelSize + x]) : 0u);
    }
    for (int k = 0; k < kWheelPixels; ++k) {
      const double dx = k % kWheelSize - static_cast<double>(x);
      const double dy = k / kWheelSize - static_cast<double>(y);
      ASSERT_EQ(wheel->DisplayPixels()[k], dx * dx + dy * dy < 25 ? 0u : base[k])
          << x << "," << y << " at " << k;
    }
  }
}

}  // namespace
}  // namespace chromaset
