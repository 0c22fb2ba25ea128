// A fixture's channel layout: one letter per DMX channel, in order ("RGBW", "DdRGBW", "RGBWAU").
// The letters say what each channel carries for the fixture's colour (R, G, B, W): R G B W the
// colour itself, A (amber) and U (UV) and '-' nothing (0), D a dimmer at full; a lower-case
// letter right after its upper-case one is that channel's 16-bit fine byte.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dmx_patch.h"

namespace chromaset {

// What one channel carries. Cyan, magenta and yellow are the complements of red, green and
// blue; kFixed channels hold their fixed value whatever the colour.
enum class ChannelRole : std::uint8_t {
  kFixed,
  kRed,
  kGreen,
  kBlue,
  kWhite,
  kCyan,
  kMagenta,
  kYellow,
  kDimmer,
};

struct LayoutChannel {
  ChannelRole role = ChannelRole::kFixed;
  bool fine = false;       // the low byte of the 16-bit value (value x 257): equal to the coarse
  std::uint8_t fixed = 0;  // the value of a kFixed channel
  bool operator==(const LayoutChannel&) const = default;
};

struct ChannelLayout {
  std::string text;  // as entered: "DdRGBW"; empty for a layout made from a definition
  std::vector<LayoutChannel> channels;
  bool hasWhite = false;  // without a white channel, white is raised into R, G and B
  int Count() const { return static_cast<int>(channels.size()); }
};

inline constexpr std::array<std::string_view, 8> kCommonLayouts = {
    "RGBW", "RGB", "RGBWA", "RGBWAU", "DRGB", "DRGBW", "RGBWD", "DdRGBW"};

// Reads a layout of 1-512 letters. False, with reason (one English sentence naming the letter
// and its position), for an unknown letter, a fine byte without its coarse channel right
// before it, or an empty or over-long layout; out is then unchanged.
bool ParseLayout(std::string_view text, ChannelLayout& out, std::string& reason);

// The value of every channel of layout for colour, into out[0 .. layout.Count()).
void RenderChannels(const ChannelLayout& layout, const Rgbw& colour, std::uint8_t* out);

}  // namespace chromaset
