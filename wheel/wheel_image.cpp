#include "wheel_image.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace chromaset {

namespace {

constexpr int kRingInnerSquared = 100 * 100;  // excluded
constexpr int kRingOuterSquared = 145 * 145;  // excluded
constexpr double kRadiansToTurns = 0.1591549430918955;
constexpr double kRingLightness = 0.5;
constexpr double kRingSaturation = 1.0;
constexpr int kMarkerRadius = 5;  // excluded
constexpr std::int64_t kMarkerRadiusSquared = std::int64_t{kMarkerRadius} * kMarkerRadius;
constexpr WheelPixel kMarkerColour = 0;
constexpr WheelPixel kPixelMask = 0x00FFFFFFu;

// Row-major index of a point already known to lie inside the image.
constexpr std::size_t PixelIndex(std::int64_t x, std::int64_t y) {
  return static_cast<std::size_t>(y) * kWheelSize + static_cast<std::size_t>(x);
}

}  // namespace

void WheelImage::BuildWheel(const WheelPixel* background) {
  if (background == nullptr) {
    m_basePixels.fill(0);
  } else {
    for (int k = 0; k < kWheelPixels; ++k) {
      m_basePixels[static_cast<std::size_t>(k)] = background[k] & kPixelMask;
    }
  }

  for (int y = 0; y < kWheelSize; ++y) {
    for (int x = 0; x < kWheelSize; ++x) {
      const int dx = x - kWheelCentre;
      const int dy = y - kWheelCentre;
      const int d = dx * dx + dy * dy;
      if (d > kRingInnerSquared && d < kRingOuterSquared) {
        const double hue =
            std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * kRadiansToTurns;
        m_basePixels[PixelIndex(x, y)] =
            SwapRedBlue(HslToRgb(hue, kRingLightness, kRingSaturation));
      }
    }
  }

  // The base changed everywhere, so the display starts again from a full copy.
  m_displayPixels = m_basePixels;
  m_hasMarker = false;
  DrawMarker(0, 0);
}

void WheelImage::PaintMarkerBox(int x, int y, bool restore) {
  // 64-bit so that points far outside the image cannot overflow.
  const std::int64_t cx = x;
  const std::int64_t cy = y;
  const std::int64_t top = std::max<std::int64_t>(0, cy - (kMarkerRadius - 1));
  const std::int64_t bottom = std::min<std::int64_t>(kWheelSize - 1, cy + (kMarkerRadius - 1));
  const std::int64_t left = std::max<std::int64_t>(0, cx - (kMarkerRadius - 1));
  const std::int64_t right = std::min<std::int64_t>(kWheelSize - 1, cx + (kMarkerRadius - 1));
  for (std::int64_t j = top; j <= bottom; ++j) {
    for (std::int64_t i = left; i <= right; ++i) {
      const std::int64_t di = i - cx;
      const std::int64_t dj = j - cy;
      if (di * di + dj * dj < kMarkerRadiusSquared) {
        const std::size_t k = PixelIndex(i, j);
        m_displayPixels[k] = restore ? m_basePixels[k] : kMarkerColour;
      }
    }
  }
}

PackedRgb WheelImage::DrawMarker(int x, int y) {
  // Same result as copying the whole base and testing every pixel against the disc: outside
  // the previous and the new marker the display already equals the base.
  if (m_hasMarker) {
    PaintMarkerBox(m_markerX, m_markerY, true);
  }
  PaintMarkerBox(x, y, false);
  m_markerX = x;
  m_markerY = y;
  m_hasMarker = true;

  if (x < 0 || x >= kWheelSize || y < 0 || y >= kWheelSize) {
    return 0;
  }
  // Sampled from the base, so the marker itself is never the answer.
  return SwapRedBlue(m_basePixels[PixelIndex(x, y)]);
}

}  // namespace chromaset
