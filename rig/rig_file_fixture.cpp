#include "rig_file_fixture.h"

#include <QJsonArray>

#include <cctype>
#include <cmath>
#include <string_view>

namespace chromaset {

namespace {

constexpr int kShownLength = 40;

// The letters of "channels", in the order of ChannelRole; kFixed is a number instead.
constexpr std::string_view kRoleLetters = "-RGBWCMYD";
static_assert(static_cast<std::size_t>(ChannelRole::kDimmer) + 1 == kRoleLetters.size());

// A whole number in [low, high]: JSON has only doubles, so 4.5 and 1e300 are refused here.
bool ReadInteger(const QJsonValue& value, int low, int high, int& out) {
  if (!value.isDouble()) return false;
  const double number = value.toDouble();
  if (!(number >= low && number <= high) || std::trunc(number) != number) return false;
  out = static_cast<int>(number);
  return true;
}

// "colour" is optional: a fixture without one starts black.
bool ReadColour(const QJsonValue& value, Rgbw& out) {
  if (value.isUndefined()) return true;
  if (!value.isArray() || value.toArray().size() != static_cast<qsizetype>(out.size()))
    return false;
  const QJsonArray array = value.toArray();
  Rgbw colour{};
  for (std::size_t i = 0; i < colour.size(); ++i) {
    int channel = 0;
    if (!ReadInteger(array.at(static_cast<qsizetype>(i)), 0, 255, channel)) return false;
    colour[i] = static_cast<std::uint8_t>(channel);
  }
  out = colour;
  return true;
}

bool ReadString(const QJsonObject& object, const char* field, bool required, std::string& out,
                QString& reason) {
  const QJsonValue value = object.value(QLatin1String(field));
  if (value.isUndefined() && !required) return true;
  if (!value.isString()) {
    reason = QStringLiteral("%1: %2").arg(
        QLatin1String(field),
        value.isUndefined() ? QStringLiteral("is missing") : QStringLiteral("must be a string"));
    return false;
  }
  out = value.toString().toStdString();
  return true;
}

// One "channels" item as a message shows it.
QString ItemText(const QJsonValue& item) {
  if (item.isString()) return QStringLiteral("\"%1\"").arg(ShownText(item.toString()));
  if (item.isDouble()) return QString::number(item.toDouble());
  if (item.isBool()) return item.toBool() ? QStringLiteral("true") : QStringLiteral("false");
  if (item.isNull()) return QStringLiteral("null");
  return item.isArray() ? QStringLiteral("a list") : QStringLiteral("an object");
}

bool ReadChannel(const QJsonValue& item, LayoutChannel& out) {
  int fixed = 0;
  if (ReadInteger(item, 0, 255, fixed)) {
    out = {ChannelRole::kFixed, false, static_cast<std::uint8_t>(fixed)};
    return true;
  }
  const QString text = item.toString();
  if (text.size() != 1 || text[0].unicode() > 0x7F) return false;
  const char letter = static_cast<char>(text[0].unicode());
  const std::size_t role =
      kRoleLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
  if (role == std::string_view::npos || role == 0) return false;
  out = {static_cast<ChannelRole>(role), std::islower(static_cast<unsigned char>(letter)) != 0, 0};
  return true;
}

// "channels": a layout made from a definition (so its text stays empty).
bool ReadChannels(const QJsonValue& value, ChannelLayout& out, QString& reason) {
  const QJsonArray items = value.toArray();
  if (!value.isArray() || items.isEmpty() || items.size() > static_cast<qsizetype>(kDmxChannels)) {
    reason = QStringLiteral("channels: must be a list of 1-512 channels");
    return false;
  }
  ChannelLayout layout;
  for (qsizetype i = 0; i < items.size(); ++i) {
    LayoutChannel channel;
    if (!ReadChannel(items.at(i), channel)) {
      reason = QStringLiteral(
                   "channels: item %1, %2, is not one of R G B W C M Y D (lower case for the "
                   "fine byte) or a whole number 0-255")
                   .arg(i + 1)
                   .arg(ItemText(items.at(i)));
      return false;
    }
    if (channel.role == ChannelRole::kWhite) layout.hasWhite = true;
    layout.channels.push_back(channel);
  }
  out = std::move(layout);
  return true;
}

QJsonArray WriteChannels(const ChannelLayout& layout) {
  QJsonArray items;
  for (const LayoutChannel& channel : layout.channels) {
    if (channel.role == ChannelRole::kFixed) {
      items.append(channel.fixed);
      continue;
    }
    const char letter = kRoleLetters[static_cast<std::size_t>(channel.role)];
    const char written =
        channel.fine ? static_cast<char>(std::tolower(static_cast<unsigned char>(letter))) : letter;
    items.append(QString(QLatin1Char(written)));
  }
  return items;
}

// "definition" ("Manufacturer/Model", the manufacturer ends at the first '/') and "mode"; both
// or neither.
bool ReadDefinition(const QJsonObject& object, Fixture& fixture, QString& reason) {
  const bool named = object.contains(QLatin1String("definition"));
  std::string definition;
  if (!ReadString(object, "definition", false, definition, reason) ||
      !ReadString(object, "mode", named, fixture.mode, reason)) {
    return false;
  }
  if (!named) {
    if (!object.contains(QLatin1String("mode"))) return true;
    reason = QStringLiteral("definition: is missing; mode names a mode of a definition");
    return false;
  }
  const std::size_t slash = definition.find('/');
  if (slash == std::string::npos || slash == 0 || slash + 1 == definition.size()) {
    reason = QStringLiteral("definition: \"%1\" is not Manufacturer/Model")
                 .arg(ShownText(QString::fromStdString(definition)));
    return false;
  }
  if (fixture.mode.empty()) {
    reason = QStringLiteral("mode: is empty");
    return false;
  }
  fixture.manufacturer = definition.substr(0, slash);
  fixture.model = definition.substr(slash + 1);
  return true;
}

// The channels of the fixture: "channels" as written, else the definition's through the
// resolver, else the typed "layout".
bool ReadLayout(const QJsonObject& object, const DefinitionResolver& resolver, Fixture& fixture,
                QString& reason) {
  const bool channels = object.contains(QLatin1String("channels"));
  const bool layout = object.contains(QLatin1String("layout"));
  if (channels && layout) {
    reason = QStringLiteral("layout: cannot be given beside channels");
    return false;
  }
  if (channels)
    return ReadChannels(object.value(QLatin1String("channels")), fixture.layout, reason);
  if (!fixture.manufacturer.empty() && !layout) {
    if (!resolver) {
      reason = QStringLiteral("channels: is missing and no fixture library is at hand");
      return false;
    }
    const QString definition = QString::fromStdString(fixture.manufacturer + '/' + fixture.model);
    QString why;
    if (resolver(definition, QString::fromStdString(fixture.mode), fixture.layout, why))
      return true;
    reason =
        why.isEmpty()
            ? QStringLiteral("definition: \"%1\" cannot be resolved").arg(ShownText(definition))
            : why;
    return false;
  }
  std::string text;
  if (!ReadString(object, "layout", true, text, reason)) return false;
  std::string why;
  if (!ParseLayout(text, fixture.layout, why)) {
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    reason = QStringLiteral("layout: ") + QString::fromStdString(why);
    return false;
  }
  return true;
}

}  // namespace

QString ShownText(const QString& text) {
  return text.size() > kShownLength ? text.left(kShownLength) + QChar(0x2026) : text;
}

bool ReadFixtureObject(const QJsonValue& value, const DefinitionResolver& resolver, Fixture& out,
                       QString& name, QString& reason) {
  if (!value.isObject()) {
    reason = QStringLiteral("is not a JSON object");
    return false;
  }
  const QJsonObject object = value.toObject();
  if (object.value(QLatin1String("name")).isString())
    name = object.value(QLatin1String("name")).toString();
  Fixture fixture;
  if (!ReadString(object, "name", true, fixture.name, reason)) return false;
  std::string universe;
  if (!ReadString(object, "universe", true, universe, reason)) return false;
  if (!ParseUniverse(universe, fixture.patch)) {
    reason = QStringLiteral(
                 "universe: \"%1\" is not Net:Sub-Net:Universe (Net 0-127, Sub-Net and "
                 "Universe 0-15)")
                 .arg(ShownText(QString::fromStdString(universe)));
    return false;
  }
  if (!ReadInteger(object.value(QLatin1String("address")), 1, static_cast<int>(kDmxChannels),
                   fixture.patch.start)) {
    reason = object.value(QLatin1String("address")).isUndefined()
                 ? QStringLiteral("address: is missing")
                 : QStringLiteral("address: must be a whole number 1-512");
    return false;
  }
  if (!ReadDefinition(object, fixture, reason) || !ReadLayout(object, resolver, fixture, reason))
    return false;
  if (!ReadColour(object.value(QLatin1String("colour")), fixture.colour)) {
    reason = QStringLiteral("colour: must be four whole numbers 0-255 (R, G, B, W)");
    return false;
  }
  out = std::move(fixture);
  return true;
}

QJsonObject WriteFixtureObject(const Fixture& fixture) {
  QJsonObject object;
  object.insert(QLatin1String("name"), QString::fromStdString(fixture.name));
  object.insert(QLatin1String("universe"), QStringLiteral("%1:%2:%3")
                                               .arg(fixture.patch.net)
                                               .arg(fixture.patch.subNet)
                                               .arg(fixture.patch.universe));
  object.insert(QLatin1String("address"), fixture.patch.start);
  // A fixture from a definition keeps the channels it resolved to, so the file needs no library.
  if (!fixture.manufacturer.empty() && !fixture.model.empty() && !fixture.mode.empty()) {
    object.insert(QLatin1String("definition"),
                  QString::fromStdString(fixture.manufacturer + '/' + fixture.model));
    object.insert(QLatin1String("mode"), QString::fromStdString(fixture.mode));
    object.insert(QLatin1String("channels"), WriteChannels(fixture.layout));
  } else if (fixture.layout.text.empty()) {
    object.insert(QLatin1String("channels"), WriteChannels(fixture.layout));
  } else {
    object.insert(QLatin1String("layout"), QString::fromStdString(fixture.layout.text));
  }
  QJsonArray colour;
  for (const std::uint8_t channel : fixture.colour) colour.append(channel);
  object.insert(QLatin1String("colour"), colour);
  return object;
}

}  // namespace chromaset
