// Chromaset's command line: the one table of options from which the parser, --help, the manual
// page and the bash completion are all made, and the pure parse into plain options.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "artnet_link.h"
#include "dmx_patch.h"

namespace chromaset {

inline constexpr int kExitOk = 0;
inline constexpr int kExitNetwork = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitUnrouted = 3;  // --route: a universe no node outputs was not sent

inline constexpr double kMinWaitSeconds = 0.1;
inline constexpr double kMaxWaitSeconds = 60.0;
inline constexpr double kDefaultWaitSeconds = 5.0;
inline constexpr double kDefaultRouteWaitSeconds = 3.0;
inline constexpr double kMaxHoldSeconds = 86400.0;

enum class CliMode { Window, Help, Version, List, Send, Fixtures };

struct CliOptions {
  CliMode mode = CliMode::Window;
  double waitSeconds = kDefaultWaitSeconds;  // --list; --route (kDefaultRouteWaitSeconds)
  bool json = false;                         // --list, --fixtures
  QString fixturesText;                      // --fixtures: the words to search for; empty: all
  Rgbw values{};                             // --send
  std::vector<Ipv4Bytes> targets;            // --send; empty: broadcast
  DmxPatch patch;                            // --send
  double holdSeconds = 0;                    // --send; 0: one frame
  QString rigPath;                           // --send --rig; empty: the patch above
  QStringList fixtureNames;                  // --send --rig; empty: every fixture
  bool route = false;                        // --send --rig: to the nodes that output each
  bool sync = false;                         // --send: an ArtSync after each pass's frames
};

struct CliParse {
  CliOptions options;
  int status = kExitOk;  // kExitUsage when error is set
  QString error;         // one line naming the option and the value
};

// arguments as QCoreApplication::arguments() gives them, the program first. No arguments after
// the program: the window.
CliParse ParseCommandLine(const QStringList& arguments);

QString HelpText();
QString VersionText(const QString& version);
QString ManPage(const QString& version);
QString BashCompletion();

}  // namespace chromaset
