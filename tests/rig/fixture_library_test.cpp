// The fixture library's index over small definition files written here: folders, bad files,
// search, find and resolve.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "fixture_library.h"

namespace chromaset {
namespace {

// A definition whose channels are named by their presets; modes list those names.
QByteArray Qxf(const char* maker, const char* model,
               std::initializer_list<std::pair<const char*, QStringList>> modes) {
  QByteArray xml = QByteArrayLiteral(
                       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE FixtureDefinition>\n"
                       "<FixtureDefinition xmlns=\"http://www.qlcplus.org/FixtureDefinition\">\n"
                       " <Manufacturer>") +
                   maker + "</Manufacturer>\n <Model>" + model + "</Model>\n";
  QStringList defined;
  for (const auto& [name, channels] : modes) {
    for (const QString& channel : channels) {
      if (defined.contains(channel)) continue;
      defined << channel;
      xml += " <Channel Name=\"" + channel.toUtf8() + "\" Preset=\"" + channel.toUtf8() + "\"/>\n";
    }
  }
  for (const auto& [name, channels] : modes) {
    xml += QByteArray(" <Mode Name=\"") + name + "\">\n";
    for (qsizetype i = 0; i < channels.size(); ++i)
      xml += "  <Channel Number=\"" + QByteArray::number(i) + "\">" + channels[i].toUtf8() +
             "</Channel>\n";
    xml += " </Mode>\n";
  }
  return xml + "</FixtureDefinition>\n";
}

const QStringList kRgb{"IntensityRed", "IntensityGreen", "IntensityBlue"};

bool Write(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

class FixtureLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString system = dir.filePath("system"), user = dir.filePath("user");
    ASSERT_TRUE(Write(system + "/Maker/par.qxf", Qxf("Maker", "Par 1", {{"3ch", kRgb}})));
    ASSERT_TRUE(Write(system + "/Other/bar.qxf", Qxf("Other", "Bar/2", {{"Pixel", kRgb}})));
    ASSERT_TRUE(Write(system + "/acme.qxf",
                      Qxf("acme", "Dimmer", {{"Dim", {"IntensityMasterDimmer"}}, {"RGB", kRgb}})));
    ASSERT_TRUE(Write(bad, "<FixtureDefinition><Manufacturer>Cut"));
    ASSERT_TRUE(Write(system + "/readme.txt", "not a definition"));
    // The user's own Par 1 replaces the installed one.
    ASSERT_TRUE(Write(user + "/par.qxf",
                      Qxf("Maker", "Par 1", {{"4ch", kRgb + QStringList{"IntensityWhite"}}})));
    library.Load({system, user, dir.filePath("none")}, errors);
  }

  QTemporaryDir dir;
  const QString bad = dir.filePath("system/Maker/cut.qxf");
  FixtureLibrary library;
  QStringList errors;
};

TEST_F(FixtureLibraryTest, IndexesFoldersInOrderAndSkipsBadFilesWithOneLine) {
  ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
  EXPECT_TRUE(errors[0].startsWith(bad + ": ") && !errors[0].contains('\n'))
      << errors[0].toStdString();
  QStringList names;
  for (const LibraryEntry& entry : library.Entries()) names << entry.Definition();
  EXPECT_EQ(names, (QStringList{"acme/Dimmer", "Maker/Par 1", "Other/Bar/2"}));
  const LibraryEntry& par = library.Entries()[1];
  EXPECT_EQ(par.path, dir.filePath("user/par.qxf"));
  ASSERT_EQ(par.modes.size(), 1u);
  EXPECT_EQ(par.modes[0].channelNames, kRgb + QStringList{"IntensityWhite"});
  const LibraryMode& dim = library.Entries()[0].modes[0];
  EXPECT_TRUE(!dim.Colourable() && dim.layout.channels.empty());
}

TEST_F(FixtureLibraryTest, SearchFindAndResolve) {
  const std::pair<const char*, std::vector<int>> searches[] = {
      {"", {0, 1, 2}},      {"PAR", {1}}, {" par  4CH ", {1}}, {"3ch", {}},
      {"bar/2 pixel", {2}}, {"rgb", {0}}, {"maker other", {}}, {"r/p", {1}},
  };
  for (const auto& [text, found] : searches)
    EXPECT_EQ(library.Search(QString::fromUtf8(text)), found) << text;

  EXPECT_EQ(library.Find("other/BAR/2"), &library.Entries()[2]);
  for (const char* missing : {"Other", "Other/Bar", "Other/Bar/2/", "/Bar/2"})
    EXPECT_EQ(library.Find(missing), nullptr) << missing;

  ChannelLayout layout;
  QString error;
  ASSERT_TRUE(library.Resolve("Maker/Par 1", "4CH", layout, error)) << error.toStdString();
  EXPECT_TRUE(layout.Count() == 4 && layout.hasWhite);
  const struct {
    const char *definition, *mode, *error;
  } refused[] = {
      {"Maker/Par 2", "4ch", "definition: \"Maker/Par 2\" is not in the fixture library"},
      {"Maker/Par 1", "3ch", "mode: \"3ch\" is not a mode of \"Maker/Par 1\""},
      {"acme/Dimmer", "Dim", "mode: \"Dim\" of \"acme/Dimmer\" cannot be coloured: "},
  };
  for (const auto& c : refused) {
    layout = {};
    EXPECT_FALSE(library.Resolve(c.definition, c.mode, layout, error));
    EXPECT_TRUE(error.startsWith(c.error)) << error.toStdString();
    EXPECT_TRUE(layout.channels.empty());
  }
}

TEST_F(FixtureLibraryTest, ImportAddsOrReplacesInOrder) {
  const QString other = dir.filePath("elsewhere/bar.qxf");
  ASSERT_TRUE(Write(other, Qxf("Other", "bar/2", {{"Wide", kRgb}})));
  QString error;
  ASSERT_TRUE(library.Import(other, error)) << error.toStdString();
  ASSERT_TRUE(Write(other, Qxf("B", "New", {{"Wide", kRgb}})));
  ASSERT_TRUE(library.Import(other, error)) << error.toStdString();
  QStringList names;
  for (const LibraryEntry& entry : library.Entries()) names << entry.Definition();
  EXPECT_EQ(names, (QStringList{"acme/Dimmer", "B/New", "Maker/Par 1", "Other/bar/2"}));
  EXPECT_EQ(library.Search("wide"), (std::vector<int>{1, 3}));
  EXPECT_FALSE(library.Import(bad, error));
  EXPECT_TRUE(error.startsWith(bad + ": ")) << error.toStdString();
  EXPECT_EQ(library.Entries().size(), 4u);
}

}  // namespace
}  // namespace chromaset
