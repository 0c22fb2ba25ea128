// The fixture library: every definition under the installed folder and the user's own, indexed
// by manufacturer and model, each mode resolved once. Nothing is read until Load(); the window
// loads it on a thread of its own (window/library_loader), the command line when it needs it.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

#include "fixture_definition.h"

namespace chromaset {

struct LibraryMode {
  QString name;
  ChannelLayout layout;      // resolved; empty channels when the mode cannot be coloured
  QStringList channelNames;  // in DMX order
  QString refusal;           // why Chromaset cannot colour it; empty when it can
  bool Colourable() const { return refusal.isEmpty(); }
};

struct LibraryEntry {
  QString manufacturer, model, path;
  std::vector<LibraryMode> modes;
  QString Definition() const { return manufacturer + QLatin1Char('/') + model; }
};

class FixtureLibrary {
 public:
  // /usr/share/qlcplus/fixtures, then ~/.qlcplus/fixtures (HOME).
  static QStringList DefaultFolders();

  // Reads every .qxf under folders (recursively). A bad file is skipped, with one line in
  // errors naming the file and the reason; a definition of a later folder replaces one of the
  // same manufacturer and model from an earlier folder (the user's own wins).
  void Load(const QStringList& folders, QStringList& errors);
  // Adds one file ("Import definition..."); false with the reason, naming the file.
  bool Import(const QString& path, QString& error);

  // Sorted by manufacturer, then model (case-insensitive).
  const std::vector<LibraryEntry>& Entries() const { return m_entries; }
  // The entries whose manufacturer, model or mode names contain every word of text
  // (case-insensitive), in Entries() order; all of them for an empty text.
  std::vector<int> Search(const QString& text) const;
  // "Manufacturer/Model" (the manufacturer ends at the first '/'); nullptr when not found.
  const LibraryEntry* Find(const QString& definition) const;
  // The colourable mode of that name; false with error naming what was not found.
  bool Resolve(const QString& definition, const QString& mode, ChannelLayout& out,
               QString& error) const;

 private:
  std::vector<LibraryEntry> m_entries;
  // Each entry's manufacturer, model and mode names lower-cased, one per line, so a keystroke's
  // search only compares.
  std::vector<QString> m_haystacks;
};

}  // namespace chromaset
