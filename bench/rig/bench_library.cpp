// The fixture library as the window and --fixtures use it: reading and indexing every installed
// definition (warm file cache: the first run warms it), and the search that runs on each
// keystroke of the add dialog's search field. Skipped with the reason when the library is not
// installed.
#include <benchmark/benchmark.h>

#include <QDir>

#include "fixture_library.h"

namespace chromaset {
namespace {

const QString kInstalled = QStringLiteral("/usr/share/qlcplus/fixtures");

bool Installed(benchmark::State& state) {
  if (QDir(kInstalled).exists()) return true;
  state.SkipWithError("skipped: /usr/share/qlcplus/fixtures is missing (install qlcplus-data)");
  return false;
}

void BM_LoadLibrary(benchmark::State& state) {
  if (!Installed(state)) return;
  std::size_t entries = 0;
  qsizetype errors = 0;
  for (auto _ : state) {
    FixtureLibrary library;
    QStringList lines;
    library.Load(FixtureLibrary::DefaultFolders(), lines);
    entries = library.Entries().size();
    errors = lines.size();
    benchmark::DoNotOptimize(entries);
  }
  state.counters["definitions"] = static_cast<double>(entries);
  state.counters["error_lines"] = static_cast<double>(errors);
}
// CPU: of every thread (the files are read on several), so CPU / cores bounds an idle run.
BENCHMARK(BM_LoadLibrary)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MeasureProcessCPUTime()
    ->MinTime(2.0);

// "cameo flat pro" typed one letter at a time; the time per keystroke is the figure.
void BM_SearchKeystroke(benchmark::State& state) {
  if (!Installed(state)) return;
  static const FixtureLibrary library = [] {
    FixtureLibrary loaded;
    QStringList errors;
    loaded.Load({kInstalled}, errors);
    return loaded;
  }();
  const QString typed = QStringLiteral("cameo flat pro");
  std::size_t found = 0;
  for (auto _ : state) {
    for (qsizetype length = 1; length <= typed.size(); ++length) {
      found = library.Search(typed.left(length)).size();
      benchmark::DoNotOptimize(found);
    }
  }
  // CPU time per keystroke (the search runs on the GUI thread).
  state.counters["per_keystroke"] = benchmark::Counter(
      static_cast<double>(typed.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["found_at_end"] = static_cast<double>(found);
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace chromaset
