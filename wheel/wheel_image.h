// The 300 x 300 colour wheel: the base picture with its hue ring, and the display copy with the
// marker drawn in.
#pragma once

#include <array>
#include <cstdint>

#include "colour.h"

namespace chromaset {

inline constexpr int kWheelSize = 300;
inline constexpr int kWheelPixels = kWheelSize * kWheelSize;
inline constexpr int kWheelCentre = 150;

class WheelImage {
 public:
  // Fills the base buffer from background (kWheelPixels pixels, top row first, top byte
  // ignored) or black when background is null, paints the hue ring and draws the first marker
  // at (0, 0).
  void BuildWheel(const WheelPixel* background);
  // Rebuilds the display buffer with the marker at (x, y); returns the base colour at (x, y) as
  // PackedRgb, 0 outside the image. Afterwards the display is the base with exactly one marker,
  // the disc of radius 5 (excluded) around (x, y), cleared to black and clipped to the image.
  PackedRgb DrawMarker(int x, int y);

  const WheelPixel* BasePixels() const { return m_basePixels.data(); }
  const WheelPixel* DisplayPixels() const { return m_displayPixels.data(); }

 private:
  // Writes the marker disc around (x, y) into the display (black), or restores that area from
  // the base. Only the 9 x 9 box around the point can change.
  void PaintMarkerBox(int x, int y, bool restore);

  std::array<WheelPixel, kWheelPixels> m_basePixels{};
  std::array<WheelPixel, kWheelPixels> m_displayPixels{};
  // Where the marker now stands in the display, so the next one needs to restore only that box.
  int m_markerX = 0;
  int m_markerY = 0;
  bool m_hasMarker = false;
};

}  // namespace chromaset
