#include "fixture_definition.h"

#include <string_view>

namespace chromaset {

namespace {

// A colour the file names, by preset suffix ("IntensityRed") or by the older form's <Colour>.
// Amber, UV, lime and indigo are intensities Chromaset leaves dark: fixed 0.
struct NamedColour {
  std::string_view name;
  ChannelRole role;
};
constexpr NamedColour kColours[] = {
    {"Red", ChannelRole::kRed},
    {"Green", ChannelRole::kGreen},
    {"Blue", ChannelRole::kBlue},
    {"White", ChannelRole::kWhite},
    {"Cyan", ChannelRole::kCyan},
    {"Magenta", ChannelRole::kMagenta},
    {"Yellow", ChannelRole::kYellow},
    {"Dimmer", ChannelRole::kDimmer},
    {"MasterDimmer", ChannelRole::kDimmer},
    {"Amber", ChannelRole::kFixed},
    {"UV", ChannelRole::kFixed},
    {"Lime", ChannelRole::kFixed},
    {"Indigo", ChannelRole::kFixed},
};

const NamedColour* FindColour(std::string_view name) {
  for (const NamedColour& colour : kColours)
    if (colour.name == name) return &colour;
  return nullptr;
}

// A value the file does not give (-1) is 0.
LayoutChannel Fixed(int value) {
  return {ChannelRole::kFixed, false,
          static_cast<std::uint8_t>(value < 0 || value > 255 ? 0 : value)};
}

// A colour or dimmer channel: its role, fine or not; a colour Chromaset leaves dark is 0 in
// both bytes.
LayoutChannel Coloured(const NamedColour& colour, bool fine) {
  if (colour.role == ChannelRole::kFixed) return Fixed(0);
  return {colour.role, fine};
}

constexpr std::string_view kIntensity = "Intensity";
constexpr std::string_view kFine = "Fine";

}  // namespace

LayoutChannel ResolveChannel(const DefinitionChannel& channel) {
  const std::string_view preset = channel.preset;
  if (!preset.empty()) {
    if (preset.starts_with("Shutter")) return Fixed(channel.shutterOpen);
    if (preset.starts_with(kIntensity)) {
      std::string_view name = preset.substr(kIntensity.size());
      const bool fine = name.ends_with(kFine);
      if (fine) name.remove_suffix(kFine.size());
      // Hue, saturation, value and lightness are not colours of their own: they keep the default.
      if (const NamedColour* colour = FindColour(name)) return Coloured(*colour, fine);
    }
    return Fixed(channel.defaultValue);
  }
  if (channel.group == "Shutter") return Fixed(channel.shutterOpen);
  if (channel.group == kIntensity) {
    // The older form's Intensity without a colour is a dimmer; an unknown colour stays dark.
    if (channel.colour.empty()) return {ChannelRole::kDimmer, channel.fineByte};
    const NamedColour* colour = FindColour(channel.colour);
    if (colour == nullptr || colour->role == ChannelRole::kDimmer) return Fixed(0);
    return Coloured(*colour, channel.fineByte);
  }
  return Fixed(channel.defaultValue);
}

bool ResolveMode(const FixtureDefinition& definition, const DefinitionMode& mode,
                 ChannelLayout& out, std::string& reason) {
  ChannelLayout layout;
  layout.channels.reserve(mode.channels.size());
  // Coarse channels seen, by role, to tell whether Chromaset can colour the mode.
  bool coarse[static_cast<std::size_t>(ChannelRole::kDimmer) + 1] = {};
  for (const int index : mode.channels) {
    if (index < 0 || static_cast<std::size_t>(index) >= definition.channels.size()) {
      reason = "mode \"" + mode.name + "\" names a channel the definition does not have";
      return false;
    }
    const LayoutChannel channel = ResolveChannel(definition.channels[index]);
    if (!channel.fine) coarse[static_cast<std::size_t>(channel.role)] = true;
    if (channel.role == ChannelRole::kWhite) layout.hasWhite = true;
    layout.channels.push_back(channel);
  }
  const auto has = [&coarse](ChannelRole role) { return coarse[static_cast<std::size_t>(role)]; };
  const bool rgb = has(ChannelRole::kRed) && has(ChannelRole::kGreen) && has(ChannelRole::kBlue);
  const bool cmy =
      has(ChannelRole::kCyan) && has(ChannelRole::kMagenta) && has(ChannelRole::kYellow);
  if (!rgb && !cmy) {
    reason = "no red, green and blue intensity, and no cyan, magenta and yellow";
    return false;
  }
  out = std::move(layout);
  return true;
}

std::string_view RoleName(ChannelRole role) {
  // In the order of ChannelRole.
  static constexpr std::string_view kNames[] = {"fixed", "red",     "green",  "blue",  "white",
                                                "cyan",  "magenta", "yellow", "dimmer"};
  static_assert(std::size(kNames) == static_cast<std::size_t>(ChannelRole::kDimmer) + 1);
  const auto index = static_cast<std::size_t>(role);
  return index < std::size(kNames) ? kNames[index] : kNames[0];
}

std::string RoleText(const LayoutChannel& channel) {
  std::string text(RoleName(channel.role));
  if (channel.fine) text += " fine";
  if (channel.role == ChannelRole::kDimmer) text += " 255";
  if (channel.role == ChannelRole::kFixed)
    text.append(1, ' ').append(std::to_string(channel.fixed));
  return text;
}

}  // namespace chromaset
