// The main window's remembered position: put back at start when it is still on a screen, and
// reported at the end only when the user moved the window.
#pragma once

#include <QObject>
#include <QPoint>

#include <optional>

class QWidget;

namespace chromaset {

class WindowPlacement : public QObject {
  Q_OBJECT

 public:
  // Moves window to remembered (when on a screen) and watches it from now on.
  WindowPlacement(QWidget& window, std::optional<QPoint> remembered);

  // The position to remember: the window's own once the user has moved it, else the remembered
  // one (so the place a window manager picked is never taken for a choice).
  std::optional<QPoint> Position() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& m_window;
  std::optional<QPoint> m_remembered;
  std::optional<QPoint> m_placed;  // where the window was once shown and placed
  bool m_activated = false;
};

}  // namespace chromaset
