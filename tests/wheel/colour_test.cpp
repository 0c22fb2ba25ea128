#include "colour.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace chromaset {
namespace {

std::uint32_t Blue(PackedRgb c) { return (c >> 16) & 0xFFu; }

PackedRgb Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

TEST(HslToRgb, FullySaturatedHuesTruncateTowardZero) {
  EXPECT_EQ(HslToRgb(0.0, 0.5, 1.0), 0x000000FFu);              // red
  EXPECT_EQ(HslToRgb(0.5, 0.5, 1.0), Rgb(0, 254, 255));         // cyan: green level 0.99999..
  EXPECT_EQ(HslToRgb(0.25, 0.5, 1.0), Rgb(127, 255, 0));        // red level 0.5000000000000002
  EXPECT_EQ(HslToRgb(1.0 / 3.0, 0.5, 1.0) & 0xFF00u, 0xFF00u);  // green plateau
  EXPECT_EQ(Blue(HslToRgb(2.0 / 3.0, 0.5, 1.0)), 255u);
  // Negative hues, as the wheel's upper half produces them.
  EXPECT_EQ(HslToRgb(-0.25, 0.5, 1.0), Rgb(127, 0, 255));
  EXPECT_EQ(HslToRgb(-0.5, 0.5, 1.0), HslToRgb(0.5, 0.5, 1.0));
}

TEST(HslToRgb, LightnessAboveAndBelowHalf) {
  EXPECT_EQ(HslToRgb(0.0, 0.75, 1.0), Rgb(255, 127, 127));  // q 1.0, p 0.5
  EXPECT_EQ(HslToRgb(0.0, 0.25, 1.0), Rgb(127, 0, 0));      // q 0.5, p 0.0
  EXPECT_EQ(HslToRgb(0.0, 1.0, 1.0), Rgb(255, 255, 255));
}

TEST(HslToRgb, GreysAndBlack) {
  for (double h : {0.0, 0.2, 0.5, 0.9, -0.4}) {
    EXPECT_EQ(HslToRgb(h, 0.5, 0.0), Rgb(127, 127, 127)) << h;  // 127.5 truncated
    EXPECT_EQ(HslToRgb(h, 1.0, 0.0), Rgb(255, 255, 255)) << h;
  }
  for (double s : {0.0, 0.3, 1.0}) {
    EXPECT_EQ(HslToRgb(0.3, 0.0, s), 0u) << s;
  }
}

TEST(HslToRgb, ResultNeverHasATopByteAndBadInputIsHarmless) {
  for (int k = -100; k <= 100; ++k) {
    const double h = k / 200.0;
    for (double l : {0.0, 0.1, 0.5, 0.9, 1.0}) {
      for (double s : {0.0, 0.5, 1.0}) {
        EXPECT_EQ(HslToRgb(h, l, s) & 0xFF000000u, 0u);
      }
    }
  }
  // No defined channel exists for these; the answer must simply be some colour, not a crash.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(HslToRgb(nan, nan, nan) & 0xFF000000u, 0u);
  EXPECT_EQ(HslToRgb(0.0, inf, 0.0), 0u);
  EXPECT_EQ(HslToRgb(0.0, 1e300, 1.0) & 0xFF000000u, 0u);
}

TEST(HueToChannel, WrapAndEdges) {
  const double p = 0.2;
  const double q = 0.8;
  EXPECT_EQ(HueToChannel(p, q, 0.0), p);
  EXPECT_EQ(HueToChannel(p, q, 1.0), p);  // exactly 1 is not wrapped and falls through to p
  EXPECT_EQ(HueToChannel(p, q, -0.25), HueToChannel(p, q, 0.75));
  EXPECT_EQ(HueToChannel(p, q, 0.75), p);
  EXPECT_EQ(HueToChannel(p, q, 1.25), HueToChannel(p, q, 0.25));
  EXPECT_EQ(HueToChannel(p, q, 0.25), q);  // plateau
  // 6t = 1 is not below 1: the plateau, not the rising edge.
  EXPECT_EQ(HueToChannel(0.0, 1.0, 1.0 / 6.0), 1.0);
  // 2t = 1 falls through to the falling edge, just below q.
  EXPECT_EQ(HueToChannel(0.0, 1.0, 0.5), 0.9999999999999998);
  EXPECT_LT(HueToChannel(0.0, 1.0, 0.5), 1.0);
  // Rising and falling edges meet the plateau and the floor.
  EXPECT_DOUBLE_EQ(HueToChannel(0.0, 1.0, 1.0 / 12.0), 0.5);
  EXPECT_NEAR(HueToChannel(0.0, 1.0, 0.5 + 1.0 / 12.0), 0.5, 1e-12);
  EXPECT_EQ(HueToChannel(0.0, 1.0, 0.6666666666666666), 0.0);
  EXPECT_EQ(HueToChannel(0.25, 1.0, 0.7), 0.25);
}

TEST(SwapRedBlue, ExchangesOuterBytesAndClearsTop) {
  EXPECT_EQ(SwapRedBlue(0x000000FFu), 0x00FF0000u);
  EXPECT_EQ(SwapRedBlue(0x00FF0000u), 0x000000FFu);
  EXPECT_EQ(SwapRedBlue(0xFF123456u), 0x00563412u);
  EXPECT_EQ(SwapRedBlue(0x0000AB00u), 0x0000AB00u);
  for (std::uint32_t v : {0x00010203u, 0x7F00FF80u, 0xFFFFFFFFu}) {
    EXPECT_EQ(SwapRedBlue(SwapRedBlue(v)), v & 0x00FFFFFFu);
  }
}

}  // namespace
}  // namespace chromaset
