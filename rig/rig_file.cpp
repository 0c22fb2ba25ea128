#include "rig_file.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

#include "rig_file_fixture.h"

namespace chromaset {

namespace {

// A rig of 512 fixtures is well under 200 KB; anything this large is not a rig file.
constexpr qint64 kMaxRigFileBytes = qint64{4} * 1024 * 1024;

// One refused part of the file: the fixture it belongs to (0 for the file as a whole), its
// name when it had one, and the reason, which starts with the field.
struct Refusal {
  int position = 0;
  QString name;
  QString reason;
  QString Text() const {
    if (position == 0) return reason;
    QString fixture = QStringLiteral("fixture %1").arg(position);
    if (!name.isNull()) fixture += QStringLiteral(" (\"%1\")").arg(ShownText(name));
    return fixture + QStringLiteral(": ") + reason;
  }
};

QString FromReason(const std::string& reason) { return QString::fromStdString(reason); }

// Fixture position (from 1) of the file into rig, beside the ones read before it.
bool AddFixture(const QJsonValue& value, int position, const DefinitionResolver& resolver, Rig& rig,
                Refusal& refusal) {
  refusal.position = position;
  Fixture fixture;
  if (!ReadFixtureObject(value, resolver, fixture, refusal.name, refusal.reason)) return false;
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

}  // namespace

bool ReadRig(const QByteArray& json, Rig& out, QString& error, const DefinitionResolver& resolver) {
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
    if (!AddFixture(fixtures.at(i), static_cast<int>(i) + 1, resolver, rig, refusal)) {
      error = refusal.Text();
      return false;
    }
  }
  out = std::move(rig);
  return true;
}

bool ReadRigLeniently(const QByteArray& json, Rig& out, QStringList& dropped,
                      const DefinitionResolver& resolver) {
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
    if (!AddFixture(fixtures.at(i), static_cast<int>(i) + 1, resolver, rig, refusal))
      dropped.append(refusal.Text());
  }
  if (rig.Count() == 0) return false;
  out = std::move(rig);
  return true;
}

QByteArray WriteRig(const Rig& rig) {
  QJsonArray fixtures;
  for (const Fixture& fixture : rig.Fixtures()) fixtures.append(WriteFixtureObject(fixture));
  QJsonObject top;
  top.insert(QLatin1String("chromasetRig"), 1);
  top.insert(QLatin1String("fixtures"), fixtures);
  return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

bool LoadRigFile(const QString& path, Rig& out, QString& error,
                 const DefinitionResolver& resolver) {
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
  if (!ReadRig(json, out, why, resolver)) {
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
