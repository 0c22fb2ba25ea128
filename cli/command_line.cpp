#include "command_line.h"

#include <QCommandLineParser>
#include <cmath>
#include <iterator>

#include "node_address.h"

namespace chromaset {

namespace {

enum class For { Any, List, Send, Rig };

struct OptionEntry {
  const char* shortName;  // nullptr: long name only
  const char* name;
  const char* valueName;  // nullptr: a flag
  For mode;               // the command the option belongs to
  const char* description;
};

// The one table: parser, --help, manual page and completion are all made from it.
constexpr OptionEntry kOptions[] = {
    {"h", "help", nullptr, For::Any, "Show this help and exit."},
    {nullptr, "version", nullptr, For::Any, "Show the version and exit."},
    {nullptr, "list", nullptr, For::Any,
     "Send one ArtPoll to 255.255.255.255, collect the answers and list every node that "
     "answered, in answer order: IP address, ESTA manufacturer code, short name, long name, "
     "whether Chromaset drives it (code 0x2C1A in either byte order) and whether it is on this "
     "computer's network (same first three octets as its first address)."},
    {nullptr, "wait", "SECONDS", For::List,
     "How long --list collects answers, 0.1 to 60 seconds (default 5)."},
    {nullptr, "json", nullptr, For::List,
     "Print the list as one JSON array. Names are read as Latin-1, as the window shows them, "
     "so every byte becomes one character; control characters are escaped as \\u00XX."},
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
     "bytes the window sends for that rig. A file that is refused is a usage error."},
    {nullptr, "fixture", "NAME", For::Rig,
     "Give the colour only to the rig's fixture of this name; repeat it for more. A name the "
     "file does not hold is a usage error."},
    {nullptr, "hold", "SECONDS", For::Send,
     "Keep the colour alive for this many seconds (up to 86400), repeating the frames every "
     "second; Ctrl-C or SIGTERM ends it at once."},
};

constexpr const char* kSynopsis[] = {
    "",
    "--list [--wait SECONDS] [--json]",
    ("--send R,G,B,W [--to ADDRESS]... [--universe NET:SUB:UNI] [--address START] "
     "[--hold SECONDS]"),
    "--send R,G,B,W --rig FILE [--fixture NAME]... [--to ADDRESS]... [--hold SECONDS]",
};

constexpr const char* kDescription =
    "Chromaset is an Art-Net colour controller for RGBW lights. Without options it opens its "
    "window. With options it runs without a window and needs no display: it opens UDP port "
    "6454 as the window does, does one job and exits.";

struct ExitStatus {
  int status;
  const char* meaning;
};
constexpr ExitStatus kExitStatuses[] = {
    {kExitOk, "success"},
    {kExitNetwork,
     "the network cannot be used (UDP port 6454 is taken, or a send failed); without options, "
     "no display"},
    {kExitUsage,
     "usage error, a refused rig file or a --fixture name it does not hold included (nothing "
     "was sent)"},
};

constexpr const char* kExamples[] = {
    "chromaset --list --wait 2",
    "chromaset --send 255,0,0,0",
    "chromaset --send 0,0,0,255 --to 2.0.0.5 --to 2.0.0.6 --universe 0:1:2 --address 13",
    "chromaset --send 10,20,30,40 --hold 60",
    "chromaset --send 255,0,0,0 --rig stage.json --fixture 'Par 1' --fixture 'Par 2'",
};

QString Dashed(const QString& name) {
  return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString OptionLabel(const OptionEntry& entry) {
  QString label;
  if (entry.shortName != nullptr) label = Dashed(QLatin1String(entry.shortName)) + ", ";
  label += Dashed(QLatin1String(entry.name));
  if (entry.valueName != nullptr) label += QLatin1Char(' ') + QLatin1String(entry.valueName);
  return label;
}

// Words of text on lines of at most width characters, each line after the first indented.
QString Wrap(const QString& text, int width, int indent) {
  QString out;
  int column = 0;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    if (column > 0 && column + 1 + word.size() > width) {
      out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
      column = 0;
    } else if (column > 0) {
      out += QLatin1Char(' ');
      ++column;
    }
    out += word;
    column += static_cast<int>(word.size());
  }
  return out;
}

// Whole number 0..high written as 1-3 decimal digits.
bool ParseSmall(const QString& text, int high, int& out) {
  if (text.isEmpty() || text.size() > 3) return false;
  for (const QChar c : text) {
    if (!c.isDigit() || c.unicode() > '9') return false;
  }
  const int value = text.toInt();
  if (value > high) return false;
  out = value;
  return true;
}

bool ParseSeconds(const QString& text, double low, double high, double& out) {
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || !(value >= low && value <= high)) return false;
  out = value;
  return true;
}

bool ParseRgbw(const QString& text, Rgbw& out) {
  const QStringList parts = text.split(QLatin1Char(','));
  if (parts.size() != static_cast<qsizetype>(out.size())) return false;
  Rgbw values{};
  for (std::size_t i = 0; i < values.size(); ++i) {
    int value = 0;
    if (!ParseSmall(parts[static_cast<qsizetype>(i)], 255, value)) return false;
    values[i] = static_cast<std::uint8_t>(value);
  }
  out = values;
  return true;
}

QString Bad(const char* option, const QString& value, const char* want) {
  return QStringLiteral("--%1: '%2' is not %3")
      .arg(QLatin1String(option), value, QLatin1String(want));
}

// The values of a parsed command line into options; an empty string when all are good.
QString ReadValues(const QCommandLineParser& parser, CliOptions& options) {
  const QString wait = parser.value(QStringLiteral("wait"));
  if (parser.isSet(QStringLiteral("wait")) &&
      !ParseSeconds(wait, kMinWaitSeconds, kMaxWaitSeconds, options.waitSeconds)) {
    return Bad("wait", wait, "a number of seconds from 0.1 to 60");
  }
  options.json = parser.isSet(QStringLiteral("json"));
  if (options.mode != CliMode::Send) return {};
  const QString send = parser.value(QStringLiteral("send"));
  if (!ParseRgbw(send, options.values)) {
    return Bad("send", send, "R,G,B,W (four whole numbers from 0 to 255)");
  }
  for (const QString& to : parser.values(QStringLiteral("to"))) {
    Ipv4Bytes address{};
    if (!ParseIpv4(to.toStdString(), address)) return Bad("to", to, "an IPv4 address like 2.0.0.5");
    options.targets.push_back(address);
  }
  const QString universe = parser.value(QStringLiteral("universe"));
  if (parser.isSet(QStringLiteral("universe")) &&
      !ParseUniverse(universe.toStdString(), options.patch)) {
    return Bad("universe", universe, "NET:SUB:UNI (Net 0-127, Sub-Net 0-15, Universe 0-15)");
  }
  const QString address = parser.value(QStringLiteral("address"));
  if (parser.isSet(QStringLiteral("address")) &&
      !ParseSmall(address, kMaxStartAddress, options.patch.start)) {
    return Bad("address", address, "a start address from 1 to 509");
  }
  if (options.patch.start < 1) return Bad("address", address, "a start address from 1 to 509");
  const QString hold = parser.value(QStringLiteral("hold"));
  if (parser.isSet(QStringLiteral("hold")) &&
      !ParseSeconds(hold, 0, kMaxHoldSeconds, options.holdSeconds)) {
    return Bad("hold", hold, "a number of seconds from 0 to 86400");
  }
  // The file itself is read only when the job runs; an empty name would silently mean no rig.
  options.rigPath = parser.value(QStringLiteral("rig"));
  if (parser.isSet(QStringLiteral("rig")) && options.rigPath.isEmpty()) {
    return Bad("rig", options.rigPath, "a file name");
  }
  options.fixtureNames = parser.values(QStringLiteral("fixture"));
  return {};
}

// Option combinations: one command, each option given once (--to and --fixture excepted) and
// only with its command.
QString CheckCombination(const QCommandLineParser& parser, CliOptions& options) {
  const QStringList given = parser.optionNames();
  for (const OptionEntry& entry : kOptions) {
    const QString name = QLatin1String(entry.name);
    const auto count =
        given.count(name) +
        (entry.shortName != nullptr ? given.count(QLatin1String(entry.shortName)) : 0);
    if (count > 1 && name != QLatin1String("to") && name != QLatin1String("fixture")) {
      return QStringLiteral("--%1 is given more than once").arg(name);
    }
  }
  if (parser.isSet(QStringLiteral("help"))) {
    options.mode = CliMode::Help;
    return {};
  }
  if (parser.isSet(QStringLiteral("version"))) {
    options.mode = CliMode::Version;
    return {};
  }
  const bool list = parser.isSet(QStringLiteral("list"));
  const bool send = parser.isSet(QStringLiteral("send"));
  if (list && send) return QStringLiteral("--list and --send cannot be used together");
  const bool rig = parser.isSet(QStringLiteral("rig"));
  options.mode = list ? CliMode::List : CliMode::Send;
  for (const OptionEntry& entry : kOptions) {
    if (entry.mode == For::Any || !parser.isSet(QLatin1String(entry.name))) continue;
    const bool fits = (entry.mode == For::List && list) || (entry.mode == For::Send && send) ||
                      (entry.mode == For::Rig && rig);
    if (!fits) {
      const char* needed = entry.mode == For::List   ? "list"
                           : entry.mode == For::Send ? "send"
                                                     : "rig";
      return QStringLiteral("--%1 needs --%2")
          .arg(QLatin1String(entry.name), QLatin1String(needed));
    }
  }
  for (const char* placed : {"universe", "address"}) {
    if (rig && parser.isSet(QLatin1String(placed))) {
      return QStringLiteral("--%1 cannot be used with --rig: the rig file places each fixture")
          .arg(QLatin1String(placed));
    }
  }
  if (!list && !send) return QStringLiteral("nothing to do: give --list or --send");
  return {};
}

QString RoffText(QString text) {
  text.replace(QLatin1Char('\\'), QStringLiteral("\\e"));
  text.replace(QLatin1Char('-'), QStringLiteral("\\-"));
  return text;
}

}  // namespace

CliParse ParseCommandLine(const QStringList& arguments) {
  CliParse result;
  if (arguments.size() <= 1) return result;
  QCommandLineParser parser;
  for (const OptionEntry& entry : kOptions) {
    QStringList names;
    if (entry.shortName != nullptr) names << QLatin1String(entry.shortName);
    names << QLatin1String(entry.name);
    QCommandLineOption option(names, QLatin1String(entry.description));
    if (entry.valueName != nullptr) option.setValueName(QLatin1String(entry.valueName));
    parser.addOption(option);
  }
  QString error;
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    error = unknown.isEmpty() ? parser.errorText()
                              : QStringLiteral("unknown option %1").arg(Dashed(unknown.first()));
  } else if (!parser.positionalArguments().isEmpty()) {
    error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
  } else {
    error = CheckCombination(parser, result.options);
    const CliMode mode = result.options.mode;
    if (error.isEmpty() && mode != CliMode::Help && mode != CliMode::Version) {
      error = ReadValues(parser, result.options);
    }
  }
  if (!error.isEmpty()) {
    result.status = kExitUsage;
    result.error = error;
  }
  return result;
}

QString HelpText() {
  QString text;
  for (const char* synopsis : kSynopsis) {
    text += QLatin1String(text.isEmpty() ? "Usage: " : "       ");
    // A long form goes on under its first option ("Usage: chromaset " is 17 wide), within 100
    // columns, broken only between its [option] groups.
    QString line = QStringLiteral("chromaset %1").arg(QLatin1String(synopsis)).trimmed();
    line.replace(QLatin1Char(' '), QChar::Nbsp)
        .replace(QStringLiteral("\u00a0["), QStringLiteral(" ["));
    text += Wrap(line, 100 - 17, 17).replace(QChar::Nbsp, QLatin1Char(' ')) + '\n';
  }
  text += QLatin1Char('\n') + Wrap(QLatin1String(kDescription), 100, 0) + QStringLiteral("\n\n");
  constexpr int kLabelWidth = 26;
  for (const OptionEntry& entry : kOptions) {
    const QString label = QStringLiteral("  ") + OptionLabel(entry);
    text += label.leftJustified(kLabelWidth) + QLatin1Char(' ');
    text += Wrap(QLatin1String(entry.description), 100 - kLabelWidth - 1, kLabelWidth + 1);
    text += QLatin1Char('\n');
  }
  text += QStringLiteral("\nExit status:\n");
  for (const ExitStatus& exit : kExitStatuses) {
    text += QStringLiteral("  %1  ").arg(exit.status) + Wrap(QLatin1String(exit.meaning), 95, 5) +
            QLatin1Char('\n');
  }
  text += QStringLiteral("\nExamples:\n");
  for (const char* example : kExamples)
    text += QStringLiteral("  %1\n").arg(QLatin1String(example));
  return text;
}

QString VersionText(const QString& version) {
  return QStringLiteral("chromaset %1\n").arg(version);
}

QString ManPage(const QString& version) {
  QString page =
      QStringLiteral(".TH CHROMASET 1 \"\" \"Chromaset %1\" \"User Commands\"\n").arg(version);
  page += QStringLiteral(".SH NAME\nchromaset \\- Art\\-Net colour controller for RGBW lights\n");
  page += QStringLiteral(".SH SYNOPSIS\n");
  for (const char* synopsis : kSynopsis) {
    page += QStringLiteral(".B chromaset\n%1\n.br\n").arg(RoffText(QLatin1String(synopsis)));
  }
  page += QStringLiteral(".SH DESCRIPTION\n%1\n.SH OPTIONS\n")
              .arg(RoffText(QLatin1String(kDescription)));
  for (const OptionEntry& entry : kOptions) {
    page += QStringLiteral(".TP\n\\fB%1\\fR\n%2\n")
                .arg(RoffText(OptionLabel(entry)), RoffText(QLatin1String(entry.description)));
  }
  page += QStringLiteral(".SH \"EXIT STATUS\"\n");
  for (const ExitStatus& exit : kExitStatuses) {
    page +=
        QStringLiteral(".TP\n%1\n%2\n").arg(exit.status).arg(RoffText(QLatin1String(exit.meaning)));
  }
  page += QStringLiteral(".SH EXAMPLES\n.nf\n");
  for (const char* example : kExamples)
    page += RoffText(QLatin1String(example)) + QLatin1Char('\n');
  page += QStringLiteral(".fi\n");
  return page;
}

QString BashCompletion() {
  QStringList words;
  for (const OptionEntry& entry : kOptions) words << Dashed(QLatin1String(entry.name));
  return QStringLiteral(
             "# bash completion for chromaset\n"
             "_chromaset() {\n"
             "  local cur=${COMP_WORDS[COMP_CWORD]}\n"
             "  COMPREPLY=($(compgen -W '%1' -- \"$cur\"))\n"
             "}\n"
             "complete -F _chromaset chromaset\n")
      .arg(words.join(QLatin1Char(' ')));
}

}  // namespace chromaset
