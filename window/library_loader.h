// The window's fixture library, read when first needed on a thread of its own so the window
// never freezes; the result is handed to the GUI thread, which alone uses it from then on.
#pragma once

#include <QObject>
#include <QStringList>

#include <memory>
#include <thread>

#include "fixture_library.h"
#include "rig_file.h"

namespace chromaset {

class LibraryLoader : public QObject {
  Q_OBJECT

 public:
  explicit LibraryLoader(QStringList folders = FixtureLibrary::DefaultFolders(),
                         QObject* parent = nullptr);
  ~LibraryLoader() override;  // waits for a read still running

  // Starts reading the folders (once; later calls do nothing).
  void Start();
  // Starts if need be and blocks until the library is here (for a rig that needs it now).
  void Wait();
  bool IsLoaded() const { return m_loaded; }

  // The library: empty until loaded. GUI thread only.
  FixtureLibrary& Library() { return m_library; }
  const FixtureLibrary& Library() const { return m_library; }
  // Resolves a rig file's definition-only fixtures, waiting for the library at the first one:
  // a rig without them never waits.
  DefinitionResolver Resolver();
  // The bad files' lines of the read (each also went to stderr).
  const QStringList& Errors() const { return m_errors; }

 signals:
  // The library is here (emitted once, on the GUI thread).
  void Loaded();
  // The thread's read is done (emitted on that thread; Deliver takes it on the GUI thread).
  void ReadFinished();

 private:
  // Takes over what the thread read; the first call of the queued one and Wait() wins.
  void Deliver();

  QStringList m_folders;
  FixtureLibrary m_library;
  QStringList m_errors;
  bool m_loaded = false;
  // Written by the thread only, read after it has posted Deliver or been joined.
  std::unique_ptr<FixtureLibrary> m_read;
  QStringList m_readErrors;
  std::thread m_thread;
};

}  // namespace chromaset
