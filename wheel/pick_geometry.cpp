#include "pick_geometry.h"

#include <cstdint>

namespace chromaset {

namespace {

constexpr int kPickCentre = 150;
constexpr int kPickMargin = 5;
constexpr std::int64_t kPickInnerRadius = 100;  // included
constexpr std::int64_t kPickOuterRadius = 145;  // included
constexpr int kLogoLow = 100;                   // excluded
constexpr int kLogoHigh = 200;                  // excluded

}  // namespace

bool PassesPickMargin(int x, int y, int width, int height) {
  // 64-bit so that an extreme control size cannot wrap the upper bound.
  return x >= kPickMargin && static_cast<std::int64_t>(x) < std::int64_t{width} - kPickMargin &&
         y >= kPickMargin && static_cast<std::int64_t>(y) < std::int64_t{height} - kPickMargin;
}

bool OnPickRing(int x, int y) {
  const std::int64_t dx = std::int64_t{x} - kPickCentre;
  const std::int64_t dy = std::int64_t{y} - kPickCentre;
  // Beyond the outer radius on one axis the point is off the ring; this also keeps the squares
  // below from overflowing for far-away points.
  if (dx < -kPickOuterRadius || dx > kPickOuterRadius || dy < -kPickOuterRadius ||
      dy > kPickOuterRadius) {
    return false;
  }
  const std::int64_t d = dx * dx + dy * dy;
  return d >= kPickInnerRadius * kPickInnerRadius && d <= kPickOuterRadius * kPickOuterRadius;
}

bool InLogoSquare(int x, int y) {
  return x > kLogoLow && x < kLogoHigh && y > kLogoLow && y < kLogoHigh;
}

bool MovePicks(std::uint32_t keyFlags) { return keyFlags == MK_LBUTTON; }

}  // namespace chromaset
