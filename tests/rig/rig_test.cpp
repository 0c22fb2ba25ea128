// The rig model without files: layouts and the channels they render, the rules of where a fixture
// may stand, and the frame of each universe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "rig.h"

namespace chromaset {

using Bytes = std::vector<int>;

Bytes Render(const ChannelLayout& layout, const Rgbw& colour) {
  std::vector<std::uint8_t> out(static_cast<std::size_t>(layout.Count()) + 1, 0xAA);
  RenderChannels(layout, colour, out.data());
  EXPECT_EQ(out.back(), 0xAA) << "wrote past the layout";
  return Bytes(out.begin(), out.end() - 1);
}

Fixture Make(const char* name, const char* layout, int start, DmxPatch patch = {}) {
  Fixture fixture;
  fixture.name = name;
  patch.start = start;
  fixture.patch = patch;
  std::string reason;
  EXPECT_TRUE(ParseLayout(layout, fixture.layout, reason)) << reason;
  return fixture;
}

TEST(ChannelLayout, LettersRenderTheColourWhiteRaisesRgbWithoutAWhiteChannel) {
  const struct {
    const char* layout;
    Rgbw colour;
    Bytes channels;
  } cases[] = {
      {"RGBW", {10, 20, 30, 40}, {10, 20, 30, 40}},
      {"RGB", {10, 20, 30, 40}, {50, 60, 70}},
      {"RGB", {250, 0, 215, 40}, {255, 40, 255}},
      {"WBGR", {1, 2, 3, 4}, {4, 3, 2, 1}},
      {"DRGB", {0, 0, 0, 0}, {255, 0, 0, 0}},
      {"DdRGBW", {1, 2, 3, 4}, {255, 255, 1, 2, 3, 4}},
      {"RrGgBbWw", {1, 2, 3, 4}, {1, 1, 2, 2, 3, 3, 4, 4}},
      {"RGBWAU", {9, 9, 9, 9}, {9, 9, 9, 9, 0, 0}},
      {"AaUu-R", {9, 9, 9, 9}, {0, 0, 0, 0, 0, 18}},
  };
  for (const auto& c : cases) {
    ChannelLayout layout;
    std::string reason;
    ASSERT_TRUE(ParseLayout(c.layout, layout, reason)) << c.layout << ": " << reason;
    EXPECT_EQ(Render(layout, c.colour), c.channels) << c.layout;
  }
  // Complements follow the raised colour; fixed channels keep their value.
  ChannelLayout layout;
  for (auto role : {ChannelRole::kCyan, ChannelRole::kMagenta, ChannelRole::kYellow})
    layout.channels.push_back({role, false, 0});
  layout.channels.push_back({ChannelRole::kFixed, false, 7});
  EXPECT_EQ(Render(layout, {255, 0, 100, 10}), (Bytes{0, 245, 145, 7}));
  layout.hasWhite = true;
  EXPECT_EQ(Render(layout, {255, 0, 100, 10}), (Bytes{0, 255, 155, 7}));
}

TEST(ChannelLayout, RefusesWithTheLetterAndItsPositionAndLeavesTheLayout) {
  const struct {
    std::string text;
    const char* mentions;
  } cases[] = {
      {"", "empty"},
      {"RGBX", "Letter 4 of the layout, \"X\","},
      {"rRGB", "Letter 1 of the layout, \"r\", is a fine byte"},
      {"RgB", "follow its channel \"G\""},
      {"Rrr", "Letter 3"},
      {"-d", "Letter 2"},
      {"RGB W", "byte 32"},
      {"R\xC3\xA9G", "Letter 2"},
      {std::string(513, 'R'), "513 letters"},
  };
  for (const auto& c : cases) {
    ChannelLayout layout;
    std::string reason;
    ASSERT_TRUE(ParseLayout(std::string(512, 'D'), layout, reason));
    ASSERT_TRUE(ParseLayout("RGBW", layout, reason));
    EXPECT_FALSE(ParseLayout(c.text, layout, reason)) << c.text;
    EXPECT_NE(reason.find(c.mentions), std::string::npos) << c.text << ": " << reason;
    EXPECT_EQ(layout.text, "RGBW");
  }
}

TEST(Rig, RefusesNamesPlacesAndOverlapsNamingTheFieldAndChangesNothing) {
  const DmxPatch other{1, 2, 3, 1};
  const struct {
    Fixture fixture;
    const char* mentions;  // empty: accepted
  } cases[] = {
      {Make("Par", "RGBW", 5), ""},
      {Make("Par", "RGBW", 1, other), ""},
      {Make("Par", "W", 512), ""},
      {Make("Éclairage €€ ☀☀ 🎉🎉\xF4\x8F\xBF\xBF éééééééééééé", "RGBW", 5), ""},
      {Make("", "RGBW", 5), "name: must have 1 to 32 characters, not 0"},
      {Make("123456789012345678901234567890123", "RGBW", 5), "name:"},
      {Make("Par\xC3", "RGBW", 5), "name: is not valid UTF-8"},
      {Make("\xED\xA0\x80", "RGBW", 5), "name: is not valid UTF-8"},
      {Make("A\xE0\x80\xAF", "RGBW", 5), "name: is not valid UTF-8"},
      {Fixture{"Par", {0, 0, 0, 5}, {}, {}, "", "", ""}, "layout: has no channels"},
      {Make("Par\n2", "RGBW", 5), "name:"},
      {Make("Par", "RGBW", 0), "address: must be 1-512, not 0"},
      {Make("Par", "RGBW", 510), "address: 510 leaves no room for 4 channels"},
      {Make("Par", "RGBW", 1, {128, 0, 0, 1}), "universe: Net"},
      {Make("Par", "RGBW", 1, {0, 16, 0, 1}), "universe: Sub-Net"},
      {Make("Par", "RGBW", 1, {0, 0, -1, 1}), "universe: Universe"},
      {Make("Par", "RGBW", 4), "address: channels 4-7 overlap fixture 1 (\"Fixture 1\")"},
  };
  for (const auto& c : cases) {
    Rig rig;
    std::string reason;
    const bool accepted = *c.mentions == '\0';
    EXPECT_EQ(rig.Add(c.fixture, reason), accepted) << c.fixture.name << " " << reason;
    EXPECT_EQ(rig.Count(), accepted ? 2 : 1);
    EXPECT_NE(reason.find(c.mentions), std::string::npos) << reason;  // "" is found at 0
    // The same rules when it replaces the only fixture, which it cannot overlap.
    Rig alone;
    EXPECT_EQ(alone.Replace(0, c.fixture, reason),
              accepted || std::strstr(c.mentions, "overlap") != nullptr)
        << reason;
  }
}

TEST(Rig, NextFreeAddressFollowsTheLastFixtureOnItsUniverse) {
  const DmxPatch other{0, 0, 1, 1};
  const struct {
    std::vector<Fixture> added;
    int channels, next;
  } cases[] = {
      {{}, 4, 5},
      {{}, 508, 5},
      {{}, 509, 0},
      {{Make("Far", "RGBW", 505)}, 4, 509},
      {{Make("Far", "RGBW", 505)}, 5, 0},
      {{Make("U1", "RGB", 7, other)}, 4, 10},
      {{Make("Far", "RGBW", 9), Make("Low", "RGB", 5)}, 2, 13},
  };
  for (const auto& c : cases) {
    Rig rig;
    std::string reason;
    for (const Fixture& f : c.added) ASSERT_TRUE(rig.Add(f, reason)) << reason;
    EXPECT_EQ(rig.NextFreeAddress(c.channels), c.next) << c.added.size() << " " << c.channels;
  }
}

TEST(Rig, AddSeveralNumbersThemInARowOrChangesNothing) {
  Rig rig;
  std::string reason;
  ASSERT_TRUE(AddSeveral(rig, Make("Par", "RGBW", 5), 3, reason)) << reason;
  ASSERT_EQ(rig.Count(), 4);
  EXPECT_EQ(rig.At(3).name, "Par 3");
  EXPECT_EQ(rig.At(3).patch.start, 13);
  const struct {
    Fixture prototype;
    int count;
    const char* mentions;
  } refused[] = {{Make("Par", "RGBW", 17), 125, "up to 516; a universe ends at 512"},
                 {Make("Par", "RGBW", 9), 2, "fixture \"Par 1\": address: channels 9-12 overlap"},
                 {Make("Par", "D", 1, {0, 0, 1, 1}), 509, "count:"},
                 {Make("Par", "D", 1, {0, 0, 1, 1}), 0, "count:"},
                 {Make("abcdefghijklmnopqrstuvwxyzABCD", "D", 100), 10,
                  "\"abcdefghijklmnopqrstuvwxyzABCD 10\": name:"}};
  for (const auto& c : refused) {
    EXPECT_FALSE(AddSeveral(rig, c.prototype, c.count, reason));
    EXPECT_NE(reason.find(c.mentions), std::string::npos) << reason;
    EXPECT_EQ(rig.Count(), 4);
  }
  EXPECT_TRUE(AddSeveral(rig, Make("Par", "RGBW", 17), 124, reason)) << reason;
  EXPECT_TRUE(AddSeveral(rig, Make("Solo", "D", 1, {0, 0, 1, 1}), 1, reason)) << reason;
  // Filled to 512, the rig takes no more; emptied, it keeps one fixture.
  ASSERT_TRUE(AddSeveral(rig, Make("Dim", "D", 2, {0, 0, 1, 1}), 383, reason)) << reason;
  EXPECT_FALSE(rig.Add(Make("Dim", "D", 1, {0, 1, 0, 1}), reason));
  EXPECT_NE(reason.find("full"), std::string::npos);
  EXPECT_FALSE(rig.Replace(kMaxFixtures, Make("Dim", "D", 1, {0, 2, 0, 1}), reason));
  for (int i = 0; i < kMaxFixtures; ++i) rig.Remove(0);
  EXPECT_EQ(rig.Count(), 1);
}

// The wire must not change for the default rig.
TEST(Rig, DefaultRigFrameIsTheSingleFixtureFrameAndEachUniverseHoldsOnlyItsFixtures) {
  for (const Rgbw colour : {Rgbw{0, 0, 0, 0}, Rgbw{255, 128, 7, 0}, Rgbw{1, 2, 3, 255}}) {
    Rig rig;
    rig.SetColour(0, colour);
    DmxFrame fromRig, single;
    std::memset(fromRig.Data, 0x55, sizeof fromRig.Data);
    rig.WriteFrame(rig.Universes().at(0), fromRig);
    WriteFixtureFrame(single, DmxPatch{}, colour);
    EXPECT_EQ(std::memcmp(&fromRig, &single, sizeof single), 0);  // DmxFrame has no padding
  }
  // With more fixtures, each universe's frame holds only its own.
  Rig rig;
  std::string reason;
  ASSERT_TRUE(rig.Add(Make("Far", "DRGB", 509, {1, 2, 3, 1}), reason));
  ASSERT_TRUE(rig.Add(Make("Near", "RGB", 5), reason));
  rig.SetColour(1, {10, 20, 30, 40});
  rig.SetColour(2, {1, 2, 3, 4});
  rig.SetColour(7, {9, 9, 9, 9});  // no such fixture: ignored
  EXPECT_EQ(rig.Universes(), (std::vector<int>{0, 0x123}));
  DmxFrame frame;
  rig.WriteFrame(0x123, frame);
  EXPECT_EQ(frame.Net, 1);
  EXPECT_EQ(frame.SubUni, 0x23);
  EXPECT_EQ(Bytes(frame.Data + 507, frame.Data + 512), (Bytes{0, 255, 50, 60, 70}));
  EXPECT_EQ(std::count(frame.Data, frame.Data + 508, 0), 508);
  rig.WriteFrame(0, frame);
  EXPECT_EQ(Bytes(frame.Data, frame.Data + 9), (Bytes{0, 0, 0, 0, 5, 6, 7, 0, 0}));
}

}  // namespace chromaset
