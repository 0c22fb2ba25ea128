#include "headless.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>

#include "artnet_link.h"
#include "fixture_listing.h"
#include "node_listing.h"
#include "rig_frames.h"
#include "route_table.h"

namespace chromaset {

namespace {

using Clock = std::chrono::steady_clock;

void Print(FILE* stream, const QString& text) {
  const QByteArray bytes = text.toLocal8Bit();
  std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
  std::fflush(stream);
}

// SIGINT and SIGTERM are blocked in every thread and taken only by WaitUntil, so a hold or a
// listing ends at once and cleanly (no work in a handler, none can be interrupted midway).
// They stay blocked until the process exits: a second copy of the signal (a second Ctrl+C, or
// `timeout` sending to its child and then to the child's group) would otherwise be delivered
// the moment the mask came off and end the process by the signal instead of its exit status.
class StopSignals {
 public:
  StopSignals() {
    sigemptyset(&m_set);
    sigaddset(&m_set, SIGINT);
    sigaddset(&m_set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &m_set, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Sleeps until deadline; false when a stop signal came first.
  bool WaitUntil(Clock::time_point deadline) const {
    for (;;) {
      const auto left = deadline - Clock::now();
      if (left <= Clock::duration::zero()) return true;
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      const timespec timeout{static_cast<time_t>(ns / 1000000000),
                             static_cast<long>(ns % 1000000000)};
      const int got = sigtimedwait(&m_set, nullptr, &timeout);
      if (got == SIGINT || got == SIGTERM) return false;
    }
  }

 private:
  sigset_t m_set{};
};

Clock::time_point After(Clock::time_point start, double seconds) {
  return start +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool OpenLink(ArtNetLink& link) {
  if (link.OpenArtNetEndpoint()) return true;
  Print(stderr, QString::fromUtf8(kNetworkFailureText) + QLatin1Char('\n'));
  return false;
}

// Starts the receiver and sends the one ArtPoll; false (named on stderr) when it cannot go out.
bool Poll(ArtNetLink& link) {
  link.StartReceiver();
  if (link.SendArtPoll()) return true;
  Print(stderr, QStringLiteral("chromaset: the ArtPoll to 255.255.255.255 could not be sent "
                               "(no route for broadcasts?)\n"));
  return false;
}

int RunList(const CliOptions& options, const StopSignals& stop) {
  ArtNetLink link;
  if (!OpenLink(link)) return kExitNetwork;
  if (!Poll(link)) return kExitNetwork;
  // A stop signal ends the wait early; the nodes heard so far are still listed.
  stop.WaitUntil(After(Clock::now(), options.waitSeconds));
  NodeSnapshot snapshot;
  link.Nodes().Snapshot(snapshot);
  const Ipv4Bytes local = link.LocalAddresses()[0];
  link.Close();
  const std::vector<NodeRow> rows = NodeRows(snapshot, local, &link.Ports());
  Print(stdout, options.json ? FormatNodeJson(rows) : FormatNodeTable(rows));
  return kExitOk;
}

// No socket: the library is read and listed. Bad files are named on stderr; the rest is listed.
int RunFixtures(const CliOptions& options) {
  QStringList errors;
  const QString list =
      ListFixtures(FixtureLibrary::DefaultFolders(), options.fixturesText, options.json, errors);
  for (const QString& error : errors) Print(stderr, QStringLiteral("chromaset: %1\n").arg(error));
  Print(stdout, list);
  return kExitOk;
}

QString FormatTarget(const Ipv4Bytes& ip) {
  return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

using Destinations = std::vector<std::vector<Ipv4Bytes>>;  // of each frame

// --route: the frames' universes routed by what the nodes heard so far output, the added nodes
// receiving all. A universe that goes nowhere gives kExitUnrouted and, when report, is named on
// stderr.
int Route(const PortTable& ports, const std::vector<Ipv4Bytes>& added,
          const std::vector<DmxFrame>& frames, Destinations& to, bool report = true) {
  std::vector<PortEntry> entries;
  ports.Snapshot(entries);
  std::vector<int> universes;  // ascending, as the frames are
  for (const DmxFrame& frame : frames) universes.push_back(frame.Net << 8 | frame.SubUni);
  RouteTable routes;
  routes.Build(entries, universes, added, Clock::now());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const std::span<const Ipv4Bytes> nodes = routes.For(universes[i]);
    to[i].assign(nodes.begin(), nodes.end());
  }
  if (routes.Unrouted().empty()) return kExitOk;
  if (!report) return kExitUnrouted;
  QStringList names;
  for (const int universe : routes.Unrouted())
    names << QLatin1String(PortAddressText(universe).data());
  Print(stderr, QStringLiteral("chromaset: no node outputs universe%1 %2: not sent\n")
                    .arg(QLatin1String(names.size() > 1 ? "s" : ""), names.join(", ")));
  return kExitUnrouted;
}

// As the window sends: for each universe's frame, to each of its destinations in turn; then
// the ArtSync when asked for, so that it follows the last frame of the pass.
bool SendFrames(ArtNetLink& link, const std::vector<DmxFrame>& frames,
                const Destinations& destinations, bool sync) {
  bool sent = true, any = false;
  for (std::size_t i = 0; i < frames.size(); ++i) {
    const DmxFrame& frame = frames[i];
    for (const Ipv4Bytes& to : destinations[i]) {
      any = true;
      if (!link.SendArtDmx(&frame, to)) {
        Print(
            stderr,
            QStringLiteral("chromaset: the frame to %1 could not be sent\n").arg(FormatTarget(to)));
        sent = false;
      }
    }
  }
  if (sync && any && !link.SendArtSync()) {
    Print(stderr, QStringLiteral("chromaset: the ArtSync could not be sent\n"));
    sent = false;
  }
  return sent;
}

int RunSend(const CliOptions& options, const StopSignals& stop) {
  std::vector<DmxFrame> frames(1);
  if (options.rigPath.isEmpty()) {
    WriteFixtureFrame(frames[0], options.patch, options.values);
  } else {
    // Read before the socket opens: a refused file is a usage error and nothing goes out.
    QString error;
    if (!BuildRigFrames(options.rigPath, options.fixtureNames, options.values, frames, error)) {
      Print(stderr, QStringLiteral("chromaset: %1\n").arg(error));
      return kExitUsage;
    }
  }
  static constexpr Ipv4Bytes kBroadcast = {255, 255, 255, 255};
  Destinations to(frames.size(),
                  options.targets.empty() ? std::vector<Ipv4Bytes>{kBroadcast} : options.targets);
  ArtNetLink link;
  if (!OpenLink(link)) return kExitNetwork;
  int status = kExitOk;
  if (options.route) {
    if (!Poll(link)) return kExitNetwork;
    if (!stop.WaitUntil(After(Clock::now(), options.waitSeconds))) return kExitOk;
    status = Route(link.Ports(), options.targets, frames, to);
    const bool none = std::all_of(to.begin(), to.end(), [](const auto& d) { return d.empty(); });
    if (none && options.holdSeconds <= 0) return status;  // nothing to send; a hold waits on
  }
  // Without --route no receiver and no poll: only the frames go out.
  const auto start = Clock::now();
  const auto end = After(start, options.holdSeconds);
  bool sent = SendFrames(link, frames, to, options.sync);
  for (int k = 1; sent; ++k) {
    const auto next = start + std::chrono::seconds(k);
    if (next >= end) {
      stop.WaitUntil(end);
      break;
    }
    // A hold follows the nodes as the window does: a poll every 3 s, answered while it waits,
    // and the routes again before each repeat, so a node that appears gets its frames within a
    // second of answering and one silent for 10 s is no longer sent to.
    if (options.route && k % 3 == 2) link.SendArtPoll();
    if (!stop.WaitUntil(next)) break;
    if (options.route) Route(link.Ports(), options.targets, frames, to, /*report=*/false);
    sent = SendFrames(link, frames, to, options.sync);
  }
  link.Close();
  return sent ? status : kExitNetwork;
}

}  // namespace

int RunCommandLine(const QStringList& arguments, const QString& version) {
  const CliParse parse = ParseCommandLine(arguments);
  if (parse.status != kExitOk) {
    Print(stderr, QStringLiteral("chromaset: %1\nTry 'chromaset --help' for more information.\n")
                      .arg(parse.error));
    return parse.status;
  }
  const StopSignals stop;  // before any thread starts, so every thread inherits the mask
  switch (parse.options.mode) {
    case CliMode::Help:
      Print(stdout, HelpText());
      return kExitOk;
    case CliMode::Version:
      Print(stdout, VersionText(version));
      return kExitOk;
    case CliMode::List:
      return RunList(parse.options, stop);
    case CliMode::Send:
      return RunSend(parse.options, stop);
    case CliMode::Fixtures:
      return RunFixtures(parse.options);
    case CliMode::Window:
      break;
  }
  return kExitUsage;
}

}  // namespace chromaset
