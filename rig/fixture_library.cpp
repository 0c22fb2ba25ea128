#include "fixture_library.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

#include "definition_file.h"

namespace chromaset {

namespace {

// More threads than this gain nothing on a library of 14 MB: the files are read in ~100 ms.
constexpr unsigned kMaxWorkers = 4;

// The .qxf files under folder, sorted, so which of two definitions of one fixture wins does not
// depend on the order the file system lists them in. Symbolic links to folders are not followed
// (a link loop cannot make the walk endless).
QStringList DefinitionFiles(const QString& folder) {
  QStringList files;
  QDirIterator it(folder, {QStringLiteral("*.qxf")}, QDir::Files | QDir::Hidden,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  files.sort();
  return files;
}

LibraryEntry MakeEntry(const FixtureDefinition& definition, const QString& path) {
  LibraryEntry entry;
  entry.manufacturer = QString::fromStdString(definition.manufacturer);
  entry.model = QString::fromStdString(definition.model);
  entry.path = path;
  entry.modes.reserve(definition.modes.size());
  for (const DefinitionMode& mode : definition.modes) {
    LibraryMode made;
    made.name = QString::fromStdString(mode.name);
    for (const int index : mode.channels) {
      // The reader refuses a mode naming a channel the file does not define; stay safe anyway.
      if (index >= 0 && static_cast<std::size_t>(index) < definition.channels.size())
        made.channelNames << QString::fromStdString(
            definition.channels[static_cast<std::size_t>(index)].name);
    }
    std::string reason;
    if (!ResolveMode(definition, mode, made.layout, reason)) {
      made.refusal =
          reason.empty() ? QStringLiteral("cannot be coloured") : QString::fromStdString(reason);
    }
    entry.modes.push_back(std::move(made));
  }
  return entry;
}

struct FileRead {
  bool ok = false;
  LibraryEntry entry;
  QString error;  // "PATH: reason"
};

FileRead ReadFile(const QString& path) {
  FileRead read;
  FixtureDefinition definition;
  QString reason;
  if (LoadDefinitionFile(path, definition, reason)) {
    read.entry = MakeEntry(definition, path);
    read.ok = true;
  } else {
    read.error = path + QStringLiteral(": ") + reason;
  }
  return read;
}

// Every file read, in the order of files: the threads take the next unread file in turn, so a
// few large files cannot leave one thread with all the work.
std::vector<FileRead> ReadAll(const QStringList& files) {
  std::vector<FileRead> reads(static_cast<std::size_t>(files.size()));
  std::atomic<qsizetype> next{0};
  const auto work = [&files, &reads, &next] {
    for (qsizetype i = next++; i < files.size(); i = next++)
      reads[static_cast<std::size_t>(i)] = ReadFile(files.at(i));
  };
  const unsigned wanted = std::clamp(std::thread::hardware_concurrency(), 1u, kMaxWorkers);
  std::vector<std::thread> helpers;
  for (unsigned k = 1; k < wanted && static_cast<qsizetype>(k) * 8 < files.size(); ++k) {
    try {
      helpers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones running (and this one) read the rest
    }
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  return reads;
}

// The order of Entries(): manufacturer, then model, case-insensitive.
bool Before(const QString& manufacturerA, const QString& modelA, const QString& manufacturerB,
            const QString& modelB) {
  const int byMaker = QString::compare(manufacturerA, manufacturerB, Qt::CaseInsensitive);
  if (byMaker != 0) return byMaker < 0;
  return QString::compare(modelA, modelB, Qt::CaseInsensitive) < 0;
}

bool EntryBefore(const LibraryEntry& a, const LibraryEntry& b) {
  return Before(a.manufacturer, a.model, b.manufacturer, b.model);
}

QString Haystack(const LibraryEntry& entry) {
  QString text = entry.Definition();
  for (const LibraryMode& mode : entry.modes) text += QLatin1Char('\n') + mode.name;
  return text.toCaseFolded();
}

}  // namespace

QStringList FixtureLibrary::DefaultFolders() {
  return {QStringLiteral("/usr/share/qlcplus/fixtures"),
          QDir::homePath() + QStringLiteral("/.qlcplus/fixtures")};
}

void FixtureLibrary::Load(const QStringList& folders, QStringList& errors) {
  QStringList files;
  for (const QString& folder : folders) files += DefinitionFiles(folder);
  std::vector<FileRead> reads = ReadAll(files);
  std::vector<LibraryEntry> read;
  read.reserve(reads.size());
  for (FileRead& one : reads) {
    if (one.ok) {
      read.push_back(std::move(one.entry));
    } else {
      errors << one.error;
    }
  }
  // Stable, so of one manufacturer and model the last read (the later folder's) ends its run.
  std::stable_sort(read.begin(), read.end(), EntryBefore);
  m_entries.clear();
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (i + 1 == read.size() || EntryBefore(read[i], read[i + 1]))
      m_entries.push_back(std::move(read[i]));
  }
  m_haystacks.clear();
  m_haystacks.reserve(m_entries.size());
  for (const LibraryEntry& entry : m_entries) m_haystacks.push_back(Haystack(entry));
}

bool FixtureLibrary::Import(const QString& path, QString& error) {
  FileRead read = ReadFile(path);
  if (!read.ok) {
    error = read.error;
    return false;
  }
  const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), read.entry, EntryBefore);
  const auto index = at - m_entries.begin();
  const QString haystack = Haystack(read.entry);
  if (at != m_entries.end() && !EntryBefore(read.entry, *at)) {
    *at = std::move(read.entry);
    m_haystacks[static_cast<std::size_t>(index)] = haystack;
  } else {
    m_entries.insert(at, std::move(read.entry));
    m_haystacks.insert(m_haystacks.begin() + index, haystack);
  }
  return true;
}

std::vector<int> FixtureLibrary::Search(const QString& text) const {
  const QStringList words =
      text.simplified().toCaseFolded().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  std::vector<int> found;
  for (std::size_t i = 0; i < m_haystacks.size(); ++i) {
    const QString& haystack = m_haystacks[i];
    if (std::all_of(words.begin(), words.end(),
                    [&haystack](const QString& word) { return haystack.contains(word); }))
      found.push_back(static_cast<int>(i));
  }
  return found;
}

const LibraryEntry* FixtureLibrary::Find(const QString& definition) const {
  const qsizetype slash = definition.indexOf(QLatin1Char('/'));
  if (slash < 0) return nullptr;
  const QString manufacturer = definition.left(slash), model = definition.mid(slash + 1);
  const auto at =
      std::lower_bound(m_entries.begin(), m_entries.end(), 0, [&](const LibraryEntry& entry, int) {
        return Before(entry.manufacturer, entry.model, manufacturer, model);
      });
  if (at == m_entries.end() || Before(manufacturer, model, at->manufacturer, at->model))
    return nullptr;
  return &*at;
}

bool FixtureLibrary::Resolve(const QString& definition, const QString& mode, ChannelLayout& out,
                             QString& error) const {
  const LibraryEntry* entry = Find(definition);
  if (entry == nullptr) {
    error = QStringLiteral("definition: \"%1\" is not in the fixture library").arg(definition);
    return false;
  }
  // The exact name first; a hand-written file may differ in case only.
  const LibraryMode* found = nullptr;
  for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
    for (const LibraryMode& candidate : entry->modes) {
      if (found == nullptr && QString::compare(candidate.name, mode, sensitivity) == 0)
        found = &candidate;
    }
  }
  if (found == nullptr) {
    error = QStringLiteral("mode: \"%1\" is not a mode of \"%2\"").arg(mode, entry->Definition());
    return false;
  }
  if (!found->Colourable()) {
    error = QStringLiteral("mode: \"%1\" of \"%2\" cannot be coloured: %3")
                .arg(found->name, entry->Definition(), found->refusal);
    return false;
  }
  out = found->layout;
  return true;
}

}  // namespace chromaset
