#include "fixture_listing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <string_view>

namespace chromaset {

namespace {

// A name from a file on one line of the listing: control characters (a line break in a name)
// are shown as '?'.
QString OneLine(QString text) {
  for (QChar& c : text) {
    if (c.category() == QChar::Other_Control) c = QLatin1Char('?');
  }
  return text;
}

QJsonObject ModeObject(const LibraryMode& mode) {
  QJsonArray channels;
  for (qsizetype i = 0; i < mode.channelNames.size(); ++i) {
    QJsonObject channel{{QStringLiteral("name"), mode.channelNames[i]}};
    if (mode.Colourable() && i < mode.layout.Count()) {
      const LayoutChannel& resolved = mode.layout.channels[static_cast<std::size_t>(i)];
      const std::string_view role = RoleName(resolved.role);
      channel.insert(QStringLiteral("role"),
                     QString::fromLatin1(role.data(), static_cast<qsizetype>(role.size())));
      channel.insert(QStringLiteral("fine"), resolved.fine);
      if (resolved.role == ChannelRole::kFixed)
        channel.insert(QStringLiteral("value"), resolved.fixed);
    }
    channels.append(channel);
  }
  QJsonObject object{{QStringLiteral("name"), mode.name},
                     {QStringLiteral("channelCount"), mode.channelNames.size()},
                     {QStringLiteral("colourable"), mode.Colourable()},
                     {QStringLiteral("channels"), channels}};
  if (!mode.Colourable()) object.insert(QStringLiteral("refusal"), mode.refusal);
  return object;
}

}  // namespace

QString FormatFixtureText(const FixtureLibrary& library, const std::vector<int>& found) {
  QString text;
  for (const int index : found) {
    const LibraryEntry& entry = library.Entries()[static_cast<std::size_t>(index)];
    text += OneLine(entry.Definition()) + QLatin1Char('\n');
    for (const LibraryMode& mode : entry.modes) {
      const auto count = mode.channelNames.size();
      text += QStringLiteral("  %1: %2 %3")
                  .arg(OneLine(mode.name))
                  .arg(count)
                  .arg(count == 1 ? QStringLiteral("channel") : QStringLiteral("channels"));
      if (!mode.Colourable())
        text += QStringLiteral("; cannot be coloured: ") + OneLine(mode.refusal);
      text += QLatin1Char('\n');
    }
  }
  return text;
}

QString FormatFixtureJson(const FixtureLibrary& library, const std::vector<int>& found) {
  QJsonArray entries;
  for (const int index : found) {
    const LibraryEntry& entry = library.Entries()[static_cast<std::size_t>(index)];
    QJsonArray modes;
    for (const LibraryMode& mode : entry.modes) modes.append(ModeObject(mode));
    entries.append(QJsonObject{{QStringLiteral("definition"), entry.Definition()},
                               {QStringLiteral("manufacturer"), entry.manufacturer},
                               {QStringLiteral("model"), entry.model},
                               {QStringLiteral("path"), entry.path},
                               {QStringLiteral("modes"), modes}});
  }
  return QString::fromUtf8(QJsonDocument(entries).toJson(QJsonDocument::Indented));
}

QString ListFixtures(const QStringList& folders, const QString& text, bool json,
                     QStringList& errors) {
  FixtureLibrary library;
  library.Load(folders, errors);
  if (library.Entries().empty()) {
    errors << QStringLiteral("no fixture definitions in %1; the qlcplus-data package installs them")
                  .arg(folders.join(QStringLiteral(" or ")));
  }
  const std::vector<int> found = library.Search(text);
  if (found.empty() && !library.Entries().empty())
    errors << QStringLiteral("no fixture definition matches \"%1\"").arg(text.simplified());
  return json ? FormatFixtureJson(library, found) : FormatFixtureText(library, found);
}

}  // namespace chromaset
