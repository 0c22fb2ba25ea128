// HSL to RGB conversion and the two 32-bit colour layouts of the wheel.
#pragma once

#include <cstdint>

namespace chromaset {

using PackedRgb = std::uint32_t;   // 0x00BBGGRR: red in the low byte
using WheelPixel = std::uint32_t;  // 0x00RRGGBB: bytes in memory blue, green, red, 0

// Exchanges bits 0-7 with bits 16-23, keeps 8-15, clears 24-31 (PackedRgb <-> WheelPixel).
std::uint32_t SwapRedBlue(std::uint32_t value);
// One channel level for hue position t (turns) between the low and high levels p and q.
double HueToChannel(double p, double q, double t);
// Hue in turns, lightness and saturation 0..1, in that order; channels truncated toward zero.
PackedRgb HslToRgb(double hue, double lightness, double saturation);

}  // namespace chromaset
