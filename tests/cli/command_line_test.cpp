// Option parsing, the frames of a rig file and the node list's text, without a socket.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstring>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "command_line.h"
#include "definition_files.h"
#include "fixture_listing.h"
#include "node_listing.h"
#include "rig_frames.h"

namespace chromaset {
namespace {

CliParse Parse(const std::vector<const char*>& args) {
  QStringList list{QStringLiteral("chromaset")};
  for (const char* arg : args) list << QString::fromUtf8(arg);
  return ParseCommandLine(list);
}

TEST(CommandLine, GoodCommandsBecomeOptions) {
  CliParse p = Parse({"--send", "1,2,3,255", "--to", "2.0.0.5", "--to", "10.1.2.3", "--universe",
                      "1:2:3", "--address", "509", "--hold", "86400"});
  ASSERT_EQ(p.status, kExitOk) << p.error.toStdString();
  EXPECT_EQ(p.options.mode, CliMode::Send);
  EXPECT_EQ(p.options.values, (Rgbw{1, 2, 3, 255}));
  EXPECT_EQ(p.options.targets, (std::vector<Ipv4Bytes>{{2, 0, 0, 5}, {10, 1, 2, 3}}));
  EXPECT_EQ(p.options.patch, (DmxPatch{1, 2, 3, 509}));
  EXPECT_EQ(p.options.holdSeconds, 86400);                                 // the longest hold
  EXPECT_EQ(Parse({"--send", "1,2,3,4", "--hold", "0"}).status, kExitOk);  // and the shortest
  p = Parse({"--json", "--wait", "0.1", "--list"});
  EXPECT_TRUE(p.options.mode == CliMode::List && p.options.waitSeconds == 0.1 && p.options.json);
  EXPECT_EQ(Parse({"--list"}).options.waitSeconds, 5);
  p = Parse({"--send", "1,2,3,4", "--fixture", "Par 1", "--rig", "a.json", "--fixture", "Wash"});
  ASSERT_EQ(p.status, kExitOk) << p.error.toStdString();
  EXPECT_EQ(p.options.rigPath, QStringLiteral("a.json"));
  EXPECT_EQ(p.options.fixtureNames, (QStringList{QStringLiteral("Par 1"), QStringLiteral("Wash")}));
  EXPECT_TRUE(Parse({"-h"}).options.mode == CliMode::Help && HelpText().contains("  --to ADDRESS"));
  for (const QString& line : HelpText().split('\n'))
    EXPECT_LE(line.size(), 100) << line.toStdString();
  EXPECT_EQ(Parse({}).options.mode, CliMode::Window);
  p = Parse({"--send", "1,2,3,4", "--rig", "a", "--route", "--sync"});  // 3 s unless told
  EXPECT_TRUE(p.options.route && p.options.sync && p.options.waitSeconds == 3);
  p = Parse({"--fixtures", "cameo", "--json", "flat pro"});
  EXPECT_TRUE(p.options.mode == CliMode::Fixtures && p.options.json &&
              p.options.fixturesText == "cameo flat pro");
}

TEST(CommandLine, EachUsageErrorNamesTheOptionAndValue) {
  const auto check = [](const std::vector<const char*>& args, const std::string& named) {
    const CliParse p = Parse(args);
    EXPECT_EQ(p.status, kExitUsage) << named;
    EXPECT_TRUE(p.error.contains(QString::fromStdString(named))) << p.error.toStdString();
    EXPECT_FALSE(p.error.contains(QLatin1Char('\n'))) << p.error.toStdString();
  };
  // A bad value (after a good --send or --list): the message names the option and the value.
  for (const std::string bad :
       {"--send 1,2,3,256", "--send 1,2,3", "--send 1,2,3,4,5", "--send 1,-2,3,4",
        "--send 1, 2,3,4", "--to 2.0.0", "--to 2.0.0.256", "--to node5", "--universe 128:0:0",
        "--universe 0:-1:0", "--address 510", "--address 0", "--hold -1", "--wait 0.05",
        "--wait 61", "--wait nan"}) {
    const std::string option = bad.substr(0, bad.find(' ')), value = bad.substr(bad.find(' ') + 1);
    std::vector<const char*> args{"--send", "1,2,3,4", option.c_str(), value.c_str()};
    if (option == "--send") args.erase(args.begin(), args.begin() + 2);
    if (option == "--wait") args.erase(args.begin(), args.begin() + 1), args[0] = "--list";
    check(args, option + ": '" + value + "'");
  }
  const std::pair<std::vector<const char*>, const char*> others[] = {
      {{"--send"}, "--send"},
      {{"--list", "--bogus"}, "--bogus"},
      {{"--list", "--send", "1,2,3,4"}, "--list and --send"},
      {{"--json"}, "--json needs --list"},
      {{"--list", "--to", "2.0.0.5"}, "--to needs --send"},
      {{"--send", "1,2,3,4", "--send", "1,2,3,4"}, "--send is given more than once"},
      {{"--list", "extra"}, "'extra'"},
      {{"--help", "extra"}, "'extra'"},
      {{"--fixtures", "--send", "1,2,3,4"}, "--send and --fixtures cannot be used together"},
      {{"--fixtures", "--wait", "1"}, "--wait needs --list"},
      {{"--send", "1,2,3,4", "--fixture", "Wash"}, "--fixture needs --rig"},
      {{"--list", "--rig", "a.json"}, "--rig needs --send"},
      {{"--send", "1,2,3,4", "--rig", ""}, "--rig: ''"},
      {{"--send", "1,2,3,4", "--rig", "a", "--rig", "b"}, "--rig is given more than once"},
      {{"--send", "1,2,3,4", "--rig", "a", "--universe", "0:0:1"},
       "--universe cannot be used with --rig"},
      {{"--send", "1,2,3,4", "--address", "5", "--rig", "a"},
       "--address cannot be used with --rig"},
      {{"--send", "1,2,3,4", "--route"}, "--route needs --rig"},
      {{"--send", "1,2,3,4", "--rig", "a", "--wait", "1"}, "--wait needs --list or --route"},
      {{"--list", "--sync"}, "--sync needs --send"},
      {{"--send", "1,2,3,4", "--rig", "a", "--route", "--route"}, "--route is given more"}};
  for (const auto& [args, named] : others) check(args, named);
}

// Which universes go out (the bytes of each: CliLab), and each refusal on one line.
TEST(RigFrames, OnlyUniversesHoldingANamedFixtureAreSentAndRefusalsNameTheCause) {
  const QByteArray rig = R"({"chromasetRig": 1, "fixtures": [
    {"name": "Par 1", "universe": "0:1:0", "address": 1, "layout": "RGBW"},
    {"name": "Par 2", "universe": "0:1:0", "address": 5, "layout": "DRGBW"},
    {"name": "Wash", "universe": "0:0:2", "address": 10, "layout": "RGBW"}]})";
  QTemporaryDir dir;
  const QString good = dir.filePath(QStringLiteral("good.json")),
                bad = dir.filePath(QStringLiteral("bad.json")),
                missing = dir.filePath(QStringLiteral("missing.json"));
  ASSERT_TRUE(test::WriteFile(good, rig) &&
              test::WriteFile(bad, QByteArray(rig).replace(": 5,", ": 510,")));
  const struct {
    QString path;
    QStringList names;
    std::vector<int> subUnis;  // of the frames, in order
    QString error;             // how it starts
  } cases[] = {
      {good, {}, {0x02, 0x10}, {}},
      {good, {QStringLiteral("Par 2"), QStringLiteral("Par 1")}, {0x10}, {}},
      {good, {QStringLiteral("Wash")}, {0x02}, {}},
      {bad, {}, {}, bad + QStringLiteral(": fixture 2 (\"Par 2\"): address")},
      {missing, {}, {}, missing + QStringLiteral(": ")},
      {good,
       {QStringLiteral("Wash"), QStringLiteral("par 1")},
       {},
       QStringLiteral("--fixture: 'par 1' is not a fixture of ") + good},
  };
  for (const auto& c : cases) {
    std::vector<DmxFrame> frames(1);
    QString error;
    EXPECT_EQ(BuildRigFrames(c.path, c.names, {1, 2, 3, 4}, frames, error), c.error.isEmpty());
    EXPECT_TRUE(error.startsWith(c.error) && !error.contains('\n')) << error.toStdString();
    std::vector<int> subUnis;
    for (const DmxFrame& frame : frames) subUnis.push_back(frame.Net << 8 | frame.SubUni);
    EXPECT_EQ(subUnis, c.subUnis) << c.names.join(',').toStdString();
  }
}

// Bad files give one line each and the rest is listed (the user's folder from HOME: CliLab).
TEST(FixtureListing, TextAndJsonOfTheDefinitionsFound) {
  QTemporaryDir home;
  const QString folder = home.filePath(".qlcplus/fixtures");
  ASSERT_TRUE(test::WriteFile(folder + "/par.qxf",
                              test::Qxf("Chromatest", "Par 1", {"5ch: D R G B S", "Dim: D"})));
  ASSERT_TRUE(test::WriteFile(folder + "/bad.qxf", "<FixtureDefinition>"));
  QStringList errors;
  EXPECT_EQ(ListFixtures({folder}, "chromatest", false, errors),
            "Chromatest/Par 1\n  5ch: 5 channels\n  Dim: 1 channel; cannot be coloured: no red, "
            "green and blue intensity, and no cyan, magenta and yellow\n");
  ASSERT_EQ(errors.size(), 1);
  EXPECT_TRUE(errors[0].startsWith(folder + "/bad.qxf: ")) << errors[0].toStdString();

  const QJsonObject entry =
      QJsonDocument::fromJson(ListFixtures({folder}, "par chromatest 5CH", true, errors).toUtf8())
          .array()[0]
          .toObject();
  const QJsonArray channels = entry["modes"][0]["channels"].toArray();
  const QJsonObject dimmer{{"name", "D"}, {"role", "dimmer"}, {"fine", false}},
      speed{{"name", "S"}, {"role", "fixed"}, {"fine", false}, {"value", 7}}, named{{"name", "D"}};
  EXPECT_TRUE(channels.size() == 5 && channels[0] == dimmer && channels[4] == speed &&
              entry["modes"][1]["channels"][0] == named &&
              entry["modes"][1]["refusal"].toString().startsWith("no red"))
      << QJsonDocument(entry).toJson().toStdString();
  errors.clear();
  EXPECT_EQ(ListFixtures({home.filePath("none")}, "", false, errors), "");
  EXPECT_EQ(ListFixtures({folder}, " par  9ch", false, errors), "");
  EXPECT_TRUE(errors.size() == 3 && errors[0].contains("qlcplus-data") &&
              errors[2] == "no fixture definition matches \"par 9ch\"")
      << errors.join('\n').toStdString();
}

NodeRecord Node(std::array<std::uint8_t, 4> ip, std::uint16_t esta, const char* shortName,
                const char* longName) {
  NodeRecord record{};
  std::memcpy(record.IpAddress, ip.data(), 4);
  record.Port = 6454;
  record.EstaMan = esta;
  std::strncpy(record.ShortName, shortName, sizeof record.ShortName);
  std::strncpy(record.LongName, longName, sizeof record.LongName);
  return record;
}

TEST(NodeListing, RowsKeepAnswerOrderAndTextShowsNamesSafely) {
  NodeSnapshot snapshot{};
  snapshot[0] = Node({2, 7, 0, 5}, 0x1A2C, "Q&A", "Say \"hi\" & bye\xE9\x01");
  snapshot[1] = Node({2, 0, 1, 6}, 0x0001, "Six", "Other");
  snapshot[3] = Node({2, 0, 0, 9}, 0x2C1A, "Late", "Past a free slot");
  const std::vector<NodeRow> rows = NodeRows(snapshot, {2, 7, 0, 1});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_TRUE(rows[0].driven && rows[0].localNetwork);
  EXPECT_FALSE(rows[1].driven || rows[1].localNetwork);

  const QString json = FormatNodeJson(rows);  // names exactly as they came, escaped
  EXPECT_TRUE(json.contains(QString::fromLatin1("\"Say \\\"hi\\\" & bye\xE9\\u0001\"")) &&
              json.contains(QStringLiteral(R"("esta": "0x1A2C")")))
      << json.toStdString();

  const QStringList lines = FormatNodeTable(rows).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[1].indexOf(QStringLiteral("0x1A2C")), lines[0].indexOf(QStringLiteral("ESTA")));
  EXPECT_EQ(lines[2].indexOf(QStringLiteral("no")), lines[0].indexOf(QStringLiteral("DRIVEN")));
  EXPECT_TRUE(lines[1].contains(QString::fromLatin1("bye\xE9?"))) << lines[1].toStdString();
}

}  // namespace
}  // namespace chromaset
