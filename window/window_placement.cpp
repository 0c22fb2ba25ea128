#include "window_placement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace chromaset {

WindowPlacement::WindowPlacement(QWidget& window, std::optional<QPoint> remembered)
    : QObject(&window), m_window(window), m_remembered(remembered) {
  if (m_remembered && QGuiApplication::screenAt(*m_remembered) != nullptr) {
    m_window.move(*m_remembered);
  }
  m_window.installEventFilter(this);
}

bool WindowPlacement::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &m_window) {
    if (event->type() == QEvent::Show && !m_placed) {
      QTimer::singleShot(0, this, [this] { m_placed = m_window.pos(); });
    } else if (event->type() == QEvent::WindowActivate && !m_activated) {
      // A window manager places the window before it first activates it.
      m_activated = true;
      m_placed = m_window.pos();
    }
  }
  return QObject::eventFilter(watched, event);
}

std::optional<QPoint> WindowPlacement::Position() const {
  if (m_placed && m_window.pos() != *m_placed) return m_window.pos();
  return m_remembered;
}

}  // namespace chromaset
