// The Output menu (Patch…, Keep output alive, Limit to 44 frames/s, Synchronise universes) and
// the status line that shows the patch at a glance and how the output goes (routed, and which
// universes no node outputs; synchronised); both follow the output however it changes.
#pragma once

#include <QObject>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QWidget;

namespace chromaset {

class DmxOutput;

class OutputMenu : public QObject {
  Q_OBJECT

 public:
  // Adds the menu to bar before the menu item `before` and keeps status up to date.
  OutputMenu(DmxOutput& output, QMenuBar* bar, QAction* before, QLabel* status,
             QWidget* dialogParent);

  QMenu* Menu() const { return m_menu; }
  QAction* PatchItem() const { return m_patch; }
  QAction* KeepAliveItem() const { return m_keepAlive; }
  QAction* RateLimitItem() const { return m_rateLimit; }
  QAction* SyncItem() const { return m_sync; }
  // Opens the patch dialog; OK applies it.
  void OnPatch();

 private:
  void ShowState();

  DmxOutput& m_output;
  QWidget* m_dialogParent;
  QLabel* m_status;
  QMenu* m_menu = nullptr;
  QAction* m_patch = nullptr;
  QAction* m_keepAlive = nullptr;
  QAction* m_rateLimit = nullptr;
  QAction* m_sync = nullptr;
};

}  // namespace chromaset
