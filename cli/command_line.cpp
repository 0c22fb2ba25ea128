#include "command_line.h"

#include <QCommandLineParser>
#include <cmath>
#include <iterator>

#include "node_address.h"
#include "option_table.h"

namespace chromaset {

namespace {

using namespace options;

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
  options.route = parser.isSet(QStringLiteral("route"));
  options.sync = parser.isSet(QStringLiteral("sync"));
  // A routed send waits less than a listing: it only needs the nodes, not every late answer.
  if (options.route) options.waitSeconds = kDefaultRouteWaitSeconds;
  const QString wait = parser.value(QStringLiteral("wait"));
  if (parser.isSet(QStringLiteral("wait")) &&
      !ParseSeconds(wait, kMinWaitSeconds, kMaxWaitSeconds, options.waitSeconds)) {
    return Bad("wait", wait, "a number of seconds from 0.1 to 60");
  }
  options.json = parser.isSet(QStringLiteral("json"));
  // Words as the shell split them, searched for each on its own.
  options.fixturesText = parser.positionalArguments().join(QLatin1Char(' '));
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
  // Only --fixtures takes words after it.
  if (!parser.isSet(QStringLiteral("fixtures")) && !parser.positionalArguments().isEmpty())
    return QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first());
  if (parser.isSet(QStringLiteral("help"))) {
    options.mode = CliMode::Help;
    return {};
  }
  if (parser.isSet(QStringLiteral("version"))) {
    options.mode = CliMode::Version;
    return {};
  }
  QStringList commands;
  for (const char* command : {"list", "send", "fixtures"}) {
    if (parser.isSet(QLatin1String(command))) commands << QLatin1String(command);
  }
  if (commands.size() > 1) {
    return QStringLiteral("--%1 and --%2 cannot be used together").arg(commands[0], commands[1]);
  }
  const bool list = commands.contains(QLatin1String("list"));
  const bool send = commands.contains(QLatin1String("send"));
  const bool fixtures = commands.contains(QLatin1String("fixtures"));
  const bool rig = parser.isSet(QStringLiteral("rig"));
  const bool route = parser.isSet(QStringLiteral("route"));  // itself checked: needs --rig
  options.mode = list ? CliMode::List : fixtures ? CliMode::Fixtures : CliMode::Send;
  for (const OptionEntry& entry : kOptions) {
    if (entry.mode == For::Any || !parser.isSet(QLatin1String(entry.name))) continue;
    const bool fits = (entry.mode == For::List && list) || (entry.mode == For::Send && send) ||
                      (entry.mode == For::Rig && rig) ||
                      (entry.mode == For::Output && (list || fixtures)) ||
                      (entry.mode == For::Poll && (list || route));
    if (!fits) {
      const char* needed = entry.mode == For::List     ? "list"
                           : entry.mode == For::Send   ? "send"
                           : entry.mode == For::Output ? "list or --fixtures"
                           : entry.mode == For::Poll   ? "list or --route"
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
  if (commands.isEmpty()) return QStringLiteral("nothing to do: give --list, --send or --fixtures");
  return {};
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
    // "[TEXT]" is shown in the help only: the words that follow are positional.
    if (entry.valueName != nullptr && entry.valueName[0] != '[')
      option.setValueName(QLatin1String(entry.valueName));
    parser.addOption(option);
  }
  QString error;
  if (!parser.parse(arguments)) {
    const QStringList unknown = parser.unknownOptionNames();
    error = unknown.isEmpty() ? parser.errorText()
                              : QStringLiteral("unknown option %1").arg(Dashed(unknown.first()));
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

}  // namespace chromaset
