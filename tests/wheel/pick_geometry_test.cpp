#include "pick_geometry.h"

#include <gtest/gtest.h>

#include <climits>

namespace chromaset {
namespace {

TEST(PickGeometry, MarginFollowsTheControlSize) {
  EXPECT_TRUE(PassesPickMargin(5, 5, 300, 300));
  EXPECT_TRUE(PassesPickMargin(294, 294, 300, 300));
  EXPECT_FALSE(PassesPickMargin(4, 150, 300, 300));
  EXPECT_FALSE(PassesPickMargin(150, 4, 300, 300));
  EXPECT_FALSE(PassesPickMargin(295, 150, 300, 300));
  EXPECT_FALSE(PassesPickMargin(150, 295, 300, 300));
  EXPECT_TRUE(PassesPickMargin(14, 14, 20, 20));
  EXPECT_FALSE(PassesPickMargin(15, 10, 20, 20));
  // Extreme sizes must not wrap the upper bound.
  EXPECT_FALSE(PassesPickMargin(5, 5, INT_MIN, INT_MIN));
  EXPECT_TRUE(PassesPickMargin(INT_MAX - 6, 5, INT_MAX, 300));
}

TEST(PickGeometry, RingIncludesBothCirclesAndLogoSquareIsOpen) {
  EXPECT_TRUE(OnPickRing(250, 150));  // distance exactly 100
  EXPECT_TRUE(OnPickRing(5, 150));    // distance exactly 145
  EXPECT_TRUE(OnPickRing(295, 150));  // on the ring; the margin is what refuses it
  EXPECT_FALSE(OnPickRing(249, 150));
  EXPECT_FALSE(OnPickRing(4, 150));
  EXPECT_FALSE(OnPickRing(INT_MIN, INT_MIN));
  EXPECT_FALSE(OnPickRing(INT_MAX, 150));
  int onRing = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 300; ++x) onRing += OnPickRing(x, y) ? 1 : 0;
  }
  // The drawn ring's 34592 pixels plus the 20 and 36 pixels of its two circles.
  EXPECT_EQ(onRing, 34592 + 20 + 36);

  EXPECT_TRUE(InLogoSquare(150, 150));
  EXPECT_TRUE(InLogoSquare(101, 101));
  EXPECT_TRUE(InLogoSquare(199, 199));
  EXPECT_FALSE(InLogoSquare(100, 150));
  EXPECT_FALSE(InLogoSquare(150, 100));
  EXPECT_FALSE(InLogoSquare(200, 150));
  EXPECT_FALSE(InLogoSquare(150, 200));
  EXPECT_FALSE(OnPickRing(100, 150));  // (100, 150) is in neither
}

TEST(PickGeometry, MovesPickOnlyWithTheLeftButtonAlone) {
  EXPECT_TRUE(MovePicks(0x0001));
  EXPECT_FALSE(MovePicks(0x0005));  // + Shift
  EXPECT_FALSE(MovePicks(0x0009));  // + Ctrl
  EXPECT_FALSE(MovePicks(0x0003));  // + right button
  EXPECT_FALSE(MovePicks(0x0011));  // + middle button
  EXPECT_FALSE(MovePicks(0));
}

}  // namespace
}  // namespace chromaset
