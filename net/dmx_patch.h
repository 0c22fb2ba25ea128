// Where the fixture sits: its universe (Net, Sub-Net, Universe) and the first of its four
// channels (R, G, B, W). Shared by the window and the command line, so both put the same bytes
// on the wire for the same values and patch.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "artnet_packets.h"

namespace chromaset {

inline constexpr int kMaxNet = 127;
inline constexpr int kMaxSubNet = 15;
inline constexpr int kMaxUniverse = 15;
inline constexpr int kFixtureChannels = 4;  // R, G, B, W
inline constexpr int kMaxStartAddress = static_cast<int>(kDmxChannels) - kFixtureChannels + 1;

struct DmxPatch {
  int net = 0;
  int subNet = 0;
  int universe = 0;
  int start = 1;  // DMX address of Red, 1-based
  bool operator==(const DmxPatch&) const = default;
};

// R, G, B, W in that order.
using Rgbw = std::array<std::uint8_t, kFixtureChannels>;

// Every field in its range: Net 0-127, Sub-Net and Universe 0-15, start 1-509.
bool IsValidPatch(const DmxPatch& patch);

// The 15-bit Port-Address: Net in bits 14-8, Sub-Net in 7-4, Universe in 3-0.
int PortAddress(const DmxPatch& patch);

// Makes frame the full 512-channel frame for values at patch: the fixture's four channels
// from the start address on, every other channel 0. An invalid patch writes the default one.
void WriteFixtureFrame(DmxFrame& frame, const DmxPatch& patch, const Rgbw& values);

// "NET:SUB:UNI" with each part decimal and in range; false leaves patch unchanged.
bool ParseUniverse(std::string_view text, DmxPatch& patch);

}  // namespace chromaset
