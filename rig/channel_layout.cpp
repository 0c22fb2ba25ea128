#include "channel_layout.h"

#include <algorithm>

namespace chromaset {

namespace {

struct Letter {
  char coarse;
  ChannelRole role;
};

// Amber, UV and '-' are channels Chromaset leaves at 0: fixed channels of value 0. A fine byte
// may follow A and U too (16-bit amber exists); it is 0 like its coarse channel.
constexpr Letter kLetters[] = {
    {'R', ChannelRole::kRed},    {'G', ChannelRole::kGreen}, {'B', ChannelRole::kBlue},
    {'W', ChannelRole::kWhite},  {'A', ChannelRole::kFixed}, {'U', ChannelRole::kFixed},
    {'D', ChannelRole::kDimmer}, {'-', ChannelRole::kFixed},
};

const Letter* FindLetter(char c) {
  for (const Letter& letter : kLetters)
    if (letter.coarse == c) return &letter;
  return nullptr;
}

bool IsFineLetter(char c) {
  return c == 'r' || c == 'g' || c == 'b' || c == 'w' || c == 'd' || c == 'a' || c == 'u';
}

char Upper(char c) { return static_cast<char>(c - 'a' + 'A'); }

// The letter as the reason shows it: quoted when printable, else its byte value.
std::string Shown(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte > 0x20 && byte < 0x7F) return std::string("\"") + c + "\"";
  return "byte " + std::to_string(byte);
}

// 1-based position of byte index in text, counting UTF-8 characters, not bytes.
std::size_t CharacterPosition(std::string_view text, std::size_t index) {
  std::size_t position = 1;
  for (std::size_t i = 0; i < index; ++i)
    if ((static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U) ++position;
  return position;
}

}  // namespace

bool ParseLayout(std::string_view text, ChannelLayout& out, std::string& reason) {
  if (text.empty()) {
    reason = "The layout is empty: give one letter per channel, such as RGBW.";
    return false;
  }
  if (text.size() > kDmxChannels) {
    reason = "The layout has " + std::to_string(text.size()) +
             " letters; a fixture has at most 512 channels.";
    return false;
  }
  ChannelLayout parsed;
  parsed.text = std::string(text);
  parsed.channels.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto where = [&] {
      return "Letter " + std::to_string(CharacterPosition(text, i)) + " of the layout, " +
             Shown(c) + ",";
    };
    if (IsFineLetter(c)) {
      if (i == 0 || text[i - 1] != Upper(c)) {
        reason = where() + " is a fine byte but does not follow its channel \"" + Upper(c) + "\".";
        return false;
      }
      LayoutChannel fine = parsed.channels.back();
      fine.fine = true;
      parsed.channels.push_back(fine);
      continue;
    }
    const Letter* letter = FindLetter(c);
    if (letter == nullptr) {
      reason = where() +
               " is not a channel letter: R G B W A U D or -, or r g b w a u d for the fine "
               "byte right after its channel.";
      return false;
    }
    parsed.channels.push_back({letter->role, false, 0});
    if (letter->role == ChannelRole::kWhite) parsed.hasWhite = true;
  }
  out = std::move(parsed);
  return true;
}

void RenderChannels(const ChannelLayout& layout, const Rgbw& colour, std::uint8_t* out) {
  // A fixture without a white channel shows white by raising R, G and B, so RGB and RGBW
  // fixtures side by side look alike.
  const int raise = layout.hasWhite ? 0 : colour[3];
  const auto raised = [raise](std::uint8_t value) {
    return static_cast<std::uint8_t>(std::min(255, value + raise));
  };
  const std::uint8_t red = raised(colour[0]);
  const std::uint8_t green = raised(colour[1]);
  const std::uint8_t blue = raised(colour[2]);
  // The value of each role, in the order of ChannelRole (kFixed takes the channel's own).
  const auto complement = [](std::uint8_t value) { return static_cast<std::uint8_t>(255 - value); };
  const std::uint8_t byRole[] = {
      0, red, green, blue, colour[3], complement(red), complement(green), complement(blue), 255};
  static_assert(static_cast<std::size_t>(ChannelRole::kDimmer) + 1 == sizeof byRole);
  // A fine byte carries value x 257 together with its coarse byte, so both equal the value.
  for (const LayoutChannel& c : layout.channels) {
    const auto role = static_cast<std::size_t>(c.role);
    *out++ = c.role == ChannelRole::kFixed ? c.fixed : role < sizeof byRole ? byRole[role] : 0;
  }
}

}  // namespace chromaset
