#include "favourites_bar.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include <utility>

namespace chromaset {

namespace {

// A swatch paints itself: a style sheet would give every button a style of its own, which costs
// the window's start more than all else in this row.
class SwatchButton : public QToolButton {
 public:
  using QToolButton::QToolButton;
  void SetColour(const std::optional<QColor>& colour) {
    m_colour = colour;
    update();
  }

 protected:
  void paintEvent(QPaintEvent* /*event*/) override {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    if (m_colour) painter.fillRect(frame, *m_colour);
    // Empty: a dashed outline on the window's own background.
    painter.setPen(
        QPen(palette().color(QPalette::Dark), 1, m_colour ? Qt::SolidLine : Qt::DashLine));
    painter.drawRect(frame);
    if (hasFocus()) {
      painter.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
      painter.drawRect(frame.adjusted(2, 2, -2, -2));
    }
  }

 private:
  std::optional<QColor> m_colour;
};

}  // namespace

FavouritesBar::FavouritesBar(std::function<Rgbw()> current, QWidget* parent)
    : QWidget(parent), m_current(std::move(current)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  for (int i = 0; i < kFavouriteCount; ++i) {
    auto* swatch = new SwatchButton(this);
    const QString name = tr("Favourite %1").arg(i + 1);
    swatch->setObjectName(QStringLiteral("m_favourite%1").arg(i + 1));
    swatch->setAccessibleName(name);
    swatch->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    swatch->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(swatch, &QToolButton::clicked, this, [this, i] {
      if (const auto& values = m_stored[static_cast<std::size_t>(i)]) emit Recall(*values);
    });
    connect(swatch, &QToolButton::customContextMenuRequested, this,
            [this, i](const QPoint& at) { OpenMenu(i, at); });
    m_swatches[static_cast<std::size_t>(i)] = swatch;
    row->addWidget(swatch);
    Show(i);
  }
}

void FavouritesBar::SetStored(const Favourites& stored) {
  if (stored == m_stored) return;
  m_stored = stored;
  for (int i = 0; i < kFavouriteCount; ++i) Show(i);
  emit Changed(m_stored);
}

void FavouritesBar::Store(int index) {
  Favourites next = m_stored;
  next[static_cast<std::size_t>(index)] = m_current();
  SetStored(next);
}

void FavouritesBar::Clear(int index) {
  Favourites next = m_stored;
  next[static_cast<std::size_t>(index)] = std::optional<Rgbw>{};
  SetStored(next);
}

void FavouritesBar::Show(int index) {
  auto* swatch = static_cast<SwatchButton*>(m_swatches[static_cast<std::size_t>(index)]);
  const auto& values = m_stored[static_cast<std::size_t>(index)];
  const QString name = tr("Favourite %1").arg(index + 1);
  if (!values) {
    swatch->SetColour({});
    swatch->setToolTip(tr("%1: empty (right-click to store the current colour)").arg(name));
    return;
  }
  const Rgbw& v = *values;
  swatch->SetColour(QColor(v[0], v[1], v[2]));
  swatch->setToolTip(
      tr("%1: R %2, G %3, B %4, W %5").arg(name).arg(v[0]).arg(v[1]).arg(v[2]).arg(v[3]));
}

void FavouritesBar::OpenMenu(int index, const QPoint& at) {
  QMenu menu(this);
  connect(menu.addAction(tr("Store current colour")), &QAction::triggered, this,
          [this, index] { Store(index); });
  QAction* clear = menu.addAction(tr("Clear"));
  clear->setEnabled(m_stored[static_cast<std::size_t>(index)].has_value());
  connect(clear, &QAction::triggered, this, [this, index] { Clear(index); });
  menu.exec(m_swatches[static_cast<std::size_t>(index)]->mapToGlobal(at));
}

}  // namespace chromaset
