// Fixture definitions: what the bytes of a mode are for a colour, in both forms of the file,
// every bad file refused with its reason, and the installed library read whole.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

#include "definition_file.h"

namespace chromaset {

namespace {

// A definition of the given channels and one mode of the named ones ("" for no mode).
QByteArray Definition(const std::string& channels, const std::string& mode) {
  std::string xml =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE FixtureDefinition>\n"
      "<FixtureDefinition xmlns=\"http://www.qlcplus.org/FixtureDefinition\">\n"
      "<Manufacturer>Maker</Manufacturer><Model>Par</Model>\n" +
      channels + "\n<Mode Name=\"m\">" + mode + "</Mode>\n</FixtureDefinition>\n";
  return QByteArray::fromStdString(xml);
}

// The mode's channels, by name, in DMX order.
std::string Names(std::initializer_list<const char*> names) {
  std::string mode;
  int number = 0;
  for (const char* name : names)
    mode += "<Channel Number=\"" + std::to_string(number++) + "\">" + name + "</Channel>";
  return mode;
}

std::string Preset(const char* name, const char* preset, const char* more = "") {
  return std::string("<Channel Name=\"") + name + "\" Preset=\"" + preset + "\" " + more + "/>";
}

// The older form: a group (byte 0 or 1), a colour when given, and capabilities.
std::string Older(const char* name, const char* group, const char* colour, int byte = 0,
                  const char* more = "") {
  return std::string("<Channel Name=\"") + name + "\"" + more + "><Group Byte=\"" +
         std::to_string(byte) + "\">" + group + "</Group>" +
         (*colour ? std::string("<Colour>") + colour + "</Colour>" : "") + "</Channel>";
}

const std::string kRgb =
    Preset("R", "IntensityRed") + Preset("G", "IntensityGreen") + Preset("B", "IntensityBlue");

}  // namespace

TEST(Definition, ModeBytesForAColour) {
  const std::string shutter =
      "<Channel Name=\"S\" Default=\"5\"><Group Byte=\"0\">Shutter</Group>"
      "<Capability Min=\"0\" Max=\"15\" Preset=\"ShutterClose\"/>"
      "<Capability Min=\"240\" Max=\"249\" Preset=\"ShutterOpen\"/>"
      "<Capability Min=\"250\" Max=\"255\" Preset=\"ShutterOpen\"/></Channel>";
  const struct {
    const char* what;
    std::string channels, mode;
    Rgbw colour;
    std::vector<int> bytes;  // empty: the mode cannot be coloured
  } cases[] = {
      {"newer form, white channel: no raise",
       kRgb + Preset("W", "IntensityWhite") + Preset("D", "IntensityMasterDimmer", "Default=\"9\""),
       Names({"D", "R", "G", "B", "W"}),
       {255, 128, 1, 7},
       {255, 255, 128, 1, 7}},
      {"older form, no white: raised; Intensity without colour is a dimmer, defaults ignored",
       Older("r", "Intensity", "Red", 0, " Default=\"3\"") + Older("g", "Intensity", "Green") +
           Older("b", "Intensity", "Blue") + Older("d", "Intensity", ""),
       Names({"r", "g", "b", "d"}),
       {10, 20, 30, 5},
       {15, 25, 35, 255}},
      {"fine bytes follow colour and dimmer; other fine channels take their default",
       kRgb + Preset("Rf", "IntensityRedFine") + Older("Gf", "Intensity", "Green", 1) +
           Preset("Df", "IntensityDimmerFine") + Preset("Pf", "PositionPanFine", "Default=\"7\"") +
           Preset("Af", "IntensityAmberFine", "Default=\"7\""),
       Names({"R", "Rf", "G", "Gf", "B", "Df", "Pf", "Af"}),
       {200, 100, 50, 0},
       {200, 200, 100, 100, 50, 255, 7, 0}},
      {"two heads both coloured",
       kRgb,
       Names({"R", "G", "B", "R", "G", "B"}) + "<Head><Channel>0</Channel></Head><Head/>",
       {1, 2, 3, 0},
       {1, 2, 3, 1, 2, 3}},
      {"shutter: first open in file order, over the default; without one 0",
       kRgb + shutter + Preset("T", "ShutterStrobeSlowFast", "Default=\"9\""),
       Names({"S", "T", "R", "G", "B"}),
       {0, 0, 0, 0},
       {240, 0, 0, 0, 0}},
      {"CMY after the white raise",
       Preset("C", "IntensityCyan") + Preset("M", "IntensityMagenta") +
           Preset("Y", "IntensityYellow"),
       Names({"C", "M", "Y"}),
       {200, 100, 0, 50},
       {5, 105, 205}},
      {"defaults: kept, out of range or not a number ignored; amber and UV dark",
       kRgb + Preset("P", "PositionPan", "Default=\"128\"") +
           Preset("H", "IntensityHue", "Default=\"20\"") + Preset("X", "Speed", "Default=\"300\"") +
           Preset("Z", "Speed", "Default=\"x\"") +
           Older("A", "Intensity", "Amber", 0, " Default=\"99\"") +
           Preset("U", "IntensityUV", "Default=\"99\""),
       Names({"R", "G", "B", "P", "H", "X", "Z", "A", "U"}),
       {1, 2, 3, 0},
       {1, 2, 3, 128, 20, 0, 0, 0, 0}},
      {"a preset wins over the group; a colour outside Intensity is no colour channel",
       "<Channel Name=\"R\" Preset=\"IntensityRed\"><Group Byte=\"0\">Shutter</Group></Channel>"
       "<Channel Name=\"T\" Preset=\"PositionTilt\" Default=\"4\"><Group>Intensity</Group>"
       "<Colour>Red</Colour></Channel>" +
           Older("c", "Colour", "Green", 0, " Default=\"6\"") + Preset("G", "IntensityGreen") +
           Preset("B", "IntensityBlue"),
       Names({"R", "T", "c", "G", "B"}),
       {9, 8, 7, 0},
       {9, 4, 6, 8, 7}},
      {"a name defined twice counts by its first definition",
       kRgb + Preset("R", "IntensityBlue") + Preset("G", "PositionPan"),
       Names({"R", "G", "B"}),
       {9, 8, 7, 0},
       {9, 8, 7}},
      {"fine red, green and blue alone cannot colour",
       Preset("R", "IntensityRedFine") + Preset("G", "IntensityGreenFine") +
           Preset("B", "IntensityBlueFine"),
       Names({"R", "G", "B"}),
       {},
       {}},
      {"two of cyan, magenta, yellow cannot colour",
       Preset("C", "IntensityCyan") + Preset("M", "IntensityMagenta") +
           Preset("B", "IntensityBlue"),
       Names({"C", "M", "B"}),
       {},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FixtureDefinition definition;
    QString error;
    ASSERT_TRUE(ReadDefinition(Definition(c.channels, c.mode), definition, error))
        << error.toStdString();
    ASSERT_EQ(definition.modes.size(), 1U);
    ChannelLayout layout;
    std::string reason;
    if (c.bytes.empty()) {
      EXPECT_FALSE(ResolveMode(definition, definition.modes[0], layout, reason));
      EXPECT_EQ(reason, "no red, green and blue intensity, and no cyan, magenta and yellow");
      EXPECT_TRUE(layout.channels.empty());
      continue;
    }
    ASSERT_TRUE(ResolveMode(definition, definition.modes[0], layout, reason)) << reason;
    std::vector<std::uint8_t> bytes(layout.channels.size());
    RenderChannels(layout, c.colour, bytes.data());
    EXPECT_EQ(std::vector<int>(bytes.begin(), bytes.end()), c.bytes);
  }
}

TEST(Definition, FieldsHeadsAndRoleTexts) {
  FixtureDefinition definition;
  QString error;
  ASSERT_TRUE(
      ReadDefinition(Definition(kRgb, Names({"B", "G"}) + "<Head/><Head/>"), definition, error));
  EXPECT_EQ(definition.manufacturer + "/" + definition.model, "Maker/Par");
  EXPECT_EQ(definition.modes[0].channels, (std::vector<int>{2, 1}));
  EXPECT_EQ(definition.modes[0].heads, 2);
  EXPECT_EQ(RoleText({ChannelRole::kRed, false, 0}), "red");
  EXPECT_EQ(RoleText({ChannelRole::kMagenta, true, 0}), "magenta fine");
  EXPECT_EQ(RoleText({ChannelRole::kDimmer, false, 0}), "dimmer 255");
  EXPECT_EQ(RoleText({ChannelRole::kFixed, false, 10}), "fixed 10");
}

// depth elements nested, the root counting as the first.
QByteArray Nested(int depth) {
  std::string inner;
  for (int i = 1; i < depth; ++i) inner = "<a>" + inner + "</a>";
  return Definition(kRgb + inner, "");
}

QByteArray ModeOf(int count) {
  std::string mode;
  for (int i = 0; i < count; ++i) mode += "<Channel>R</Channel>";
  return Definition(kRgb, mode);
}

TEST(Definition, BadFilesAreRefusedWithTheirReason) {
  const QByteArray good = Definition(kRgb, Names({"R", "G", "B"}));
  const QByteArray laughs =
      "<?xml version=\"1.0\"?><!DOCTYPE FixtureDefinition [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<FixtureDefinition><Manufacturer>&c;</Manufacturer><Model>M</Model></FixtureDefinition>";
  const struct {
    const char* what;
    QByteArray xml;
    const char* reason;  // the start of it; "" when the file is good
  } cases[] = {
      {"not well-formed", "<FixtureDefinition><Model>M</Manufacturer>",
       "not well-formed XML at line 1, column 42: "},
      {"truncated", good.left(good.size() - 30), "not well-formed XML at line 6, column "},
      {"empty", "", "not well-formed XML at line 1, column 0: "},
      {"over 1 MB", good + QByteArray(kMaxDefinitionBytes - good.size() + 1, ' '),
       "larger than 1048576 bytes"},
      {"1 MB exactly", good + QByteArray(kMaxDefinitionBytes - good.size(), ' '), ""},
      {"32 deep", Nested(32), ""},
      {"33 deep", Nested(33), "elements nested more than 32 deep"},
      {"entities", laughs, "declares entities"},
      {"another root", "<Fixture><Manufacturer>A</Manufacturer></Fixture>",
       "not a fixture definition: the root element is <Fixture>"},
      {"no manufacturer", QByteArray(good).replace("Manufacturer>", "Maker>"), "no <Manufacturer>"},
      {"no model", QByteArray(good).replace("Model>", "Mod>"), "no <Model>"},
      {"a mode names a missing channel", Definition(kRgb, Names({"R", "Strobe\n"})),
       "mode \"m\" names channel \"Strobe\", which the file does not define"},
      {"512 channels", ModeOf(512), ""},
      {"513 channels", ModeOf(513), "mode \"m\" has more than 512 channels"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FixtureDefinition out;
    out.model = "kept";
    QString reason;
    const bool read = ReadDefinition(c.xml, out, reason);
    EXPECT_EQ(read, !*c.reason);
    EXPECT_EQ(reason.left(static_cast<int>(std::strlen(c.reason))).toStdString(), c.reason);
    EXPECT_EQ(out.model, read ? "Par" : "kept");
  }
}

TEST(Definition, FileOverTheLimitIsRefusedUnread) {
  QTemporaryDir dir;
  QFile file(dir.filePath("big.qxf"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QByteArray(kMaxDefinitionBytes + 1, ' '));
  file.close();
  FixtureDefinition out;
  QString reason;
  EXPECT_FALSE(LoadDefinitionFile(file.fileName(), out, reason));
  EXPECT_TRUE(reason.startsWith("larger than")) << reason.toStdString();
  EXPECT_FALSE(LoadDefinitionFile(dir.filePath("none.qxf"), out, reason));
  EXPECT_TRUE(reason.startsWith("cannot be read")) << reason.toStdString();
}

TEST(Definition, InstalledLibraryLoadsWhole) {
  const QString folder = QStringLiteral("/usr/share/qlcplus/fixtures");
  if (!QFile::exists(folder)) {
    const char* ci = std::getenv("CI");
    if (ci != nullptr && std::string(ci) == "true") FAIL() << "qlcplus-data is not installed";
    GTEST_SKIP() << "qlcplus-data is not installed (" << folder.toStdString() << " is missing)";
  }
  int files = 0, colourable = 0, modes = 0;
  for (QDirIterator it(folder, {"*.qxf"}, QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString path = it.next();
    FixtureDefinition definition;
    QString reason;
    ++files;
    if (!LoadDefinitionFile(path, definition, reason)) {
      ADD_FAILURE() << path.toStdString() << ": " << reason.toStdString();
      continue;
    }
    int colourModes = 0;
    for (const DefinitionMode& mode : definition.modes) {
      ChannelLayout layout;
      std::string why;
      colourModes += ResolveMode(definition, mode, layout, why) ? 1 : 0;
    }
    modes += colourModes;
    colourable += colourModes > 0 ? 1 : 0;
  }
  EXPECT_GT(files, 1000);
  EXPECT_EQ(colourable, 765);
  EXPECT_EQ(modes, 2258);
}

}  // namespace chromaset
