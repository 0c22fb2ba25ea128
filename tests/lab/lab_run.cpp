// chromaset_lab_run: runs one command as the controller of a lab with simulated nodes, for
// screenshots and start-up timing of the real program without touching a real network.
//
//   chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... [--wait-ms N] [--log]
//                     -- COMMAND [ARG...]
//
// --node     a simulated node at 2.0.0.H answering polls with the given bytes 24/25 and name
// --wait-ms  pause this long after the nodes are up, before the command starts
// --log      at the end, list on stderr what every node received
// Run by an ordinary user it makes a user namespace of its own first, so no privileges are
// needed where the kernel allows that; the command then runs as root of that namespace.
// Exit status: the command's (128 + signal when it was killed); 125 when the lab cannot be made
// or the arguments are wrong; 127 when the command cannot be started.
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "lab.h"
#include "sim_node.h"

namespace {

using chromaset::lab::Lab;
using chromaset::lab::ReplyConfig;
using chromaset::lab::SimNode;

constexpr int kRunnerFailure = 125;

struct NodeOption {
  int host = 0;
  ReplyConfig config;
};

int Usage(const char* why) {
  std::fprintf(stderr,
               "chromaset_lab_run: %s\n"
               "usage: chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... [--wait-ms N] "
               "[--log] -- COMMAND [ARG...]\n",
               why);
  return kRunnerFailure;
}

bool ParseNumber(const std::string& text, long low, long high, long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text.c_str(), &end, 0);  // 0x1A and 26 both work
  return errno == 0 && end != nullptr && *end == '\0' && value >= low && value <= high;
}

// H[:ESTA24:ESTA25[:LongName]]; the name is the rest of the text and may hold colons.
bool ParseNode(const std::string& text, NodeOption& node) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (parts.size() < 3) {
    const std::size_t colon = text.find(':', start);
    if (colon == std::string::npos) break;
    parts.push_back(text.substr(start, colon - start));
    start = colon + 1;
  }
  parts.push_back(text.substr(start));
  long value = 0;
  if (!ParseNumber(parts[0], 2, 254, value)) return false;
  node.host = static_cast<int>(value);
  if (parts.size() == 1) return true;
  if (parts.size() < 3) return false;
  if (!ParseNumber(parts[1], 0, 255, value)) return false;
  node.config.esta24 = static_cast<std::uint8_t>(value);
  if (!ParseNumber(parts[2], 0, 255, value)) return false;
  node.config.esta25 = static_cast<std::uint8_t>(value);
  if (parts.size() == 4) node.config.longName = parts[3];
  return true;
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

bool WriteFile(const char* path, const std::string& text) {
  FILE* file = std::fopen(path, "w");
  if (file == nullptr) return false;
  const bool written = std::fputs(text.c_str(), file) >= 0;
  return std::fclose(file) == 0 && written;
}

// Without privileges, a user namespace of our own (the caller mapped to its root) gives the
// rights to build the lab. It has to be made while the process still has a single thread. A
// network namespace comes with it: threads must be able to return to the namespace they
// started in, and only one owned by the new user namespace allows that. On failure nothing
// changes and the lab reports why it cannot be made.
void EnterOwnUserNamespace() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWUSER | CLONE_NEWNET) != 0) return;
  WriteFile("/proc/self/setgroups", "deny");
  WriteFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1");
  WriteFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1");
}

}  // namespace

int main(int argc, char** argv) {
  if (::geteuid() != 0) EnterOwnUserNamespace();
  std::vector<NodeOption> nodes;
  long waitMs = 0;
  bool log = false;
  int first = -1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--") {
      first = i + 1;
      break;
    }
    if (arg == "--node" && i + 1 < argc) {
      NodeOption node;
      if (!ParseNode(argv[++i], node)) return Usage("bad --node (want H[:ESTA24:ESTA25[:Name]])");
      nodes.push_back(node);
    } else if (arg == "--wait-ms" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], 0, 3600000, waitMs)) return Usage("bad --wait-ms");
    } else if (arg == "--log") {
      log = true;
    } else {
      return Usage(("unknown argument " + arg).c_str());
    }
  }
  if (first < 0 || first >= argc) return Usage("no command after --");

  std::vector<int> hosts;
  for (const NodeOption& node : nodes) hosts.push_back(node.host);
  std::string whyNot;
  const std::unique_ptr<Lab> lab = Lab::Create(hosts, whyNot);
  if (!lab) {
    std::fprintf(stderr, "chromaset_lab_run: cannot make the lab: %s\n",
                 chromaset::lab::OneLine(whyNot).c_str());
    return kRunnerFailure;
  }
  std::vector<std::unique_ptr<SimNode>> sims;
  for (const NodeOption& node : nodes) {
    sims.push_back(std::make_unique<SimNode>(*lab, node.host, node.config));
    if (!sims.back()->Ok()) {
      std::fprintf(stderr, "chromaset_lab_run: node %d: %s\n", node.host,
                   sims.back()->Error().c_str());
      return kRunnerFailure;
    }
  }
  if (waitMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));

  // Ctrl-C and termination go to the command; the runner stays to tidy up after it.
  signal(SIGINT, SIG_IGN);
  signal(SIGTERM, SIG_IGN);
  signal(SIGQUIT, SIG_IGN);
  const int controller = lab->ControllerNetnsFd();
  char** command = argv + first;
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    // Only async-signal-safe calls until exec; the command must never run in our namespace.
    if (::setns(controller, CLONE_NEWNET) != 0) ::_exit(kRunnerFailure);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGQUIT, SIG_DFL);
    ::execvp(command[0], command);
    ::_exit(127);
  }
  if (child < 0) {
    std::perror("chromaset_lab_run: fork");
    return kRunnerFailure;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (log) {
    for (const auto& sim : sims) {
      for (const chromaset::lab::Datagram& d : sim->Received()) {
        const auto ms = std::chrono::duration<double, std::milli>(d.at - started).count();
        std::fprintf(stderr, "node %s: +%.1f ms %s %zu bytes from %s:%u to %s\n",
                     chromaset::lab::FormatIpv4(sim->Address()).c_str(), ms, OpName(d.bytes),
                     d.bytes.size(), chromaset::lab::FormatIpv4(d.from).c_str(), d.fromPort,
                     chromaset::lab::FormatIpv4(d.to).c_str());
      }
    }
  }
  sims.clear();
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return kRunnerFailure;
}
