#include "colour.h"

namespace chromaset {

namespace {

constexpr double kOneThird = 0.3333333333333333;
constexpr double kTwoThirds = 0.6666666666666666;

// A level scaled to 0..255, truncated toward zero; the channel is the low 8 bits of that
// integer. Levels that no integer can hold (NaN, infinities, out-of-range input) give 0 rather
// than an undefined conversion.
std::uint32_t ChannelFromLevel(double level) {
  const double scaled = level * 255.0;
  if (!(scaled > -2147483648.0 && scaled < 2147483648.0)) {
    return 0;
  }
  const auto whole = static_cast<std::int32_t>(scaled);  // truncates toward zero
  return static_cast<std::uint32_t>(whole) & 0xFFu;
}

}  // namespace

std::uint32_t SwapRedBlue(std::uint32_t value) {
  return ((value & 0x000000FFu) << 16) | (value & 0x0000FF00u) | ((value & 0x00FF0000u) >> 16);
}

double HueToChannel(double p, double q, double t) {
  if (t < 0.0) {
    t += 1.0;
  }
  if (t > 1.0) {
    t -= 1.0;
  }
  if (6.0 * t < 1.0) {
    return p + ((q - p) * t) * 6.0;
  }
  if (2.0 * t < 1.0) {
    return q;
  }
  if (3.0 * t < 2.0) {
    return p + ((q - p) * (kTwoThirds - t)) * 6.0;
  }
  return p;
}

PackedRgb HslToRgb(double hue, double lightness, double saturation) {
  std::uint32_t red = 0;
  std::uint32_t green = 0;
  std::uint32_t blue = 0;
  if (saturation == 0.0) {
    red = green = blue = ChannelFromLevel(lightness);
  } else {
    const double q = lightness <= 0.5 ? lightness * (1.0 + saturation)
                                      : (lightness + saturation) - lightness * saturation;
    const double p = 2.0 * lightness - q;
    red = ChannelFromLevel(HueToChannel(p, q, hue + kOneThird));
    green = ChannelFromLevel(HueToChannel(p, q, hue));
    blue = ChannelFromLevel(HueToChannel(p, q, hue - kOneThird));
  }
  return red | (green << 8) | (blue << 16);
}

}  // namespace chromaset
