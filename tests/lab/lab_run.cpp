// chromaset_lab_run: runs one command as the controller 2.0.0.1 of a lab with simulated nodes,
// for screenshots and start-up timing of the real program without touching a real network.
//
//   chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... [--log] -- COMMAND [ARG...]
//
// --log lists on stderr, at the end, every datagram
// each node received. Exit status: the command's (128 + signal when killed); 125 when the lab
// cannot be made or the arguments are wrong; 127 when the command cannot be started.
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "lab.h"

using namespace chromaset::lab;

// H, or H:ESTA24:ESTA25 with an optional :LongName (the rest, colons included).
bool ParseNode(const char* text, int& host, ReplyConfig& config) {
  int n = 0, esta24 = config.esta24, esta25 = config.esta25;
  const int got = std::sscanf(text, "%i%n:%i:%i%n", &host, &n, &esta24, &esta25, &n);
  if ((got != 1 && got != 3) || (text[n] != '\0' && (got == 1 || text[n] != ':'))) return false;
  if (text[n] == ':') config.longName = text + n + 1;
  config.esta24 = static_cast<std::uint8_t>(esta24);
  config.esta25 = static_cast<std::uint8_t>(esta25);
  return host >= 2 && host <= 254 && esta24 >= 0 && esta24 <= 255 && esta25 >= 0 && esta25 <= 255;
}

int main(int argc, char** argv) {
  // Without privileges a user namespace of our own (the caller as its root) gives the rights to
  // build the lab; it must be made while the process has one thread. On failure the lab says why.
  if (::geteuid() != 0 && ::unshare(CLONE_NEWUSER | CLONE_NEWNET) == 0) {
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " + std::to_string(::getuid()) + " 1";
    std::ofstream("/proc/self/gid_map") << "0 " + std::to_string(::getgid()) + " 1";
  }
  std::vector<int> hosts;
  std::vector<ReplyConfig> configs;
  int first = 1;
  bool log = false, ok = true;
  for (; ok && first < argc && std::string(argv[first]) != "--"; ++first) {
    const std::string arg = argv[first];
    const char* value = first + 1 < argc ? argv[first + 1] : "";
    if (arg == "--log") log = true;
    if (arg == "--node") ok = ParseNode(value, hosts.emplace_back(), configs.emplace_back());
    ok = ok && (arg == "--log" || (arg == "--node" && ++first < argc));
  }
  std::string whyNot =
      "usage: chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... "
      "[--log] -- COMMAND [ARG...]";
  const auto lab = ok && ++first < argc ? Lab::Create(hosts, whyNot) : nullptr;
  if (!lab) return std::fprintf(stderr, "chromaset_lab_run: %s\n", whyNot.c_str()), 125;
  std::vector<std::unique_ptr<SimNode>> sims;
  for (std::size_t i = 0; i < hosts.size(); ++i)
    sims.push_back(std::make_unique<SimNode>(*lab, hosts[i], configs[i]));
  // Ctrl-C and termination go to the command; the runner waits for it, then reports.
  for (const int s : {SIGINT, SIGTERM, SIGQUIT}) ::signal(s, SIG_IGN);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {  // the command never runs in our namespace
    if (::setns(lab->controller.fd, CLONE_NEWNET) != 0) ::_exit(125);
    for (const int s : {SIGINT, SIGTERM, SIGQUIT}) ::signal(s, SIG_DFL);
    ::execvp(argv[first], argv + first);
    ::_exit(127);
  }
  int status = 0;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) continue;
  for (std::size_t i = 0; log && i < sims.size(); ++i)
    for (const Datagram& d : sims[i]->Received()) {
      const std::uint16_t op = chromaset::test::ArtNetOpCode(d.bytes);
      std::fprintf(stderr, "node %s: +%.1f ms %s %zu bytes from %s:%u to %s\n",
                   FormatIpv4(sims[i]->Address()).c_str(),
                   std::chrono::duration<double, std::milli>(d.at - started).count(),
                   op == 0x2000   ? "ArtPoll"
                   : op == 0x2100 ? "ArtPollReply"
                   : op == 0x5000 ? "ArtDmx"
                                  : "other",
                   d.bytes.size(), FormatIpv4(d.from).c_str(), d.fromPort,
                   FormatIpv4(d.to).c_str());
    }
  if (child < 0 || !(WIFEXITED(status) || WIFSIGNALED(status))) return 125;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
