#include "rig_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#include <cctype>
#include <cmath>

namespace chromaset {

namespace {

// A rig of 512 fixtures is well under 200 KB; anything this large is not a rig file.
constexpr qint64 kMaxRigFileBytes = qint64{4} * 1024 * 1024;
constexpr int kShownLength = 40;

// Text of the file as a message quotes it: long texts are cut, so a message stays one line.
QString Shown(const QString& text) {
  return text.size() > kShownLength ? text.left(kShownLength) + QChar(0x2026) : text;
}

// One refused part of the file: the fixture it belongs to (0 for the file as a whole), its
// name when it had one, and the reason, which starts with the field.
struct Refusal {
  int position = 0;
  QString name;
  QString reason;
  QString Text() const {
    if (position == 0) return reason;
    QString fixture = QStringLiteral("fixture %1").arg(position);
    if (!name.isNull()) fixture += QStringLiteral(" (\"%1\")").arg(Shown(name));
    return fixture + QStringLiteral(": ") + reason;
  }
};

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

QString FromReason(const std::string& reason) { return QString::fromStdString(reason); }

// One fixture of the file, each field to its rules; the rig then checks its place.
bool ReadFixture(const QJsonValue& value, Fixture& out, Refusal& refusal) {
  if (!value.isObject()) {
    refusal.reason = QStringLiteral("is not a JSON object");
    return false;
  }
  const QJsonObject object = value.toObject();
  if (object.value(QLatin1String("name")).isString())
    refusal.name = object.value(QLatin1String("name")).toString();
  Fixture fixture;
  QString& reason = refusal.reason;
  if (!ReadString(object, "name", true, fixture.name, reason)) return false;
  std::string universe;
  if (!ReadString(object, "universe", true, universe, reason)) return false;
  if (!ParseUniverse(universe, fixture.patch)) {
    reason = QStringLiteral(
                 "universe: \"%1\" is not Net:Sub-Net:Universe (Net 0-127, Sub-Net and "
                 "Universe 0-15)")
                 .arg(Shown(QString::fromStdString(universe)));
    return false;
  }
  if (!ReadInteger(object.value(QLatin1String("address")), 1, static_cast<int>(kDmxChannels),
                   fixture.patch.start)) {
    reason = object.value(QLatin1String("address")).isUndefined()
                 ? QStringLiteral("address: is missing")
                 : QStringLiteral("address: must be a whole number 1-512");
    return false;
  }
  std::string layout;
  if (!ReadString(object, "layout", true, layout, reason)) return false;
  std::string why;
  if (!ParseLayout(layout, fixture.layout, why)) {
    if (!why.empty()) why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    reason = QStringLiteral("layout: ") + FromReason(why);
    return false;
  }
  if (!ReadColour(object.value(QLatin1String("colour")), fixture.colour)) {
    reason = QStringLiteral("colour: must be four whole numbers 0-255 (R, G, B, W)");
    return false;
  }
  if (!ReadString(object, "manufacturer", false, fixture.manufacturer, reason) ||
      !ReadString(object, "model", false, fixture.model, reason) ||
      !ReadString(object, "mode", false, fixture.mode, reason)) {
    return false;
  }
  out = std::move(fixture);
  return true;
}

// Fixture position (from 1) of the file into rig, beside the ones read before it.
bool AddFixture(const QJsonValue& value, int position, Rig& rig, Refusal& refusal) {
  refusal.position = position;
  Fixture fixture;
  if (!ReadFixture(value, fixture, refusal)) return false;
  std::string why;
  if (!rig.Add(fixture, why)) {
    refusal.reason = FromReason(why);
    return false;
  }
  return true;
}

// The rules of the file as a whole; fixtures then holds the fixtures array.
bool ReadTop(const QByteArray& json, QJsonArray& fixtures, QString& error) {
  if (json.size() > kMaxRigFileBytes) {
    error = QStringLiteral("too large: over 4 MB, far more than any rig");
    return false;
  }
  QJsonParseError parse{};
  const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
  if (parse.error != QJsonParseError::NoError) {
    error = QStringLiteral("not JSON: %1 at byte %2").arg(parse.errorString()).arg(parse.offset);
    return false;
  }
  if (!document.isObject()) {
    error = QStringLiteral("not a rig file: the top level is not a JSON object");
    return false;
  }
  const QJsonObject top = document.object();
  const QJsonValue version = top.value(QLatin1String("chromasetRig"));
  if (version.isUndefined()) {
    error = QStringLiteral("not a rig file: chromasetRig is missing");
    return false;
  }
  if (!version.isDouble()) {
    error = QStringLiteral("chromasetRig: must be the number 1");
    return false;
  }
  if (version.toDouble() != 1.0) {
    error = QStringLiteral("chromasetRig: is %1; this Chromaset reads version 1 only")
                .arg(version.toDouble());
    return false;
  }
  const QJsonValue list = top.value(QLatin1String("fixtures"));
  if (!list.isArray()) {
    error = list.isUndefined() ? QStringLiteral("fixtures: is missing")
                               : QStringLiteral("fixtures: must be an array");
    return false;
  }
  fixtures = list.toArray();
  if (fixtures.isEmpty()) {
    error = QStringLiteral("fixtures: is empty; a rig has at least one fixture");
    return false;
  }
  return true;
}

QString TooMany(qsizetype count) {
  return QStringLiteral("fixtures: %1 listed; a rig holds at most %2").arg(count).arg(kMaxFixtures);
}

// The letters of a layout made from a definition (no text): roles without a letter (cyan,
// magenta, yellow, fixed) show as '-'; the definition fields say what the fixture really is.
std::string LayoutText(const ChannelLayout& layout) {
  if (!layout.text.empty()) return layout.text;
  constexpr char kLetterOfRole[] = "-RGBW---D";  // in the order of ChannelRole
  static_assert(static_cast<std::size_t>(ChannelRole::kDimmer) + 2 == sizeof kLetterOfRole);
  std::string text;
  for (const LayoutChannel& channel : layout.channels) {
    const char letter = kLetterOfRole[static_cast<std::size_t>(channel.role)];
    text += channel.fine && letter != '-' ? static_cast<char>(std::tolower(letter)) : letter;
  }
  return text;
}

}  // namespace

bool ReadRig(const QByteArray& json, Rig& out, QString& error) {
  QJsonArray fixtures;
  if (!ReadTop(json, fixtures, error)) return false;
  if (fixtures.size() > kMaxFixtures) {
    error = TooMany(fixtures.size());
    return false;
  }
  Rig rig;
  rig.Clear();
  for (qsizetype i = 0; i < fixtures.size(); ++i) {
    Refusal refusal;
    if (!AddFixture(fixtures.at(i), static_cast<int>(i) + 1, rig, refusal)) {
      error = refusal.Text();
      return false;
    }
  }
  out = std::move(rig);
  return true;
}

bool ReadRigLeniently(const QByteArray& json, Rig& out, QStringList& dropped) {
  QJsonArray fixtures;
  QString error;
  if (!ReadTop(json, fixtures, error)) {
    dropped.append(error);
    return false;
  }
  Rig rig;
  rig.Clear();
  for (qsizetype i = 0; i < fixtures.size(); ++i) {
    if (rig.Count() == kMaxFixtures) {
      dropped.append(
          TooMany(fixtures.size()) +
          QStringLiteral("; fixtures %1 to %2 are left out").arg(i + 1).arg(fixtures.size()));
      break;
    }
    Refusal refusal;
    if (!AddFixture(fixtures.at(i), static_cast<int>(i) + 1, rig, refusal))
      dropped.append(refusal.Text());
  }
  if (rig.Count() == 0) return false;
  out = std::move(rig);
  return true;
}

QByteArray WriteRig(const Rig& rig) {
  QJsonArray fixtures;
  for (const Fixture& fixture : rig.Fixtures()) {
    QJsonObject object;
    object.insert(QLatin1String("name"), QString::fromStdString(fixture.name));
    object.insert(QLatin1String("universe"), QStringLiteral("%1:%2:%3")
                                                 .arg(fixture.patch.net)
                                                 .arg(fixture.patch.subNet)
                                                 .arg(fixture.patch.universe));
    object.insert(QLatin1String("address"), fixture.patch.start);
    object.insert(QLatin1String("layout"), QString::fromStdString(LayoutText(fixture.layout)));
    QJsonArray colour;
    for (const std::uint8_t channel : fixture.colour) colour.append(channel);
    object.insert(QLatin1String("colour"), colour);
    const auto optional = [&object](const char* field, const std::string& text) {
      if (!text.empty()) object.insert(QLatin1String(field), QString::fromStdString(text));
    };
    optional("manufacturer", fixture.manufacturer);
    optional("model", fixture.model);
    optional("mode", fixture.mode);
    fixtures.append(object);
  }
  QJsonObject top;
  top.insert(QLatin1String("chromasetRig"), 1);
  top.insert(QLatin1String("fixtures"), fixtures);
  return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

bool LoadRigFile(const QString& path, Rig& out, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
    return false;
  }
  // Read one byte past the limit, so a larger file (or a pipe) is refused without reading it all.
  const QByteArray json = file.read(kMaxRigFileBytes + 1);
  if (file.error() != QFileDevice::NoError) {
    error = QStringLiteral("%1: cannot be read: %2").arg(path, file.errorString());
    return false;
  }
  QString why;
  if (!ReadRig(json, out, why)) {
    error = QStringLiteral("%1: %2").arg(path, why);
    return false;
  }
  return true;
}

bool SaveRigFile(const QString& path, const Rig& rig, QString& error) {
  if (rig.Count() == 0) {
    error = QStringLiteral("%1: not saved: the rig has no fixtures").arg(path);
    return false;
  }
  const QByteArray json = WriteRig(rig);
  // QSaveFile writes a temporary file beside path and renames it over path only on commit, so
  // a failed save leaves the old file (or none) and never half a rig.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
    error = QStringLiteral("%1: cannot be written: %2").arg(path, file.errorString());
    file.cancelWriting();
    return false;
  }
  return true;
}

}  // namespace chromaset
