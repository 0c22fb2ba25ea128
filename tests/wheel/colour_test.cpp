#include "colour.h"

#include <gtest/gtest.h>

#include <limits>

namespace chromaset {
namespace {

PackedRgb Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

TEST(HslToRgb, EdgeValuesTruncateTowardZero) {
  EXPECT_EQ(HslToRgb(0.0, 0.5, 1.0), 0x000000FFu);          // red
  EXPECT_EQ(HslToRgb(0.5, 0.5, 1.0), Rgb(0, 254, 255));     // cyan: green level 0.99999..
  EXPECT_EQ(HslToRgb(0.25, 0.5, 1.0), Rgb(127, 255, 0));    // red level 0.5000000000000002
  EXPECT_EQ(HslToRgb(-0.25, 0.5, 1.0), Rgb(127, 0, 255));   // the wheel's upper half
  EXPECT_EQ(HslToRgb(0.0, 0.75, 1.0), Rgb(255, 127, 127));  // q 1.0, p 0.5
  EXPECT_EQ(HslToRgb(0.0, 0.25, 1.0), Rgb(127, 0, 0));      // q 0.5, p 0.0
  // Greys: saturation 0 whatever the hue.
  EXPECT_EQ(HslToRgb(0.9, 0.5, 0.0), Rgb(127, 127, 127));  // 127.5 truncated
  EXPECT_EQ(HslToRgb(0.2, 1.0, 0.0), Rgb(255, 255, 255));
  EXPECT_EQ(HslToRgb(0.3, 0.0, 0.5), 0u);

  // Input no channel can be made of gives some colour, never undefined behaviour.
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(HslToRgb(nan, nan, nan) & 0xFF000000u, 0u);
  EXPECT_EQ(HslToRgb(0.0, std::numeric_limits<double>::infinity(), 0.0), 0u);
  EXPECT_EQ(HslToRgb(0.0, 1e300, 1.0) & 0xFF000000u, 0u);
}

TEST(HueToChannel, WrapAndStrictComparisons) {
  const double p = 0.2;
  const double q = 0.8;
  EXPECT_EQ(HueToChannel(p, q, 0.0), p);
  EXPECT_EQ(HueToChannel(p, q, 1.0), p);  // exactly 1 is not wrapped and falls through to p
  EXPECT_EQ(HueToChannel(p, q, -0.25), HueToChannel(p, q, 0.75));
  EXPECT_EQ(HueToChannel(p, q, 0.75), p);
  EXPECT_EQ(HueToChannel(p, q, 1.25), HueToChannel(p, q, 0.25));
  EXPECT_EQ(HueToChannel(p, q, 0.25), q);
  EXPECT_EQ(HueToChannel(0.0, 1.0, 1.0 / 6.0), 1.0);           // 6t = 1: the plateau already
  EXPECT_EQ(HueToChannel(0.0, 1.0, 0.5), 0.9999999999999998);  // 2t = 1: the falling edge
  EXPECT_EQ(HueToChannel(0.0, 1.0, 0.6666666666666666), 0.0);  // 3t = 2: the floor
  EXPECT_DOUBLE_EQ(HueToChannel(0.0, 1.0, 1.0 / 12.0), 0.5);
}

TEST(SwapRedBlue, ExchangesOuterBytesAndClearsTop) {
  EXPECT_EQ(SwapRedBlue(0x000000FFu), 0x00FF0000u);
  EXPECT_EQ(SwapRedBlue(0x00FF0000u), 0x000000FFu);
  EXPECT_EQ(SwapRedBlue(0xFF123456u), 0x00563412u);
}

}  // namespace
}  // namespace chromaset
