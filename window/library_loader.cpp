#include "library_loader.h"

#include <cstdio>

namespace chromaset {

LibraryLoader::LibraryLoader(QStringList folders, QObject* parent)
    : QObject(parent), m_folders(std::move(folders)) {
  // Connected here, on the GUI thread, so the thread only emits: nothing it allocates is later
  // read by the GUI thread outside Qt's own locking.
  connect(this, &LibraryLoader::ReadFinished, this, &LibraryLoader::Deliver, Qt::QueuedConnection);
}

LibraryLoader::~LibraryLoader() {
  if (m_thread.joinable()) m_thread.join();
}

void LibraryLoader::Start() {
  if (m_loaded || m_thread.joinable()) return;
  m_thread = std::thread([this] {
    auto read = std::make_unique<FixtureLibrary>();
    QStringList errors;
    read->Load(m_folders, errors);
    m_read = std::move(read);
    m_readErrors = std::move(errors);
    // Dropped with this object if it is gone first; the destructor joins before that.
    emit ReadFinished();
  });
}

void LibraryLoader::Wait() {
  Start();
  Deliver();
}

DefinitionResolver LibraryLoader::Resolver() {
  return
      [this](const QString& definition, const QString& mode, ChannelLayout& out, QString& error) {
        Wait();
        return m_library.Resolve(definition, mode, out, error);
      };
}

void LibraryLoader::Deliver() {
  if (m_loaded) return;
  if (m_thread.joinable()) m_thread.join();
  if (m_read) m_library = std::move(*m_read);
  m_read.reset();
  m_errors = std::move(m_readErrors);
  for (const QString& line : m_errors) std::fprintf(stderr, "chromaset: %s\n", qPrintable(line));
  m_loaded = true;
  emit Loaded();
}

}  // namespace chromaset
