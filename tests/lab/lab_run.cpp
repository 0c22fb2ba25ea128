// chromaset_lab_run: runs one command as the controller 2.0.0.1 of a lab with simulated nodes,
// for screenshots and start-up timing of the real program without touching a real network.
//
//   chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... [--outputs H:NET:SUB:UNI:COUNT]...
//                     [--log] [--limit SECONDS] -- COMMAND [ARG...]
//
// --outputs gives node H (named by --node before it) COUNT output ports, on NET:SUB:UNI and the
// universes after it, in its replies.
// --log lists on stderr, at the end, every datagram each node received. --limit stops the
// command and all it started (SIGTERM, SIGKILL 5 s later) when it has not ended in time, saying
// so. Exit status: the command's (128 + signal when killed); 124 when it was stopped at the
// limit; 125 when the lab cannot be made or the arguments are wrong; 127 when the command cannot
// be started.
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "lab.h"

using namespace chromaset::lab;

// The command's process group: signals meant for the runner go to all of it.
volatile std::sig_atomic_t g_group = 0;
void Forward(int signal) {
  if (g_group > 0) ::kill(-g_group, signal);
}

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

// H:NET:SUB:UNI:COUNT for one of the nodes named so far (each part masked to its field).
bool ParseOutputs(const char* text, const std::vector<int>& hosts,
                  std::vector<ReplyConfig>& configs) {
  unsigned host = 0, net = 0, sub = 0, uni = 0, count = 0;
  int n = 0;
  const bool read = std::sscanf(text, "%u:%u:%u:%u:%u%n", &host, &net, &sub, &uni, &count, &n) == 5;
  const auto at = std::find(hosts.begin(), hosts.end(), int(host));
  if (!read || text[n] != '\0' || at == hosts.end()) return false;
  configs[std::size_t(at - hosts.begin())].ports = {chromaset::test::OutputPorts(
      std::uint8_t(net & 0x7F), std::uint8_t(sub & 15), std::uint8_t(uni & 15), int(count))};
  return true;
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
  int limit = 0;  // seconds, 0: none
  for (; ok && first < argc && std::string(argv[first]) != "--"; ++first) {
    const std::string arg = argv[first];
    const char* value = first + 1 < argc ? argv[first + 1] : "";
    if (arg == "--log") log = true;
    if (arg == "--node") ok = ParseNode(value, hosts.emplace_back(), configs.emplace_back());
    if (arg == "--outputs") ok = ParseOutputs(value, hosts, configs);
    if (arg == "--limit") ok = (limit = std::atoi(value)) > 0;
    ok = ok && (arg == "--log" ||
                ((arg == "--node" || arg == "--outputs" || arg == "--limit") && ++first < argc));
  }
  std::string whyNot =
      "usage: chromaset_lab_run [--node H[:ESTA24:ESTA25[:LongName]]]... "
      "[--outputs H:NET:SUB:UNI:COUNT]... [--log] [--limit SECONDS] -- COMMAND [ARG...]";
  const auto lab = ok && ++first < argc ? Lab::Create(hosts, whyNot) : nullptr;
  if (!lab) return std::fprintf(stderr, "chromaset_lab_run: %s\n", whyNot.c_str()), 125;
  std::vector<std::unique_ptr<SimNode>> sims;
  for (std::size_t i = 0; i < hosts.size(); ++i)
    sims.push_back(std::make_unique<SimNode>(*lab, hosts[i], configs[i]));
  // The command runs in a process group of its own, so that at the limit everything it started
  // stops with it; Ctrl-C and termination are passed on to that group. The runner waits for it,
  // then reports.
  for (const int s : {SIGINT, SIGTERM, SIGQUIT}) ::signal(s, Forward);
  const auto started = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {  // the command never runs in our namespace
    ::setpgid(0, 0);
    if (::setns(lab->controller.fd, CLONE_NEWNET) != 0) ::_exit(125);
    ::execvp(argv[first], argv + first);
    ::_exit(127);
  }
  if (child > 0) {
    ::setpgid(child, child);  // also here: no signal may find it still in ours
    g_group = child;
  }
  int status = 0;
  bool stopped = false;
  for (auto stop = started + std::chrono::seconds(limit); child > 0;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) break;
    if (limit > 0 && std::chrono::steady_clock::now() >= stop) {
      if (!stopped)
        std::fprintf(stderr, "chromaset_lab_run: %s did not end within %d s; stopping it\n",
                     argv[first], limit);
      ::kill(-child, stopped ? SIGKILL : SIGTERM);
      stopped = true;
      stop += std::chrono::seconds(5);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (stopped) ::kill(-child, SIGKILL);  // whatever of it is left
  for (std::size_t i = 0; log && i < sims.size(); ++i)
    for (const Datagram& d : sims[i]->Received()) {
      const std::uint16_t op = chromaset::test::ArtNetOpCode(d.bytes);
      std::fprintf(stderr, "node %s: +%.1f ms %s %zu bytes from %s:%u to %s\n",
                   FormatIpv4(sims[i]->Address()).c_str(),
                   std::chrono::duration<double, std::milli>(d.at - started).count(),
                   op == 0x2000   ? "ArtPoll"
                   : op == 0x2100 ? "ArtPollReply"
                   : op == 0x5000 ? "ArtDmx"
                   : op == 0x5200 ? "ArtSync"
                                  : "other",
                   d.bytes.size(), FormatIpv4(d.from).c_str(), d.fromPort,
                   FormatIpv4(d.to).c_str());
    }
  if (child < 0 || !(WIFEXITED(status) || WIFSIGNALED(status))) return 125;
  if (stopped) return 124;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
