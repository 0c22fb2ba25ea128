// chromaset_lab_run: runs one command as the controller 2.0.0.1 of a lab with simulated nodes,
// for screenshots and start-up timing of the real program without touching a real network.
//
//   chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... [--wait-ms N] [--log]
//                     -- COMMAND [ARG...]
//
// --wait-ms pauses after the nodes are up; --log lists on stderr, at the end, every datagram
// each node received. Exit status: the command's (128 + signal when killed); 125 when the lab
// cannot be made or the arguments are wrong; 127 when the command cannot be started.
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "lab.h"

namespace {

using namespace chromaset::lab;
constexpr int kRunnerFailure = 125;

// H, or H:ESTA24:ESTA25 with an optional :LongName (the rest, colons included).
bool ParseNode(const char* text, int& host, ReplyConfig& config) {
  int n = 0, esta24 = 0, esta25 = 0;
  const bool bare = std::sscanf(text, "%i%n", &host, &n) == 1 && text[n] == '\0';
  if (!bare && (std::sscanf(text, "%i:%i:%i%n", &host, &esta24, &esta25, &n) != 3 ||
                (text[n] != '\0' && text[n] != ':') || esta24 < 0 || esta24 > 255 || esta25 < 0 ||
                esta25 > 255)) {
    return false;
  }
  config.esta24 = static_cast<std::uint8_t>(bare ? config.esta24 : esta24);
  config.esta25 = static_cast<std::uint8_t>(bare ? config.esta25 : esta25);
  if (!bare && text[n] == ':') config.longName = text + n + 1;
  return host >= 2 && host <= 254;
}

const char* OpName(const std::vector<std::uint8_t>& bytes) {
  switch (chromaset::test::ArtNetOpCode(bytes)) {
    case chromaset::test::kTestOpPoll:
      return "ArtPoll";
    case chromaset::test::kTestOpPollReply:
      return "ArtPollReply";
    case chromaset::test::kTestOpDmx:
      return "ArtDmx";
    default:
      return "other";
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Without privileges a user namespace of our own (the caller as its root) gives the rights to
  // build the lab; it must be made while the process has one thread. On failure the lab says why.
  if (::geteuid() != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
    const std::string uid = std::to_string(::getuid()), gid = std::to_string(::getgid());
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " + uid + " 1";
    std::ofstream("/proc/self/gid_map") << "0 " + gid + " 1";
  }
  std::vector<int> hosts;
  std::vector<ReplyConfig> configs;
  int waitMs = 0, first = argc;
  bool log = false;
  for (int i = 1; i < argc && first == argc; ++i) {
    const std::string arg = argv[i];
    bool ok = true;
    if (arg == "--") {
      first = i + 1;
    } else if (arg == "--log") {
      log = true;
    } else if (arg == "--node" && i + 1 < argc) {
      hosts.push_back(0);
      ok = ParseNode(argv[++i], hosts.back(), configs.emplace_back());
    } else if (arg == "--wait-ms" && i + 1 < argc) {
      ok = std::sscanf(argv[++i], "%d", &waitMs) == 1 && waitMs >= 0;
    } else {
      ok = false;
    }
    if (!ok) first = -1;
  }
  if (first < 0 || first >= argc) {
    std::fprintf(stderr,
                 "usage: chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... "
                 "[--wait-ms N] [--log] -- COMMAND [ARG...]\n");
    return kRunnerFailure;
  }
  std::string whyNot;
  const std::unique_ptr<Lab> lab = Lab::Create(hosts, whyNot);
  if (!lab)
    return std::fprintf(stderr, "chromaset_lab_run: cannot make the lab: %s\n", whyNot.c_str()),
           kRunnerFailure;
  std::vector<std::unique_ptr<SimNode>> sims;
  for (std::size_t i = 0; i < hosts.size(); ++i)
    sims.push_back(std::make_unique<SimNode>(*lab, hosts[i], configs[i]));
  std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
  // Ctrl-C and termination go to the command; the runner waits for it and then reports.
  for (const int s : {SIGINT, SIGTERM, SIGQUIT}) ::signal(s, SIG_IGN);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {  // the command must never run in our namespace
    if (::setns(lab->ControllerNetnsFd(), CLONE_NEWNET) != 0) ::_exit(kRunnerFailure);
    for (const int s : {SIGINT, SIGTERM, SIGQUIT}) ::signal(s, SIG_DFL);
    ::execvp(argv[first], argv + first);
    ::_exit(127);
  }
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  for (const auto& sim : sims) {
    for (const Datagram& d : log ? sim->Received() : std::vector<Datagram>{}) {
      std::fprintf(stderr, "node %s: +%.1f ms %s %zu bytes from %s:%u to %s\n",
                   FormatIpv4(sim->Address()).c_str(),
                   std::chrono::duration<double, std::milli>(d.at - started).count(),
                   OpName(d.bytes), d.bytes.size(), FormatIpv4(d.from).c_str(), d.fromPort,
                   FormatIpv4(d.to).c_str());
    }
  }
  if (child < 0 || !(WIFEXITED(status) || WIFSIGNALED(status))) return kRunnerFailure;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
