#include "settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "node_address.h"

namespace chromaset {

namespace {

constexpr int kMaxWindowCoordinate = 100000;

const char* const kPatchKeys[] = {"output/net", "output/subNet", "output/universe", "output/start"};

QString FavouriteKey(int i) { return QStringLiteral("favourites/%1").arg(i + 1); }

QString FormatAddress(const Ipv4Bytes& ip) {
  return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

QString JoinAddresses(const std::vector<Ipv4Bytes>& list) {
  QStringList parts;
  for (const Ipv4Bytes& ip : list) parts << FormatAddress(ip);
  return parts.join(QLatin1Char(' '));
}

// Reads one key at a time; a value of the wrong form or range gives the default and a line on
// stderr naming the key.
class Reader {
 public:
  Reader(const QSettings& file, const QString& path) : m_file(file), m_path(path) {}

  void Warn(const QString& key, const char* problem) const {
    std::fprintf(stderr, "chromaset: %s: %s %s; using the default\n", qPrintable(m_path),
                 qPrintable(key), problem);
  }

  bool Has(const QString& key) const { return m_file.contains(key); }
  QString Text(const QString& key) const { return m_file.value(key).toString().trimmed(); }

  int Int(const QString& key, int low, int high, int fallback) const {
    if (!Has(key)) return fallback;
    bool ok = false;
    const int value = Text(key).toInt(&ok);
    if (ok && value >= low && value <= high) return value;
    Warn(key, "is not a whole number in its range");
    return fallback;
  }

  bool Bool(const QString& key, bool fallback) const {
    if (!Has(key)) return fallback;
    const QString text = Text(key).toLower();
    if (text == QLatin1String("true")) return true;
    if (text == QLatin1String("false")) return false;
    Warn(key, "is neither true nor false");
    return fallback;
  }

  // Space-separated node addresses, at most kMaxAddedNodes, each usable and listed once. An
  // entry that is not drops only itself, with its own line: the others are the user's nodes.
  std::vector<Ipv4Bytes> Addresses(const QString& key) const {
    std::vector<Ipv4Bytes> list;
    if (!Has(key)) return list;
    // A hand-written "a, b" reads as a string list, which toString() would turn into nothing.
    const QVariant value = m_file.value(key);
    const QString text = value.typeId() == QMetaType::QStringList
                             ? value.toStringList().join(QLatin1Char(' '))
                             : value.toString();
    for (const QString& part : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
      Ipv4Bytes ip{};
      const char* problem = nullptr;
      if (ParseNodeAddress(part.toStdString(), ip) != AddressProblem::None) {
        problem = "is not a usable node address";
      } else if (std::find(list.begin(), list.end(), ip) != list.end()) {
        problem = "is listed twice";
      } else if (list.size() >= static_cast<std::size_t>(kMaxAddedNodes)) {
        problem = "is past the first 8";
      }
      if (problem == nullptr) {
        list.push_back(ip);
        continue;
      }
      std::fprintf(stderr, "chromaset: %s: %s: '%s' %s; dropped\n", qPrintable(m_path),
                   qPrintable(key), qPrintable(part), problem);
    }
    return list;
  }

  // "RRGGBBWW" in hex.
  std::optional<Rgbw> Colour(const QString& key) const {
    if (!Has(key)) return std::nullopt;
    const QString text = Text(key);
    // Eight hex digits exactly: toUInt alone would also take "0x" or a sign.
    const bool digits = text.size() == 8 && std::all_of(text.begin(), text.end(), [](QChar c) {
                          return c.unicode() < 128 && std::isxdigit(c.unicode()) != 0;
                        });
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok || !digits) {
      Warn(key, "is not a colour RRGGBBWW in hex");
      return std::nullopt;
    }
    return Rgbw{static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
  }

 private:
  const QSettings& m_file;
  const QString& m_path;
};

}  // namespace

SettingsStore::SettingsStore(QString path) : m_path(std::move(path)) {}

QString SettingsStore::DefaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/chromaset/chromaset.conf");
}

Settings SettingsStore::Load() {
  Settings s;
  m_known = s;
  m_rewrite = false;
  const QFileInfo info(m_path);
  if (!info.exists()) return s;
  if (!info.isFile() || !info.isReadable()) {
    std::fprintf(stderr, "chromaset: %s cannot be read; using the defaults\n", qPrintable(m_path));
    return s;
  }
  const QSettings file(m_path, QSettings::IniFormat);
  // The file is parsed on the first read; only then does the status tell.
  static_cast<void>(file.allKeys());
  if (file.status() != QSettings::NoError) {
    std::fprintf(stderr, "chromaset: %s is corrupt; using the defaults\n", qPrintable(m_path));
    m_rewrite = true;
    return s;
  }
  const Reader r(file, m_path);
  s.patch.net = r.Int(kPatchKeys[0], 0, kMaxNet, 0);
  s.patch.subNet = r.Int(kPatchKeys[1], 0, kMaxSubNet, 0);
  s.patch.universe = r.Int(kPatchKeys[2], 0, kMaxUniverse, 0);
  s.patch.start = r.Int(kPatchKeys[3], 1, kMaxStartAddress, 1);
  s.keepAlive = r.Bool(QStringLiteral("output/keepAlive"), false);
  s.rateLimit = r.Bool(QStringLiteral("output/rateLimit"), false);
  s.artSync = r.Bool(QStringLiteral("output/artSync"), false);
  s.routeToOutputs = r.Bool(QStringLiteral("devices/routeToOutputs"), false);
  s.waitAtStart = r.Bool(QStringLiteral("devices/waitAtStart"), true);
  s.addedNodes = r.Addresses(QStringLiteral("devices/added"));
  s.tickedDevices = r.Addresses(QStringLiteral("devices/ticked"));
  s.broadcastTicked = r.Bool(QStringLiteral("devices/broadcast"), true);
  for (int i = 0; i < kFavourites; ++i) {
    s.favourites[static_cast<std::size_t>(i)] = r.Colour(FavouriteKey(i));
  }
  const QString x = QStringLiteral("window/x");
  const QString y = QStringLiteral("window/y");
  if (r.Has(x) || r.Has(y)) {
    constexpr int kNone = kMaxWindowCoordinate + 1;
    const int px = r.Int(x, -kMaxWindowCoordinate, kMaxWindowCoordinate, kNone);
    const int py = r.Int(y, -kMaxWindowCoordinate, kMaxWindowCoordinate, kNone);
    if (px != kNone && py != kNone) {
      s.windowPosition = QPoint(px, py);
    } else if (r.Has(x) && r.Has(y)) {
      // the bad coordinate has been named already
    } else {
      r.Warn(r.Has(x) ? y : x, "is missing");
    }
  }
  m_known = s;
  return s;
}

bool SettingsStore::Save(const Settings& s) {
  if (s == m_known) return false;
  if (m_rewrite) QFile::remove(m_path);
  QDir().mkpath(QFileInfo(m_path).absolutePath());
  QSettings file(m_path, QSettings::IniFormat);
  const int patch[] = {s.patch.net, s.patch.subNet, s.patch.universe, s.patch.start};
  for (int i = 0; i < 4; ++i) file.setValue(kPatchKeys[i], patch[i]);
  file.setValue(QStringLiteral("output/keepAlive"), s.keepAlive);
  file.setValue(QStringLiteral("output/rateLimit"), s.rateLimit);
  file.setValue(QStringLiteral("output/artSync"), s.artSync);
  file.setValue(QStringLiteral("devices/routeToOutputs"), s.routeToOutputs);
  file.setValue(QStringLiteral("devices/waitAtStart"), s.waitAtStart);
  file.setValue(QStringLiteral("devices/added"), JoinAddresses(s.addedNodes));
  file.setValue(QStringLiteral("devices/ticked"), JoinAddresses(s.tickedDevices));
  file.setValue(QStringLiteral("devices/broadcast"), s.broadcastTicked);
  for (int i = 0; i < kFavourites; ++i) {
    const auto& colour = s.favourites[static_cast<std::size_t>(i)];
    if (!colour) {
      file.remove(FavouriteKey(i));
      continue;
    }
    file.setValue(FavouriteKey(i), QStringLiteral("%1%2%3%4")
                                       .arg((*colour)[0], 2, 16, QLatin1Char('0'))
                                       .arg((*colour)[1], 2, 16, QLatin1Char('0'))
                                       .arg((*colour)[2], 2, 16, QLatin1Char('0'))
                                       .arg((*colour)[3], 2, 16, QLatin1Char('0'))
                                       .toUpper());
  }
  if (s.windowPosition) {
    file.setValue(QStringLiteral("window/x"), s.windowPosition->x());
    file.setValue(QStringLiteral("window/y"), s.windowPosition->y());
  } else {
    file.remove(QStringLiteral("window"));
  }
  file.sync();
  if (file.status() != QSettings::NoError) {
    std::fprintf(stderr, "chromaset: %s could not be written\n", qPrintable(m_path));
    return false;
  }
  m_known = s;
  m_rewrite = false;
  return true;
}

}  // namespace chromaset
