// The real chromaset binary with options, no display, as the controller of a lab.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "lab.h"
#include "lab_sockets.h"
#include "sim_node.h"

extern char** environ;

namespace chromaset::lab {
namespace {

using namespace std::chrono_literals;

struct Process {
  pid_t pid = -1;
  FILE* out = std::tmpfile();
  FILE* err = std::tmpfile();
  int status = -1;
  std::string stdoutText, stderrText;
};

// Starts the binary from the calling thread (so in its namespace) without any display.
void Start(Process& run, const std::vector<std::string>& args) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("DISPLAY=", 0) != 0 && entry.rfind("WAYLAND_DISPLAY=", 0) != 0 &&
        entry.rfind("QT_QPA_PLATFORM=", 0) != 0) {
      env.push_back(entry);
    }
  }
  std::vector<char*> argv{const_cast<char*>(CHROMASET_BINARY)}, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  for (std::string& e : env) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);
  run.pid = ::fork();
  if (run.pid == 0) {
    ::dup2(fileno(run.out), 1);
    ::dup2(fileno(run.err), 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
}

std::string ReadAll(FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

// Waits for the end (killing a program that hangs), then collects its output.
void Finish(Process& run) {
  const auto giveUp = std::chrono::steady_clock::now() + 20s;
  int status = 0;
  while (::waitpid(run.pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > giveUp) {
      ::kill(run.pid, SIGKILL);
      ::waitpid(run.pid, &status, 0);
      ADD_FAILURE() << "chromaset did not end";
    }
    std::this_thread::sleep_for(10ms);
  }
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  run.stdoutText = ReadAll(run.out);
  run.stderrText = ReadAll(run.err);
}

Process Chromaset(const std::vector<std::string>& args) {
  Process run;
  Start(run, args);
  Finish(run);
  return run;
}

std::vector<std::string> Columns(const std::string& line) {
  const std::regex gap(" {2,}");
  return {std::sregex_token_iterator(line.begin(), line.end(), gap, -1), {}};
}

std::vector<std::uint8_t> Frame(std::size_t at, std::vector<std::uint8_t> rgbw, std::uint8_t net,
                                std::uint8_t subUni) {
  std::vector<std::uint8_t> channels(512, 0);
  std::copy(rgbw.begin(), rgbw.end(), channels.begin() + static_cast<long>(at));
  return test::MakeArtDmx(channels.data(), 512, net, subUni);
}

TEST(CliLab, ListShowsAnsweringNodesInOrderAsColumnsAndJson) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  ReplyConfig five;
  five.shortName = "Q&A";
  five.longName = "Say \"hi\" & bye\xE9";
  five.delay = 200ms;  // answers second
  ReplyConfig six;
  six.ip = Ipv4{2, 0, 1, 6};  // another /24
  six.esta24 = 0x00;
  six.esta25 = 0x01;
  six.shortName = "Six";
  six.longName = "Other maker";
  SimNode node5(*lab, 5, five), node6(*lab, 6, six);
  const auto scope = lab->EnterController();

  const Process text = Chromaset({"--list", "--wait", "1"});
  ASSERT_EQ(text.status, 0) << text.stderrText;
  std::vector<std::string> lines;
  const std::regex newline("\n");
  for (std::sregex_token_iterator it(text.stdoutText.begin(), text.stdoutText.end(), newline, -1),
       end;
       it != end; ++it) {
    if (it->length() > 0) lines.push_back(*it);
  }
  ASSERT_EQ(lines.size(), 3u) << text.stdoutText;
  using Cols = std::vector<std::string>;
  EXPECT_EQ(Columns(lines[0]),
            (Cols{"IP", "ESTA", "SHORT NAME", "LONG NAME", "DRIVEN", "LOCAL NETWORK"}));
  EXPECT_EQ(Columns(lines[1]), (Cols{"2.0.1.6", "0x0001", "Six", "Other maker", "no", "no"}));
  EXPECT_EQ(Columns(lines[2]),
            (Cols{"2.0.0.5", "0x1A2C", "Q&A", "Say \"hi\" & bye\xC3\xA9", "yes", "yes"}));

  const Process json = Chromaset({"--list", "--json", "--wait", "1"});
  ASSERT_EQ(json.status, 0) << json.stderrText;
  QJsonParseError error{};
  const QJsonArray nodes =
      QJsonDocument::fromJson(QByteArray::fromStdString(json.stdoutText), &error).array();
  ASSERT_EQ(error.error, QJsonParseError::NoError) << json.stdoutText;
  ASSERT_EQ(nodes.size(), 2);
  EXPECT_EQ(nodes[0][QStringLiteral("esta")].toString(), QStringLiteral("0x0001"));
  EXPECT_FALSE(nodes[0][QStringLiteral("localNetwork")].toBool());
  EXPECT_EQ(nodes[1][QStringLiteral("longName")].toString(),
            QString::fromLatin1("Say \"hi\" & bye\xE9"));
  EXPECT_EQ(nodes[1][QStringLiteral("shortName")].toString(), QStringLiteral("Q&A"));
  EXPECT_TRUE(nodes[1][QStringLiteral("driven")].toBool());
}

TEST(CliLab, SendPutsTheFrameOnTheWireByBroadcastAndToEachTarget) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  SimNode node5(*lab, 5), node6(*lab, 6);
  const auto scope = lab->EnterController();

  EXPECT_EQ(Chromaset({"--send", "10,20,30,40"}).status, 0);
  for (SimNode* node : {&node5, &node6}) {
    ASSERT_TRUE(node->WaitFor([&] { return !node->Received().empty(); }));
    const std::vector<Datagram> got = node->Received();
    ASSERT_EQ(got.size(), 1u);  // the frame and no poll
    EXPECT_EQ(got[0].to, kBroadcast);
    EXPECT_EQ(got[0].bytes, Frame(0, {10, 20, 30, 40}, 0, 0));
    node->ClearReceived();
  }

  EXPECT_EQ(Chromaset({"--send", "1,2,3,4", "--to", "2.0.0.6", "--to", "2.0.0.5", "--universe",
                       "1:2:3", "--address", "509"})
                .status,
            0);
  for (SimNode* node : {&node5, &node6}) {
    ASSERT_TRUE(node->WaitFor([&] { return !node->Received().empty(); }));
    const std::vector<Datagram> got = node->Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].to, node->Address());
    EXPECT_EQ(got[0].bytes, Frame(508, {1, 2, 3, 4}, 1, 0x23));
  }
}

TEST(CliLab, HoldRepeatsEverySecondAndEndsAtOnceOnSigint) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  const auto scope = lab->EnterController();

  EXPECT_EQ(Chromaset({"--send", "1,1,1,1", "--hold", "3"}).status, 0);
  std::this_thread::sleep_for(200ms);
  const std::size_t frames = node.DmxFrames().size();
  EXPECT_GE(frames, 3u);
  EXPECT_LE(frames, 5u);

  Process run;
  Start(run, {"--send", "1,1,1,1", "--hold", "600"});
  EXPECT_TRUE(node.WaitFor([&] { return node.DmxFrames().size() > frames; }));
  ::kill(run.pid, SIGINT);
  Finish(run);  // fails when the hold goes on
  EXPECT_EQ(run.status, 0) << run.stderrText;
}

TEST(CliLab, PortTakenOrUsageErrorSendsNothing) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode node(*lab, 5);
  const auto scope = lab->EnterController();

  const std::vector<std::vector<std::string>> usageErrors = {
      {"--send", "1,2,3,256"},
      {"--send", "1,2,3,4", "--to", "2.0.0.256"},
      {"--send", "1,2,3,4", "--universe", "0:16:0"},
      {"--send", "1,2,3,4", "--address", "510"},
      {"--send", "1,2,3,4", "--bogus"},
      {"--list", "--wait", "0"},
  };
  for (const auto& args : usageErrors) {
    const Process run = Chromaset(args);
    EXPECT_EQ(run.status, 2) << args[args.size() - 2] << " " << args.back();
    EXPECT_NE(run.stderrText.find(args.back()), std::string::npos) << run.stderrText;
  }
  const Process window = Chromaset({});
  EXPECT_EQ(window.status, 1);  // no display: one line instead of an abort
  EXPECT_NE(window.stderrText.find("--help"), std::string::npos) << window.stderrText;

  const ScopedFd holder(OpenArtNetSocket());
  ASSERT_GE(holder.get(), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--send", "1,2,3,4"}, {"--list", "--wait", "0.1"}}) {
    const Process run = Chromaset(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.stderrText,
              "Connection to network failed!\nCheck if Netforge or Luxforge is running.\n");
  }
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(node.Received().empty());
}

}  // namespace
}  // namespace chromaset::lab
