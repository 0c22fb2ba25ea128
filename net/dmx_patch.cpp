#include "dmx_patch.h"

#include <charconv>
#include <cstring>

namespace chromaset {

namespace {

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

// One decimal part of a universe, digits only.
bool ParsePart(std::string_view text, int high, int& out) {
  if (text.empty() || text.size() > 3 || text[0] < '0' || text[0] > '9') return false;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return false;
  if (!InRange(value, 0, high)) return false;
  out = value;
  return true;
}

}  // namespace

bool IsValidPatch(const DmxPatch& patch) {
  return InRange(patch.net, 0, kMaxNet) && InRange(patch.subNet, 0, kMaxSubNet) &&
         InRange(patch.universe, 0, kMaxUniverse) && InRange(patch.start, 1, kMaxStartAddress);
}

int PortAddress(const DmxPatch& patch) {
  return (patch.net << 8) | (patch.subNet << 4) | patch.universe;
}

void WriteFixtureFrame(DmxFrame& frame, const DmxPatch& patch, const Rgbw& values) {
  const DmxPatch at = IsValidPatch(patch) ? patch : DmxPatch{};
  frame.Length = static_cast<std::uint16_t>(kDmxChannels);
  frame.Net = static_cast<std::uint8_t>(at.net);
  frame.SubUni = static_cast<std::uint8_t>((at.subNet << 4) | at.universe);
  std::memset(frame.Data, 0, sizeof frame.Data);
  std::memcpy(frame.Data + (at.start - 1), values.data(), values.size());
}

bool ParseUniverse(std::string_view text, DmxPatch& patch) {
  const auto first = text.find(':');
  if (first == std::string_view::npos) return false;
  const auto second = text.find(':', first + 1);
  if (second == std::string_view::npos) return false;
  DmxPatch parsed = patch;
  if (!ParsePart(text.substr(0, first), kMaxNet, parsed.net) ||
      !ParsePart(text.substr(first + 1, second - first - 1), kMaxSubNet, parsed.subNet) ||
      !ParsePart(text.substr(second + 1), kMaxUniverse, parsed.universe)) {
    return false;
  }
  patch = parsed;
  return true;
}

}  // namespace chromaset
