// The real chromaset binary with options and no display, as the controller of a lab.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include "definition_files.h"
#include "lab.h"

namespace chromaset::lab {

using namespace std::chrono_literals;

struct Result {
  int status = -1;
  std::string output;  // stdout and stderr
};

// Runs the binary from the calling thread, so in its namespace, for 20 s at most; `before` runs in
// the same shell first (timeout then takes the shell's process id, $$, and passes signals on).
Result Chromaset(const std::string& args, const std::string& before = "") {
  FILE* pipe = ::popen((before + "exec timeout -k 5 20 env -u DISPLAY -u WAYLAND_DISPLAY " +
                        "-u QT_QPA_PLATFORM '" + CHROMASET_BINARY + "' " + args + " 2>&1")
                           .c_str(),
                       "r");
  std::string output;
  for (int c; (c = std::fgetc(pipe)) != EOF;) output += static_cast<char>(c);
  const int status = ::pclose(pipe);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == 124 || code == 137)
    ADD_FAILURE() << "chromaset " << args << " did not end within 20 s; it wrote: " << output;
  return {code, output};
}

std::vector<std::uint8_t> Frame(std::size_t at, std::vector<std::uint8_t> rgbw, std::uint8_t net,
                                std::uint8_t subUni) {
  std::vector<std::uint8_t> channels(512, 0);
  std::copy(rgbw.begin(), rgbw.end(), channels.begin() + static_cast<long>(at));
  return test::MakeArtDmx(channels.data(), 512, net, subUni);
}

TEST(CliLab, ListShowsAnsweringNodesInAnswerOrderWithTheirOutputs) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  ReplyConfig five;
  five.longName = "Say \"hi\" & bye\xE9";
  five.delay = 200ms;  // answers second
  // BindIndex 1 outputs 0:0:1 and 0:0:2; BindIndex 2 outputs 0:1:3 and takes input on 0:1:4.
  five.ports = {test::OutputPorts(0, 0, 1, 2, 1), test::OutputPorts(0, 1, 3, 2, 2)};
  five.ports[1].portTypes[1] = test::kInputPort;
  ReplyConfig six;
  six.ip = Ipv4{2, 0, 1, 6};
  SimNode node5(*lab, 5, five), node6(*lab, 6, six);
  const auto scope = lab->EnterController();

  const Result text = Chromaset("--list --wait 1");  // the table (its layout: NodeListing)
  EXPECT_EQ(text.status, 0);
  EXPECT_TRUE(text.output.rfind("IP ", 0) == 0 &&
              text.output.find("bye\xC3\xA9") != std::string::npos &&
              text.output.find("  OUTPUTS\n") != std::string::npos &&  // node 6 has none:
              text.output.find("  -\n") != std::string::npos &&
              text.output.find("  0:0:1 0:0:2 0:1:3\n") != std::string::npos)
      << text.output;

  const Result json = Chromaset("--list --json --wait 1");
  QJsonParseError error{};
  const QJsonArray nodes =
      QJsonDocument::fromJson(QByteArray::fromStdString(json.output), &error).array();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << json.output;
  ASSERT_EQ(nodes.size(), 2);
  EXPECT_EQ(nodes[0][QStringLiteral("ip")].toString(), QStringLiteral("2.0.1.6"));
  EXPECT_EQ(nodes[1][QStringLiteral("longName")].toString(),
            QString::fromLatin1("Say \"hi\" & bye\xE9"));
  EXPECT_EQ(nodes[0]["outputs"], QJsonArray());
  EXPECT_EQ(nodes[1]["outputs"], (QJsonArray{"0:0:1", "0:0:2", "0:1:3"}));
}

// --route: each universe once at each node that outputs it (node 5 outputs 0:0:1 on two ports;
// node 6 only takes input on it), never broadcast; 0:0:9, output by none, is named and gives 3.
// An added node (--to) gets every universe, and --sync's ArtSync follows the last frame.
TEST(CliLab, SendRigRouteUnicastsEachUniverseToItsOutputsAndSyncFollowsTheFrames) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  ReplyConfig five, six, seven;
  five.ports = {test::OutputPorts(0, 0, 1, 2, 1), test::OutputPorts(0, 1, 3, 1, 2)};
  five.ports[0].swOut[1] = 1;
  six.ports = {test::OutputPorts(0, 1, 3, 1, 1), test::OutputPorts(0, 0, 1, 1, 2)};
  six.ports[1].portTypes[0] = test::kInputPort;
  seven.answer = false;
  SimNode node5(*lab, 5, five), node6(*lab, 6, six), node7(*lab, 7, seven);
  QTemporaryDir dir;
  const QString rig = dir.filePath(QStringLiteral("stage.json"));
  ASSERT_TRUE(test::WriteFile(rig, R"({"chromasetRig": 1, "fixtures": [
    {"name": "A", "universe": "0:0:1", "address": 1, "layout": "RGBW"},
    {"name": "B", "universe": "0:1:3", "address": 5, "layout": "RGBW"},
    {"name": "C", "universe": "0:0:9", "address": 1, "layout": "RGBW"}]})"));
  const std::string send = "--send 1,2,3,4 --wait 0.5 --route --rig '" + rig.toStdString() + "'";
  using Bytes = std::vector<std::uint8_t>;
  const Bytes a = Frame(0, {1, 2, 3, 4}, 0, 0x01), b = Frame(4, {1, 2, 3, 4}, 0, 0x13),
              c = Frame(0, {1, 2, 3, 4}, 0, 0x09),
              sync = {'A', 'r', 't', '-', 'N', 'e', 't', 0, 0, 0x52, 0, 14, 0, 0};
  const struct {
    std::string args, output;
    int status;
    std::vector<Bytes> at5, at6, at7;
  } cases[] = {{send, "chromaset: no node outputs universe 0:0:9: not sent\n", 3, {a, b}, {b}, {}},
               {send + " --to 2.0.0.7 --sync", "", 0, {a, b, sync}, {b, sync}, {a, c, b, sync}}};
  const auto scope = lab->EnterController();
  for (const auto& run : cases) {
    const Result result = Chromaset(run.args);
    EXPECT_TRUE(result.status == run.status && result.output == run.output) << result.output;
    std::this_thread::sleep_for(100ms);  // anything still in flight
    for (const auto& [node, want] :
         {std::pair{&node5, run.at5}, {&node6, run.at6}, {&node7, run.at7}}) {
      std::vector<Bytes> got;  // after the poll: frames to the node itself, the ArtSync broadcast
      for (const Datagram& d : node->Received()) {
        if (test::ArtNetOpCode(d.bytes) == test::kTestOpPoll) continue;
        got.push_back(d.bytes);
        EXPECT_EQ(d.to, d.bytes == sync ? kBroadcast : node->Address()) << run.args;
      }
      EXPECT_EQ(got, want) << run.args << " at " << FormatIpv4(node->Address());
      node->ClearReceived();
    }
  }
}

// --route --hold follows the nodes: one that answers only later gets its frames from then on.
TEST(CliLab, SendRigRouteHoldReachesANodeThatAppears) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  ReplyConfig late;
  late.answer = false;
  late.ports = {test::OutputPorts(0, 0, 1, 1)};
  SimNode node5(*lab, 5, late);
  QTemporaryDir dir;
  const QString rig = dir.filePath(QStringLiteral("one.json"));
  ASSERT_TRUE(test::WriteFile(
      rig,
      R"({"chromasetRig": 1, "fixtures": [{"name": "A", "universe": "0:0:1", "address": 1, "layout": "RGBW"}]})"));
  std::thread wakes([&] {
    std::this_thread::sleep_for(800ms);  // after the first poll, before the hold's next one
    late.answer = true;
    node5.SetReplyConfig(late);
  });
  const auto scope = lab->EnterController();
  const Result result =
      Chromaset("--send 1,2,3,4 --wait 0.5 --route --hold 3 --rig '" + rig.toStdString() + "'");
  wakes.join();
  EXPECT_EQ(result.status, 3) << "0:0:1 went nowhere at first: " << result.output;
  EXPECT_GE(node5.PollsSeen(), 2u);
  EXPECT_EQ(node5.DmxFrames().size(), 1u) << "the repeat after its answer, and only that one";
}

TEST(CliLab, SendPutsTheFrameOnTheWireByBroadcastAndToEachTarget) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  SimNode node5(*lab, 5), node6(*lab, 6);
  const auto scope = lab->EnterController();
  const struct {
    const char* args;
    std::vector<std::uint8_t> bytes;
    bool broadcast;
  } cases[] = {
      {"--send 10,20,30,40", Frame(0, {10, 20, 30, 40}, 0, 0), true},
      {"--send 1,2,3,4 --to 2.0.0.6 --to 2.0.0.5 --universe 1:2:3 --address 509",
       Frame(508, {1, 2, 3, 4}, 1, 0x23), false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Chromaset(c.args).status, 0) << c.args;
    for (SimNode* node : {&node5, &node6}) {
      ASSERT_TRUE(node->WaitFor([&] { return !node->Received().empty(); })) << c.args;
      const std::vector<Datagram> got = node->Received();
      ASSERT_EQ(got.size(), 1u) << c.args;  // the frame alone, no poll
      EXPECT_EQ(got[0].to, c.broadcast ? kBroadcast : node->Address()) << c.args;
      EXPECT_EQ(got[0].bytes, c.bytes) << c.args;
      node->ClearReceived();
    }
  }
}

TEST(CliLab, SendRigPutsTheFrameOfEachUniverseHoldingANamedFixtureOnTheWire) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  SimNode node5(*lab, 5), node6(*lab, 6);
  QTemporaryDir dir;
  const std::string rig = dir.filePath(QStringLiteral("stage.json")).toStdString();
  ASSERT_TRUE(test::WriteFile(QString::fromStdString(rig), R"({"chromasetRig": 1, "fixtures": [
    {"name": "Par 1", "universe": "0:1:0", "address": 1, "layout": "RGBW", "colour": [1, 2, 3, 4]},
    {"name": "Par 2", "universe": "0:1:0", "address": 5, "layout": "RGBW", "colour": [5, 6, 7, 8]},
    {"name": "Wash", "universe": "0:0:2", "address": 10, "layout": "RGBW"}]})"));
  const auto scope = lab->EnterController();
  // Par 1 keeps its stored colour beside Par 2; Wash's universe goes out only when it is named,
  // first (lower Port-Address), each frame to each destination before the next frame.
  // (An unnamed universe left out, and the refusals, are checked without a socket: RigFrames.)
  const std::vector<std::vector<std::uint8_t>> frames = {
      Frame(9, {10, 20, 30, 40}, 0, 0x02), Frame(0, {1, 2, 3, 4, 10, 20, 30, 40}, 0, 0x10)};
  EXPECT_EQ(Chromaset("--send 10,20,30,40 --rig '" + rig +
                      "' --fixture 'Par 2' --fixture Wash --to 2.0.0.5 --to 2.0.0.6")
                .status,
            0);
  for (SimNode* node : {&node5, &node6})
    ASSERT_TRUE(node->WaitFor([&] { return node->Received().size() >= frames.size(); }));
  std::this_thread::sleep_for(100ms);  // and nothing more follows
  const std::vector<Datagram> five = node5.Received(), six = node6.Received();
  ASSERT_TRUE(five.size() == frames.size() && six.size() == frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    EXPECT_TRUE(five[i].bytes == frames[i] && six[i].bytes == frames[i]) << i;
    EXPECT_LE(five[i].at, six[i].at);
    if (i > 0) {
      EXPECT_LE(six[i - 1].at, five[i].at);
    }
  }
}

// A fixture of a definition and mode alone, from the user's folder of the library: its mapped
// bytes go out (white raised into R, G and B: the mode has no white), an unknown mode is a usage
// error naming the fixture, and --fixtures names a bad file and lists the rest.
TEST(CliLab, SendRigResolvesALibraryFixtureAndFixturesListsTheUsersFolder) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  QTemporaryDir home;
  const QString folder = home.filePath(".qlcplus/fixtures");
  ASSERT_TRUE(test::WriteFile(folder + "/par.qxf",
                              test::Qxf("Chromatest", "Par 1", {"5ch: D R G B S", "Dim: D"})));
  ASSERT_TRUE(test::WriteFile(folder + "/bad.qxf", "<FixtureDefinition><Model>"));
  const QString rigPath = home.filePath("rig.json");
  const std::string rig = rigPath.toStdString(),
                    env = "export HOME='" + home.path().toStdString() + "'; ";
  QByteArray json = R"({"chromasetRig": 1, "fixtures": [{"name": "Spot", "universe": "0:0:0",
    "address": 3, "definition": "Chromatest/Par 1", "mode": "5ch"}]})";
  const auto scope = lab->EnterController();
  ASSERT_TRUE(test::WriteFile(rigPath, json));
  EXPECT_EQ(Chromaset("--send 10,20,30,40 --rig '" + rig + "' --to 2.0.0.5", env).status, 0);
  ASSERT_TRUE(node.WaitFor([&] { return !node.Received().empty(); }));
  EXPECT_EQ(node.Received()[0].bytes, Frame(2, {255, 50, 60, 70, 7}, 0, 0));

  ASSERT_TRUE(test::WriteFile(rigPath, json.replace("5ch", "8ch")));
  const Result unknown = Chromaset("--send 10,20,30,40 --rig '" + rig + "' --to 2.0.0.5", env);
  EXPECT_TRUE(unknown.status == 2 &&
              unknown.output.find(R"(fixture 1 ("Spot"): mode: "8ch" is not a mode)") !=
                  std::string::npos)
      << unknown.output;
  const Result listed = Chromaset("--fixtures chromatest", env);
  EXPECT_TRUE(listed.status == 0 &&
              listed.output.find("chromaset: " + folder.toStdString() + "/bad.qxf: ") !=
                  std::string::npos &&
              listed.output.find("Chromatest/Par 1\n  5ch: 5 channels\n") != std::string::npos)
      << listed.output;
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(node.Received().size(), 1u);  // nothing more went out
}

TEST(CliLab, UsageErrorOrPortTakenSendsNothingAndHoldRepeatsUntilCtrlC) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  const auto scope = lab->EnterController();
  EXPECT_EQ(Chromaset("--send 1,2,3,256 --to 2.0.0.5").status, 2);  // a usage error
  const Result window = Chromaset("");
  EXPECT_EQ(window.status, 1);  // no display: one line instead of an abort
  EXPECT_NE(window.output.find("--help"), std::string::npos) << window.output;
  {
    const ScopedFd holder{OpenArtNetSocket()};
    ASSERT_GE(holder.fd, 0);
    for (const char* args : {"--send 1,2,3,4", "--list --wait 0.1"}) {
      const Result run = Chromaset(args);
      EXPECT_EQ(run.status, 1) << args;
      EXPECT_EQ(run.output,
                "Connection to network failed!\nCheck if Netforge or Luxforge is running.\n");
    }
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(node.Received().empty());

  EXPECT_EQ(Chromaset("--send 1,1,1,1 --hold 3").status, 0);
  std::this_thread::sleep_for(200ms);
  EXPECT_GE(node.DmxFrames().size(), 3u);
  EXPECT_LE(node.DmxFrames().size(), 5u);
  node.ClearReceived();
  // Without a clean end on SIGINT this would hold for 10 minutes, past the time-out.
  EXPECT_EQ(Chromaset("--send 1,1,1,1 --hold 600", "(sleep 1.5; kill -INT $$) & ").status, 0);
  EXPECT_LE(node.DmxFrames().size(), 3u);
}

}  // namespace chromaset::lab
