// The fixture library's index over small definition files written here: folders, bad files,
// import, search, find and resolve.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "definition_files.h"
#include "fixture_library.h"

namespace chromaset {
namespace {

using test::Qxf;
using test::WriteFile;

class FixtureLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString system = dir.filePath("system"), user = dir.filePath("user");
    ASSERT_TRUE(WriteFile(system + "/Maker/par.qxf", Qxf("Maker", "Par 1", {"3ch: R G B"})) &&
                WriteFile(system + "/Other/bar.qxf", Qxf("Other", "Bar/2", {"Pixel: R G B"})) &&
                WriteFile(system + "/acme.qxf", Qxf("acme", "Dimmer", {"Dim: D", "RGB: R G B"})) &&
                WriteFile(bad, "<FixtureDefinition><Manufacturer>Cut") &&
                WriteFile(system + "/readme.txt", "not a definition") &&
                // The user's own Par 1 replaces the installed one.
                WriteFile(user + "/par.qxf", Qxf("Maker", "Par 1", {"4ch: R G B W"})));
    library.Load({system, user, dir.filePath("none")}, errors);
  }
  QString Names() const {
    QStringList names;
    for (const LibraryEntry& entry : library.Entries()) names << entry.Definition();
    return names.join(", ");
  }

  QTemporaryDir dir;
  const QString bad = dir.filePath("system/Maker/cut.qxf");
  FixtureLibrary library;
  QStringList errors;
};

TEST_F(FixtureLibraryTest, LaterFolderWinsBadFileIsOneLineImportAddsOrReplacesInOrder) {
  ASSERT_EQ(errors.size(), 1) << errors.join('\n').toStdString();
  EXPECT_TRUE(errors[0].startsWith(bad + ": ") && !errors[0].contains('\n'));
  EXPECT_EQ(Names(), "acme/Dimmer, Maker/Par 1, Other/Bar/2");
  EXPECT_EQ(library.Entries()[1].modes.at(0).channelNames.join(' '), "R G B W");

  const QString other = dir.filePath("elsewhere/bar.qxf");
  QString error;
  for (const auto& [maker, model] : {std::pair{"Other", "bar/2"}, std::pair{"B", "New"}}) {
    ASSERT_TRUE(WriteFile(other, Qxf(maker, model, {"Wide: R G B"})));
    ASSERT_TRUE(library.Import(other, error)) << error.toStdString();
  }
  EXPECT_EQ(Names(), "acme/Dimmer, B/New, Maker/Par 1, Other/bar/2");
  EXPECT_EQ(library.Search("wide"), (std::vector<int>{1, 3}));
}

TEST_F(FixtureLibraryTest, SearchFindAndResolve) {
  const std::pair<const char*, std::vector<int>> searches[] = {
      {"", {0, 1, 2}}, {" par  4CH ", {1}}, {"3ch", {}}, {"bar/2 pixel", {2}}, {"maker other", {}},
  };
  for (const auto& [text, found] : searches) EXPECT_EQ(library.Search(text), found) << text;
  EXPECT_EQ(library.Find("other/BAR/2"), &library.Entries()[2]);
  EXPECT_EQ(library.Find("Other/Bar"), nullptr);

  ChannelLayout layout;
  QString error;
  ASSERT_TRUE(library.Resolve("Maker/Par 1", "4CH", layout, error)) << error.toStdString();
  EXPECT_TRUE(layout.Count() == 4 && layout.hasWhite);
  const char* const refused[][3] = {
      {"Maker/Par 2", "4ch", "definition: \"Maker/Par 2\" is not in the fixture library"},
      {"Maker/Par 1", "3ch", "mode: \"3ch\" is not a mode of \"Maker/Par 1\""},
      {"acme/Dimmer", "Dim", "mode: \"Dim\" of \"acme/Dimmer\" cannot be coloured: "},
  };
  for (const auto& c : refused) {
    layout = {};
    EXPECT_FALSE(library.Resolve(c[0], c[1], layout, error));
    EXPECT_TRUE(error.startsWith(c[2]) && layout.channels.empty()) << error.toStdString();
  }
}

}  // namespace
}  // namespace chromaset
