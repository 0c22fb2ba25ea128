// A fixture definition of the open fixture library (QLC+'s .qxf files, read by definition_file),
// and the one rule that turns a mode's channels into the roles of a ChannelLayout, used by the
// window and the command line alike.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "channel_layout.h"

namespace chromaset {

// One <Channel> of a definition, as the file gives it.
struct DefinitionChannel {
  std::string name;
  std::string preset;     // "IntensityRed", "ShutterStrobeSlowFast", ...; empty when none
  std::string group;      // the older form: "Intensity", "Shutter", ...; empty when none
  std::string colour;     // the older form: "Red", "Cyan", ... (with group Intensity)
  bool fineByte = false;  // the older form: <Group Byte="1">
  int defaultValue = -1;  // Default="..." 0-255; -1 when the file gives none
  int shutterOpen = -1;   // Min of the first capability with Preset="ShutterOpen"; -1 when none
};

// One <Mode>: its channels in DMX order, as indexes into FixtureDefinition::channels.
struct DefinitionMode {
  std::string name;
  std::vector<int> channels;
  int heads = 0;  // <Head> elements, for display
};

struct FixtureDefinition {
  std::string manufacturer, model, type;
  std::vector<DefinitionChannel> channels;  // a name defined twice counts by its first definition
  std::vector<DefinitionMode> modes;
};

// What the rule gives one channel:
//  - red, green, blue, white intensity: R, G, B, W; amber, UV (and other colour intensities): 0;
//  - cyan, magenta, yellow intensity: 255 - R, G, B (after white is added);
//  - master dimmer, dimmer intensity (and the older form's Intensity without a colour): 255;
//  - a fine channel of those: its coarse channel's low byte (value x 257);
//  - a shutter channel (group Shutter, or a "Shutter..." preset): its shutterOpen value, else 0;
//  - every other channel: its default, else 0.
// A preset wins over the group; a colour outside the Intensity group makes no colour channel;
// colour and dimmer channels ignore a default; other fine channels take their own default.
LayoutChannel ResolveChannel(const DefinitionChannel& channel);

// The layout of mode (text empty; hasWhite when the mode has a white channel). False with
// reason when Chromaset cannot colour it: without coarse red, green and blue intensity, and
// without coarse cyan, magenta and yellow ("no red, green and blue intensity, and no cyan,
// magenta and yellow"); out is then unchanged.
bool ResolveMode(const FixtureDefinition& definition, const DefinitionMode& mode,
                 ChannelLayout& out, std::string& reason);

// The role's name alone: "fixed", "red", ..., "dimmer".
std::string_view RoleName(ChannelRole role);
// What a channel's role reads as in a list: "red", "red fine", "dimmer 255", "fixed 10".
std::string RoleText(const LayoutChannel& channel);

}  // namespace chromaset
