// The one table of the command line's options and the texts around it, from which the parser,
// --help, the manual page and the bash completion are all made. Internal to cli/.
#pragma once

#include "command_line.h"

namespace chromaset::options {

// Output: --list or --fixtures. Poll: --list or --send --route, which both collect answers.
enum class For { Any, List, Send, Rig, Output, Poll };

struct OptionEntry {
  const char* shortName;  // nullptr: long name only
  const char* name;
  const char* valueName;  // nullptr: a flag; "[TEXT]": a flag followed by optional words
  For mode;               // the command the option belongs to
  const char* description;
};

// The one table: parser, --help, manual page and completion are all made from it.
inline constexpr OptionEntry kOptions[] = {
    {"h", "help", nullptr, For::Any, "Show this help and exit."},
    {nullptr, "version", nullptr, For::Any, "Show the version and exit."},
    {nullptr, "list", nullptr, For::Any,
     "Send one ArtPoll to 255.255.255.255, collect the answers and list every node that "
     "answered, in answer order: IP address, ESTA manufacturer code, short name, long name, "
     "whether Chromaset drives it (code 0x2C1A in either byte order) and whether it is on this "
     "computer's network (same first three octets as its first address), and the "
     "Port-Addresses its output ports send out (Net:Sub-Net:Universe, over all the replies of a "
     "node with many ports; \"-\" for none)."},
    {nullptr, "wait", "SECONDS", For::Poll,
     "How long --list or --route collects answers, 0.1 to 60 seconds (default 5 for --list, "
     "3 for --route)."},
    {nullptr, "fixtures", "[TEXT]", For::Any,
     "List the fixture definitions found in /usr/share/qlcplus/fixtures (the qlcplus-data "
     "package) and ~/.qlcplus/fixtures (which wins): each as Manufacturer/Model, the way a rig "
     "file's \"definition\" names it, with its modes and their channel counts; a mode Chromaset "
     "cannot colour says why. With TEXT, only the definitions whose manufacturer, model or mode "
     "names hold every word of it, in any case. A file that cannot be read is named on stderr "
     "with the reason and left out."},
    {nullptr, "json", nullptr, For::Output,
     "Print the list as one JSON array. For --list, names are read as Latin-1, as the window "
     "shows them, so every byte becomes one character; control characters are escaped as "
     "\\u00XX, and \"outputs\" lists the output Port-Addresses. For --fixtures, each mode "
     "also lists its channels: name, role (red, green, blue, "
     "white, cyan, magenta, yellow, dimmer or fixed), whether it is a fine byte and a fixed "
     "channel's value (a mode Chromaset cannot colour gives the names only)."},
    {nullptr, "send", "R,G,B,W", For::Any,
     "Send the colour, four values 0 to 255, as one ArtDmx frame of 512 channels (every other "
     "channel 0) to 255.255.255.255, or by unicast to each --to address; with --rig, to "
     "fixtures of a rig file."},
    {nullptr, "to", "ADDRESS", For::Send,
     "Send to this IPv4 address instead of broadcasting; repeat it for more nodes, which are "
     "sent to in the order given."},
    {nullptr, "universe", "NET:SUB:UNI", For::Send,
     "The universe: Net 0-127, Sub-Net 0-15, Universe 0-15 (default 0:0:0). Not with --rig."},
    {nullptr, "address", "START", For::Send,
     "The DMX address of Red, 1 to 509; Green, Blue and White follow it (default 1). Not with "
     "--rig."},
    {nullptr, "rig", "FILE", For::Send,
     "Give the colour to every fixture of this rig file, or only to those named by --fixture; "
     "the others keep the colour stored for them in the file. One frame goes out for each "
     "universe that holds a fixture given the colour, in ascending Port-Address order, with the "
     "bytes the window sends for that rig. A fixture that names a \"definition\" and \"mode\" "
     "but no \"channels\" is looked up in the fixture library (see --fixtures). A file that is "
     "refused, or names a definition or mode the library does not hold, is a usage error."},
    {nullptr, "fixture", "NAME", For::Rig,
     "Give the colour only to the rig's fixture of this name; repeat it for more. A name the "
     "file does not hold is a usage error."},
    {nullptr, "route", nullptr, For::Rig,
     "Send each universe of the rig only to the nodes that output it, never by broadcast: first "
     "send one ArtPoll and collect the answers for --wait seconds, then unicast each universe's "
     "frame once to every node whose reply names an output port on its Port-Address (ports "
     "that only take input do not count). Each --to address is a node that never says what it "
     "outputs: it receives every universe. A universe no node outputs is not sent and is named "
     "on stderr; the others still go out, and the exit status is 3. With --hold, an ArtPoll "
     "goes out every 3 seconds and each repeat goes to the nodes that output its universe "
     "then: a node that appears gets its frames, one silent for 10 seconds no longer. Ctrl-C "
     "during the wait ends it with nothing sent."},
    {nullptr, "sync", nullptr, For::Send,
     "After the frames, send one ArtSync to 255.255.255.255, so that nodes output the universes "
     "together; with --hold, after every repeat too. Nodes go back to immediate output 4 "
     "seconds after the last ArtSync."},
    {nullptr, "hold", "SECONDS", For::Send,
     "Keep the colour alive for this many seconds (up to 86400), repeating the frames every "
     "second; Ctrl-C or SIGTERM ends it at once."},
};

inline constexpr const char* kSynopsis[] = {
    "",
    "--list [--wait SECONDS] [--json]",
    ("--send R,G,B,W [--to ADDRESS]... [--universe NET:SUB:UNI] [--address START] [--sync] "
     "[--hold SECONDS]"),
    ("--send R,G,B,W --rig FILE [--fixture NAME]... [--to ADDRESS]... [--sync] "
     "[--hold SECONDS]"),
    ("--send R,G,B,W --rig FILE --route [--wait SECONDS] [--fixture NAME]... [--to ADDRESS]... "
     "[--sync] [--hold SECONDS]"),
    "--fixtures [TEXT] [--json]",
};

inline constexpr const char* kDescription =
    "Chromaset is an Art-Net colour controller for RGBW lights. Without options it opens its "
    "window. With options it runs without a window and needs no display: it does one job and "
    "exits; --list and --send open UDP port 6454 as the window does.";

struct ExitStatus {
  int status;
  const char* meaning;
};
inline constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, "success"},
    {kExitNetwork,
     "the network cannot be used (UDP port 6454 is taken, or a send failed); without options, "
     "no display"},
    {kExitUsage,
     "usage error, a refused rig file (one naming a definition the library does not hold "
     "included) or a --fixture name it does not hold (nothing was sent)"},
    {kExitUnrouted,
     "--route: a universe of the rig went nowhere, as no node outputs it (named on stderr); the "
     "other universes were sent"},
};

inline constexpr const char* kExamples[] = {
    "chromaset --list --wait 2",
    "chromaset --send 255,0,0,0",
    "chromaset --send 0,0,0,255 --to 2.0.0.5 --to 2.0.0.6 --universe 0:1:2 --address 13",
    "chromaset --send 10,20,30,40 --hold 60",
    "chromaset --send 255,0,0,0 --rig stage.json --fixture 'Par 1' --fixture 'Par 2'",
    "chromaset --send 0,0,255,0 --rig stage.json --route --sync --hold 60",
    "chromaset --fixtures cameo flat --json",
};

// "-h" or "--help".
inline QString Dashed(const QString& name) {
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

}  // namespace chromaset::options
