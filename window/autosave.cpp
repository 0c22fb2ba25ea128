#include "autosave.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

#include "favourites_bar.h"
#include "library_loader.h"
#include "rig_file.h"
#include "wheel_dlg.h"
#include "window_placement.h"

namespace chromaset {

namespace {
// Half a second between looks: a change is on disk within a second.
constexpr int kSaveIntervalMs = 500;
// Larger than any rig of 512 fixtures; a bigger file is not read into memory whole.
constexpr qint64 kMaxRigFileBytes = 4 * 1024 * 1024;
}  // namespace

QString RigPathBeside(const QString& settingsPath) {
  return QFileInfo(settingsPath).absoluteDir().filePath(QStringLiteral("rig.json"));
}

bool RestoreRig(CWheelDlg& dialog, const QString& rigPath) {
  QFile file(rigPath);
  if (!file.exists()) return false;
  if (!file.open(QIODevice::ReadOnly)) {
    std::fprintf(stderr, "chromaset: %s: cannot be read; the default rig is used\n",
                 qPrintable(rigPath));
    return false;
  }
  Rig rig;
  QStringList dropped;
  const bool usable =
      ReadRigLeniently(file.read(kMaxRigFileBytes + 1), rig, dropped, dialog.Library().Resolver());
  for (const QString& line : dropped) {
    std::fprintf(stderr, "chromaset: %s: %s (left out)\n", qPrintable(rigPath), qPrintable(line));
  }
  if (!usable) {
    std::fprintf(stderr, "chromaset: %s: no usable fixture; the default rig is used\n",
                 qPrintable(rigPath));
    return false;
  }
  dialog.Model().Load(rig);
  dialog.Output().Reset();
  return true;
}

AutoSave::AutoSave(CWheelDlg& dialog, SettingsStore& store, const WindowPlacement& placement,
                   Settings settings)
    : QObject(&dialog),
      m_dialog(dialog),
      m_store(store),
      m_placement(placement),
      m_settings(std::move(settings)),
      m_rigPath(RigPathBeside(store.Path())) {
  connect(&dialog.Model(), &RigModel::Changed, this, [this] { m_rigChanged = true; });
  // Looking is cheap (the store writes only what differs), so a plain interval does.
  connect(&m_timer, &QTimer::timeout, this, &AutoSave::SaveNow);
  m_timer.start(kSaveIntervalMs);
}

void AutoSave::SaveNow() {
  m_dialog.Devices().Store(m_settings);
  m_settings.patch = m_dialog.Model().Current().At(0).patch;
  m_settings.keepAlive = m_dialog.Output().KeepAlive();
  m_settings.rateLimit = m_dialog.Output().RateLimit();
  m_settings.artSync = m_dialog.Output().Sync();
  m_settings.routeToOutputs = m_dialog.Output().Routing();
  m_settings.favourites = m_dialog.Favourites().Stored();
  m_settings.windowPosition = m_placement.Position();
  m_store.Save(m_settings);
  if (!m_rigChanged) return;
  QDir().mkpath(QFileInfo(m_rigPath).absolutePath());
  QString error;
  if (SaveRigFile(m_rigPath, m_dialog.Model().Current(), error)) {
    m_rigChanged = false;
  } else {
    std::fprintf(stderr, "chromaset: %s\n", qPrintable(error));
    m_rigChanged = false;  // said once; the next change tries again
  }
}

}  // namespace chromaset
