// Rig files: what a saved rig reads back as, and every refusal naming the fixture and the field.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>

#include "definition_files.h"
#include "rig_file.h"

namespace chromaset {

const char* const kGood = R"({"name": "A", "universe": "0:0:0", "address": 1, "layout": "RGBW"})";

// A rig file of the good fixture followed by others, as JSON text.
QByteArray WithFixture(std::initializer_list<std::string> others) {
  std::string json = R"({"chromasetRig": 1, "fixtures": [)" + std::string(kGood);
  for (const std::string& fixture : others) json += ", " + fixture;
  return QByteArray::fromStdString(json + "]}");
}

// A fixture "B" on universe 1:0:0, with fields added or replaced (the later key counts).
std::string Second(const std::string& fields) {
  return R"({"name": "B", "universe": "1:0:0", "address": 1, "layout": "RGB")" + fields + "}";
}
QByteArray WithSecond(const std::string& fields) { return WithFixture({Second(fields)}); }

// A rig file of count one-channel fixtures side by side, none overlapping.
QByteArray Dimmers(int count) {
  std::string json = R"({"chromasetRig": 1, "fixtures": [)";
  for (int i = 0; i < count; ++i) {
    json += std::string(i ? "," : "") + R"({"name": "D", "layout": "D", "universe": "0:0:)" +
            std::to_string(i / 512) + R"(", "address": )" + std::to_string(i % 512 + 1) + "}";
  }
  return QByteArray::fromStdString(json + "]}");
}

// A fixture "B" on universe 1:0:0 with fields but no layout.
QByteArray WithDefined(const std::string& fields) {
  return WithFixture({R"({"name": "B", "universe": "1:0:0", "address": 1)" + fields + "}"});
}

Rig SampleRig() {
  Rig rig;
  Fixture fixture = rig.At(0);
  std::string reason;
  EXPECT_TRUE(ParseLayout("DdRrGBW", fixture.layout, reason));
  EXPECT_TRUE(rig.Replace(0, fixture, reason)) << reason;
  fixture.name = "Wash \xC3\xA9";
  fixture.patch = {127, 15, 15, 500};
  // A layout made from a definition (no text): every role, fine bytes apart from their coarse,
  // fixed values.
  using R = ChannelRole;
  const LayoutChannel extra[] = {{R::kCyan},      {R::kMagenta},         {R::kYellow},
                                 {R::kRed, true}, {R::kCyan, true},      {R::kDimmer, true},
                                 {R::kFixed},     {R::kFixed, false, 7}, {R::kFixed, false, 255}};
  EXPECT_TRUE(ParseLayout("DRGB", fixture.layout, reason));
  fixture.layout.text.clear();
  fixture.layout.channels.insert(fixture.layout.channels.end(), std::begin(extra), std::end(extra));
  fixture.colour = {255, 128, 1, 9};
  fixture.manufacturer = "Maker";
  fixture.model = "Wash/2";  // the manufacturer ends at the first '/'
  fixture.mode = "13 channel";
  EXPECT_TRUE(rig.Add(fixture, reason)) << reason;
  fixture.layout.channels.push_back({R::kWhite});  // without a definition: channels alone
  fixture.layout.hasWhite = true;
  fixture.manufacturer = fixture.model = fixture.mode = "";
  fixture.patch.start = 1;
  EXPECT_TRUE(rig.Add(fixture, reason)) << reason;
  rig.SetColour(0, {1, 2, 3, 4});
  return rig;
}

TEST(RigFile, RefusalsNameTheFixtureAndTheFieldAndLeaveTheRig) {
  const struct {
    QByteArray json;
    const char* mentions;
  } cases[] = {
      {"{\"chromasetRig\": 1,", "not JSON"},
      {"[1]", "not a rig file"},
      {R"({"fixtures": []})", "chromasetRig is missing"},
      {R"({"chromasetRig": "1", "fixtures": []})", "chromasetRig: must be the number 1"},
      {R"({"chromasetRig": 2, "fixtures": []})", "chromasetRig: is 2"},
      {R"({"chromasetRig": 1})", "fixtures: is missing"},
      {R"({"chromasetRig": 1, "fixtures": {}})", "fixtures: must be an array"},
      {R"({"chromasetRig": 1, "fixtures": []})", "fixtures: is empty"},
      {Dimmers(513), "fixtures: 513 listed"},
      {WithFixture({"7"}), "fixture 2: is not a JSON object"},
      {WithFixture({R"({"universe": "0:0:0"})"}), "fixture 2: name: is missing"},
      {WithFixture({R"({"name": 5})"}), "fixture 2: name: must be a string"},
      {WithSecond(R"(, "name": "")"), "fixture 2 (\"\"): name: must have 1"},
      {WithSecond(R"(, "universe": "0:0:16")"), "fixture 2 (\"B\"): universe: \"0:0:16\""},
      {WithSecond(R"(, "universe": "0:0:1 ")"), "fixture 2 (\"B\"): universe:"},
      {WithSecond(R"(, "universe": 0)"), "fixture 2 (\"B\"): universe: must be a string"},
      {WithSecond(R"(, "address": 4.5)"), "fixture 2 (\"B\"): address: must be a whole"},
      {WithSecond(R"(, "address": "1")"), "fixture 2 (\"B\"): address: must be a whole"},
      {WithSecond(R"(, "address": 1e300)"), "fixture 2 (\"B\"): address: must be a whole"},
      {WithSecond(R"(, "address": 511)"), "(\"B\"): address: 511 leaves no room for 3"},
      {WithSecond(R"(, "layout": "RGX")"), "(\"B\"): layout: letter 3 of the layout"},
      {WithSecond(R"(, "layout": ["R"])"), "(\"B\"): layout: must be a string"},
      {WithSecond(R"(, "colour": [1, 2, 3])"), "(\"B\"): colour: must be four"},
      {WithSecond(R"(, "colour": [1, 2, 3, 256])"), "(\"B\"): colour: must be four"},
      {WithSecond(R"(, "mode": 3)"), "(\"B\"): mode: must be a string"},
      {WithSecond(R"(, "mode": "4ch")"), "(\"B\"): definition: is missing"},
      {WithSecond(R"(, "definition": "A/B")"), "(\"B\"): mode: is missing"},
      {WithSecond(R"(, "definition": "AB", "mode": "m")"), "definition: \"AB\" is not Manu"},
      {WithSecond(R"(, "channels": ["R"])"), "(\"B\"): layout: cannot be given beside chan"},
      {WithDefined(R"(, "definition": "A/B", "mode": "m")"),
       "(\"B\"): channels: is missing and no fixture library is at hand"},
      {WithDefined(R"(, "channels": "RGB")"), "(\"B\"): channels: must be a list of 1-512"},
      {WithDefined(R"(, "channels": ["R", "X"])"), "channels: item 2, \"X\", is not one of"},
      {WithDefined(R"(, "channels": ["R", "-"])"), "channels: item 2, \"-\", is not one of"},
      {WithDefined(R"(, "channels": [0, 256])"), "channels: item 2, 256, is not one of"},
      {WithSecond(R"(, "universe": "0:0:0", "address": 4)"),
       "(\"B\"): address: channels 4-6 overlap fixture 1 (\"A\")"},
      {QByteArray(4 * 1024 * 1024 + 1, ' '), "too large"},
  };
  for (const auto& c : cases) {
    Rig rig;
    QString error;
    EXPECT_FALSE(ReadRig(c.json, rig, error)) << c.json.left(80).toStdString();
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.mentions))) << error.toStdString();
    EXPECT_EQ(WriteRig(rig), WriteRig(Rig()));
  }
  Rig rig;  // a refusal of the file as a whole names no fixture
  QString error;
  EXPECT_FALSE(ReadRig("[1]", rig, error));
  EXPECT_EQ(error, "not a rig file: the top level is not a JSON object");
  std::string all = R"(, "channels": [0)";  // a whole universe of channels is one fixture
  for (int i = 1; i < 512; ++i) all += ", 0";
  EXPECT_TRUE(ReadRig(WithDefined(all + "]"), rig, error)) << error.toStdString();
}

TEST(RigFile, LenientReadDropsOnlyTheBadFixtures) {
  const QByteArray json = WithFixture(
      {Second(R"(, "address": 600)"), Second(R"(, "name": "C", "universe": "0:0:0", "address": 3)"),
       Second(R"(, "name": "D")")});
  Rig rig;
  QStringList dropped;
  ASSERT_TRUE(ReadRigLeniently(json, rig, dropped));
  ASSERT_EQ(rig.Count(), 2);
  EXPECT_EQ(rig.At(1).name, "D");
  ASSERT_EQ(dropped.size(), 2);
  EXPECT_TRUE(dropped[0].startsWith("fixture 2 (\"B\"): address:")) << dropped[0].toStdString();
  EXPECT_TRUE(dropped[1].startsWith("fixture 3 (\"C\"): address: channels 3-5 overlap"));

  dropped.clear();
  ASSERT_TRUE(ReadRigLeniently(Dimmers(514), rig, dropped));
  EXPECT_EQ(rig.Count(), kMaxFixtures);
  EXPECT_EQ(dropped, QStringList{"fixtures: 514 listed; a rig holds at most 512; fixtures 513 to "
                                 "514 are left out"});
  dropped.clear();
  EXPECT_FALSE(ReadRigLeniently(R"({"chromasetRig": 1, "fixtures": [{}]})", rig, dropped));
  EXPECT_EQ(dropped, QStringList{"fixture 1: name: is missing"});
  EXPECT_FALSE(ReadRigLeniently("[1]", rig, dropped));  // not a rig file at all
  EXPECT_EQ(rig.Count(), kMaxFixtures);
}

TEST(RigFile, SavedRigReadsBackTheSameSavesAtomicallyAndErrorsNameTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath("rig.json");
  QString error;
  const Rig written = SampleRig();
  ASSERT_TRUE(SaveRigFile(path, written, error)) << error.toStdString();
  Rig read;
  ASSERT_TRUE(LoadRigFile(path, read, error)) << error.toStdString();
  EXPECT_EQ(WriteRig(read), WriteRig(written));
  EXPECT_EQ(read.At(0).layout.text, "DdRrGBW");
  // Channels, definition and hasWhite all read back: the same bytes go out.
  for (const int universe : written.Universes()) {
    DmxFrame mine{}, theirs{};
    written.WriteFrame(universe, mine), read.WriteFrame(universe, theirs);
    EXPECT_EQ(0, std::memcmp(mine.Data, theirs.Data, sizeof mine.Data)) << universe;
  }

  Rig empty;
  empty.Clear();
  EXPECT_FALSE(SaveRigFile(dir.filePath("empty.json"), empty, error));
  const QString missing = dir.filePath("no/such/dir/rig.json");
  EXPECT_FALSE(SaveRigFile(missing, SampleRig(), error));
  EXPECT_TRUE(error.startsWith(missing + ": cannot be written")) << error.toStdString();
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
            QStringList{"rig.json"});

  EXPECT_FALSE(LoadRigFile(missing, read, error));
  EXPECT_TRUE(error.startsWith(missing + ": cannot be read")) << error.toStdString();
  const QString bad = dir.filePath("bad.json");
  ASSERT_TRUE(test::WriteFile(bad, WithSecond(R"(, "layout": "")")));
  EXPECT_FALSE(LoadRigFile(bad, read, error));
  EXPECT_TRUE(error.startsWith(bad + ": fixture 2 (\"B\"): layout:"));
  EXPECT_EQ(read.Count(), 3);
}

TEST(RigFile, ADefinitionAloneIsResolvedAndItsRefusalNamesTheFixture) {
  QStringList asked;
  const DefinitionResolver resolver = [&asked](const QString& definition, const QString& mode,
                                               ChannelLayout& out, QString& error) {
    asked << definition + '|' + mode;
    std::string reason;
    error = "mode: \"" + mode + "\" is not a mode of \"" + definition + "\"";
    return mode == "4ch" && ParseLayout("DRGB", out, reason);
  };
  Rig rig, again;
  QString error;
  ASSERT_TRUE(
      ReadRig(WithDefined(R"(, "definition": "A/B/C", "mode": "4ch")"), rig, error, resolver));
  const Fixture& b = rig.At(1);
  EXPECT_TRUE(b.manufacturer == "A" && b.model == "B/C" && b.mode == "4ch" &&
              b.layout.Count() == 4);
  // Written with its channels, it reads back without a library.
  ASSERT_TRUE(ReadRig(WriteRig(rig), again, error)) << error.toStdString();
  EXPECT_EQ(again.At(1).layout.channels, b.layout.channels);
  EXPECT_FALSE(
      ReadRig(WithDefined(R"(, "definition": "A/B", "mode": "8ch")"), rig, error, resolver));
  EXPECT_EQ(error, "fixture 2 (\"B\"): mode: \"8ch\" is not a mode of \"A/B\"");
  EXPECT_EQ(asked, (QStringList{"A/B/C|4ch", "A/B|8ch"}));
}

}  // namespace chromaset
