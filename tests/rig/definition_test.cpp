// Fixture definitions: what the bytes of a mode are for a colour, in both forms of the file,
// every bad file refused with its reason, and the installed library read whole.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <cstring>
#include <sstream>

#include "definition_file.h"

namespace chromaset {

// The kinds of channel the files give, newer form (Preset) and older (Group, Colour), a name
// defined twice ("R") and a shutter with two "open" capabilities.
const char* const kChannels = R"(
<Channel Name="R" Preset="IntensityRed"/><Channel Name="G" Preset="IntensityGreen"/>
<Channel Name="B" Preset="IntensityBlue"/><Channel Name="W" Preset="IntensityWhite"/>
<Channel Name="R" Preset="IntensityBlue"/>
<Channel Name="D" Preset="IntensityMasterDimmer" Default="9"/>
<Channel Name="Rf" Preset="IntensityRedFine"/><Channel Name="Bf" Preset="IntensityBlueFine"/>
<Channel Name="Df" Preset="IntensityDimmerFine"/>
<Channel Name="Pf" Preset="PositionPanFine" Default="7"/>
<Channel Name="Af" Preset="IntensityAmberFine" Default="7"/>
<Channel Name="U" Preset="IntensityUV" Default="99"/><Channel Name="C" Preset="IntensityCyan"/>
<Channel Name="M" Preset="IntensityMagenta"/><Channel Name="Y" Preset="IntensityYellow"/>
<Channel Name="P" Preset="PositionPan" Default="128"/>
<Channel Name="H" Preset="IntensityHue" Default="20"/>
<Channel Name="X" Preset="Speed" Default="300"/><Channel Name="Z" Default="x"/>
<Channel Name="r" Default="3"><Group Byte="0">Intensity</Group><Colour>Red</Colour></Channel>
<Channel Name="g"><Group Byte="0">Intensity</Group><Colour>Green</Colour></Channel>
<Channel Name="b"><Group>Intensity</Group><Colour>Blue</Colour></Channel>
<Channel Name="gf"><Group Byte="1">Intensity</Group><Colour>Green</Colour></Channel>
<Channel Name="d"><Group Byte="0">Intensity</Group></Channel>
<Channel Name="a" Default="99"><Group Byte="0">Intensity</Group><Colour>Amber</Colour></Channel>
<Channel Name="c" Default="6"><Group Byte="0">Colour</Group><Colour>Green</Colour></Channel>
<Channel Name="S" Default="5">
<Group Byte="0">Shutter</Group> <Capability Min="0" Max="9" Preset="ShutterClose"/>
<Capability Min="240" Preset="ShutterOpen"/> <Capability Min="250" Max="255" Preset="ShutterOpen"/>
</Channel>
<Channel Name="T" Preset="ShutterStrobeSlowFast" Default="9"/>
<Channel Name="Rs" Preset="IntensityRed"><Group Byte="0">Shutter</Group></Channel>
<Channel Name="Tp" Preset="PositionTilt" Default="4"><Group>Intensity</Group><Colour>Red</Colour>
</Channel>
)";

std::string Repeated(int count, const char* text) {
  return QString(text).repeated(count).toStdString();
}

// A definition of the given channels and one mode "m" of the names, separated by blanks.
QByteArray Definition(const std::string& channels, const std::string& names) {
  std::string xml =
      "<!DOCTYPE FixtureDefinition>\n"
      "<FixtureDefinition xmlns=\"http://www.qlcplus.org/FixtureDefinition\">\n"
      "<Type>Dimmer</Type><Model>Par</Model><Manufacturer>Maker</Manufacturer>\n" +
      channels + "\n<Mode Name=\"m\">";
  std::istringstream words(names);
  for (std::string name; words >> name;) xml += "<Channel>" + name + "</Channel>";
  return QByteArray::fromStdString(xml + "</Mode>\n</FixtureDefinition>\n");
}

TEST(Definition, ModeBytesForAColour) {
  const struct {
    const char* mode;
    Rgbw colour;
    std::vector<int> bytes;  // empty: the mode cannot be coloured
  } cases[] = {
      {"D R G B W", {255, 128, 1, 7}, {255, 255, 128, 1, 7}},  // white channel: no raise
      {"r g b d", {10, 20, 30, 5}, {15, 25, 35, 255}},         // older form, white raised
      {"R Rf g gf B Df Pf Af", {200, 100, 50, 0}, {200, 200, 100, 100, 50, 255, 7, 0}},
      {"R G B R G B", {1, 2, 3, 0}, {1, 2, 3, 1, 2, 3}},  // two heads
      {"S T R G B", {0, 0, 0, 0}, {240, 0, 0, 0, 0}},     // shutter open over default
      {"C M Y", {200, 100, 0, 50}, {5, 105, 205}},        // after the white raise
      {"R G B P H X Z a U", {1, 2, 3, 0}, {1, 2, 3, 128, 20, 0, 0, 0, 0}},  // defaults
      {"Rs Tp c G B", {9, 8, 7, 0}, {9, 4, 6, 8, 7}},                       // preset over group
      {"Rf gf Bf", {}, {}},                                                 // fine bytes alone
      {"C M B", {}, {}},
  };
  FixtureDefinition definition;
  QString error;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    ASSERT_TRUE(ReadDefinition(Definition(kChannels, c.mode), definition, error))
        << error.toStdString();
    ChannelLayout layout;
    std::string reason;
    if (!ResolveMode(definition, definition.modes.at(0), layout, reason)) {
      EXPECT_EQ(reason, "no red, green and blue intensity, and no cyan, magenta and yellow");
      EXPECT_TRUE(c.bytes.empty() && layout.channels.empty());
      continue;
    }
    std::vector<std::uint8_t> bytes(layout.channels.size());
    RenderChannels(layout, c.colour, bytes.data());
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.end()), c.bytes);
  }
}

TEST(Definition, FieldsAndRoleTexts) {
  FixtureDefinition definition;
  QString error;
  // A second shutter finds its own "open"; an older-form colour Chromaset does not know is dark.
  const std::string more = R"(<Channel Name="e" Default="255"/><Channel Name="f" Default="256"/>
<Channel Name="o" Default="0"><Group>Shutter</Group><Capability Min="9" Preset="ShutterOpen"/>
</Channel><Channel Name="p"><Group>Intensity</Group><Colour>Pink</Colour></Channel>
<Mode Name="h"><Head/><Head/></Mode>)";
  ASSERT_TRUE(
      ReadDefinition(Definition(kChannels + more, "Rf Df Pf Af a e f Z o p"), definition, error));
  std::string text = definition.type + " " + std::to_string(definition.modes[0].heads);
  for (const int index : definition.modes[1].channels) {
    const DefinitionChannel& channel = definition.channels[index];
    text += ", " + channel.name + " " + RoleText(ResolveChannel(channel)) + " " +
            std::to_string(channel.defaultValue);
  }
  EXPECT_EQ(text,
            "Dimmer 2, Rf red fine -1, Df dimmer fine 255 -1, Pf fixed 7 7, Af fixed 0 7, "
            "a fixed 0 99, e fixed 255 255, f fixed 0 -1, Z fixed 0 -1, o fixed 9 0, p fixed 0 -1");
  // A mode made by hand naming a channel past the end is refused, never read.
  definition.modes[1].channels.push_back(static_cast<int>(definition.channels.size()));
  ChannelLayout layout;
  std::string reason;
  EXPECT_FALSE(ResolveMode(definition, definition.modes[1], layout, reason));
  EXPECT_EQ(reason, "mode \"m\" names a channel the definition does not have");
  EXPECT_FALSE(LoadDefinitionFile("/nonexistent.qxf", definition, error));
  EXPECT_TRUE(error.startsWith("cannot be read")) << error.toStdString();
}

TEST(Definition, BadFilesAreRefusedWithTheirReason) {
  const std::string rgb = R"(<Channel Name="R" Preset="IntensityRed"/>)";
  const QByteArray good = Definition(rgb, "R");
  const auto nested = [&rgb](int depth) {  // the root counts as the first
    return Definition(rgb + Repeated(depth - 1, "<a>") + Repeated(depth - 1, "</a>"), "");
  };
  const struct {
    QByteArray xml;
    const char* reason;  // its start; "" for a good file
  } cases[] = {
      {"<FixtureDefinition><Model>M</Manufacturer>", "not well-formed XML at line 1, column 42: "},
      {good.left(good.size() - 30), "not well-formed XML at line 5, column "},  // truncated
      {"", "not well-formed XML at line 1, column 0: "},                        // empty
      {good + QByteArray(kMaxDefinitionBytes - good.size() + 1, ' '), "larger than 1048576 bytes"},
      {good + QByteArray(kMaxDefinitionBytes - good.size(), ' '), ""},  // 1 MB exactly
      {nested(32), ""},
      {nested(33), "elements nested more than 32 deep"},
      // billion laughs
      {"<!DOCTYPE FixtureDefinition [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">"
       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;\">]><FixtureDefinition><Manufacturer>&c;</Manufacturer>"
       "<Model>M</Model></FixtureDefinition>",
       "declares entities"},
      {"<Fixture/>", "not a fixture definition: the root element is <Fixture>"},
      {QByteArray(good).replace("Manufacturer>", "Maker>"), "no <Manufacturer>"},
      {QByteArray(good).replace("Model>", "Mod>"), "no <Model>"},
      {Definition(rgb, "R Strobe"),
       "mode \"m\" names channel \"Strobe\", which the file does not define"},
      {Definition(rgb, Repeated(512, "R ")), ""},
      {Definition(rgb, Repeated(513, "R ")), "mode \"m\" has more than 512 channels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    FixtureDefinition out;
    out.model = "kept";
    QString reason;
    EXPECT_EQ(ReadDefinition(c.xml, out, reason), !*c.reason);
    EXPECT_EQ(reason.left(static_cast<int>(std::strlen(c.reason))).toStdString(), c.reason);
    EXPECT_EQ(out.model, *c.reason ? "kept" : "Par");
  }
}

TEST(Definition, InstalledLibraryLoadsWhole) {
  const QString folder = QStringLiteral("/usr/share/qlcplus/fixtures");
  if (!QFile::exists(folder)) {
    if (qEnvironmentVariable("CI") == "true") FAIL() << "qlcplus-data is not installed";
    GTEST_SKIP() << "qlcplus-data is not installed (" << folder.toStdString() << " is missing)";
  }
  int definitions = 0, modes = 0;
  for (QDirIterator it(folder, {"*.qxf"}, QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString path = it.next();
    FixtureDefinition definition;
    QString reason;
    EXPECT_TRUE(LoadDefinitionFile(path, definition, reason))
        << path.toStdString() << ": " << reason.toStdString();
    int colourable = 0;
    for (const DefinitionMode& mode : definition.modes) {
      ChannelLayout layout;
      std::string why;
      colourable += ResolveMode(definition, mode, layout, why) ? 1 : 0;
    }
    modes += colourable;
    definitions += colourable > 0 ? 1 : 0;
  }
  EXPECT_EQ(definitions, 765);
  EXPECT_EQ(modes, 2258);
}

}  // namespace chromaset
