// Settings and the rig saved soon after each change, not only at exit: a crash, a kill or a
// power cut loses nothing set more than a second ago. The rig is kept in rig.json beside the
// settings file.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "settings_store.h"

namespace chromaset {

class CWheelDlg;
class WindowPlacement;

// Where the remembered rig is kept for the settings file at settingsPath.
QString RigPathBeside(const QString& settingsPath);

// The remembered rig into dialog's rig, every colour black (as a start has it); a fixture that
// breaks the rules drops only itself, with one stderr line each. False when there is no rig
// file or nothing usable in it.
bool RestoreRig(CWheelDlg& dialog, const QString& rigPath);

class AutoSave : public QObject {
  Q_OBJECT

 public:
  // Watches dialog from now on; settings are what was loaded (the parts the window does not
  // hold are kept as they are).
  AutoSave(CWheelDlg& dialog, SettingsStore& store, const WindowPlacement& placement,
           Settings settings);

  // Writes what changed now (also at exit).
  void SaveNow();

 private:
  CWheelDlg& m_dialog;
  SettingsStore& m_store;
  const WindowPlacement& m_placement;
  Settings m_settings;
  QString m_rigPath;
  bool m_rigChanged = false;
  QTimer m_timer;
};

}  // namespace chromaset
