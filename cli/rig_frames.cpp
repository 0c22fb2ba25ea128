#include "rig_frames.h"

#include <algorithm>
#include <memory>

#include "rig.h"
#include "rig_file.h"

namespace chromaset {

bool BuildRigFrames(const QString& path, const QStringList& names, const Rgbw& colour,
                    std::vector<DmxFrame>& frames, QString& error,
                    const QStringList& libraryFolders) {
  frames.clear();
  // Most rig files keep their fixtures' channels: the library is read at the first that does not.
  std::unique_ptr<FixtureLibrary> library;
  QStringList skipped;
  const DefinitionResolver resolver = [&](const QString& definition, const QString& mode,
                                          ChannelLayout& out, QString& why) {
    if (!library) {
      library = std::make_unique<FixtureLibrary>();
      library->Load(libraryFolders, skipped);
    }
    if (library->Resolve(definition, mode, out, why)) return true;
    if (!skipped.isEmpty()) {
      why += QStringLiteral(" (%1 of its files could not be read: see chromaset --fixtures)")
                 .arg(skipped.size());
    }
    return false;
  };
  Rig rig;
  if (!LoadRigFile(path, rig, error, resolver)) return false;
  std::vector<bool> given(static_cast<std::size_t>(rig.Count()), names.isEmpty());
  for (const QString& name : names) {
    bool held = false;
    for (int i = 0; i < rig.Count(); ++i) {
      if (QString::fromStdString(rig.At(i).name) != name) continue;
      given[static_cast<std::size_t>(i)] = true;
      held = true;
    }
    if (!held) {
      error = QStringLiteral("--fixture: '%1' is not a fixture of %2").arg(name, path);
      return false;
    }
  }
  std::vector<int> lit;  // the universes that hold a fixture given the colour
  for (int i = 0; i < rig.Count(); ++i) {
    if (!given[static_cast<std::size_t>(i)]) continue;
    rig.SetColour(i, colour);
    lit.push_back(PortAddress(rig.At(i).patch));
  }
  for (const int universe : rig.Universes()) {
    if (std::find(lit.begin(), lit.end(), universe) == lit.end()) continue;
    frames.emplace_back();
    rig.WriteFrame(universe, frames.back());
  }
  return true;
}

}  // namespace chromaset
