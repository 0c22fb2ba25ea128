// Eight favourite colours: a click on a stored one recalls its R, G, B, W; storing the current
// colour or clearing one is a deliberate choice from the swatch's context menu. Empty swatches
// look empty and do nothing on a click.
#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "dmx_patch.h"

class QToolButton;

namespace chromaset {

inline constexpr int kFavouriteCount = 8;
using Favourites = std::array<std::optional<Rgbw>, kFavouriteCount>;

class FavouritesBar : public QWidget {
  Q_OBJECT

 public:
  // current gives the colour to store.
  explicit FavouritesBar(std::function<Rgbw()> current, QWidget* parent = nullptr);

  const Favourites& Stored() const { return m_stored; }
  void SetStored(const Favourites& stored);  // emits Changed when it differs
  QToolButton* Swatch(int index) const { return m_swatches[static_cast<std::size_t>(index)]; }

  // The context menu's commands.
  void Store(int index);
  void Clear(int index);

 signals:
  void Recall(const chromaset::Rgbw& values);
  void Changed(const chromaset::Favourites& stored);

 private:
  void Show(int index);
  void OpenMenu(int index, const QPoint& at);

  std::function<Rgbw()> m_current;
  Favourites m_stored{};
  std::array<QToolButton*, kFavouriteCount> m_swatches{};
};

}  // namespace chromaset
