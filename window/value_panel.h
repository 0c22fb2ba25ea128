// The values beside the sliders: a field per slider (0-255) to read and type, the colour code
// of Red, Green and Blue, and a swatch of the current colour. The fields follow the sliders and
// typed values move the sliders; the sliders' repaints send as before, so the panel itself never
// sends and never repaints a slider that did not move.
#pragma once

#include <QObject>

#include <array>
#include <optional>

#include "dmx_patch.h"

class QLabel;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace chromaset {

using RgbCode = std::array<std::uint8_t, 3>;

// "#RRGGBB", "RRGGBB" or "#RGB" (hex digits of either case, surrounding blanks ignored); none
// for anything else.
std::optional<RgbCode> ParseColourCode(const QString& text);
// "#RRGGBB" in capitals.
QString FormatColourCode(const RgbCode& rgb);

class ValuePanel : public QObject {
  Q_OBJECT

 public:
  // sliders and fields in the order Red, Green, Blue, White.
  ValuePanel(const std::array<QSlider*, 4>& sliders, const std::array<QSpinBox*, 4>& fields,
             QLineEdit* colourCode, QLabel* swatch, QObject* parent = nullptr);

  // The sliders' positions as R, G, B, W.
  Rgbw Current() const;
  // Moves the sliders to values and repaints them even where the position stays, so the
  // frame goes out once more (a recalled favourite).
  void Recall(const Rgbw& values);
  // Applies the colour code field (Enter); false (field marked) when it is not a colour code.
  bool ApplyColourCode();

 protected:
  // Enter in a field applies it and goes no further: in this window Enter would end the program.
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;

 signals:
  // A colour code or a recalled favourite is about to move the sliders: channels (kSet*) of
  // values are meant, whether their sliders move or not.
  void Setting(unsigned channels, const chromaset::Rgbw& values);

 private:
  // A slider moved: the fields, the code and the swatch follow once the sliders have repainted.
  void Follow();
  // Every field and the code from the sliders (the code's canonical form after Enter).
  void ShowValues();
  void ShowCode();
  void ShowSwatch();
  void MarkInvalid(bool invalid);

  std::array<QSlider*, 4> m_sliders;
  std::array<QSpinBox*, 4> m_fields;
  QLineEdit* m_code;
  QLabel* m_swatch;
  bool m_followPending = false;
};

}  // namespace chromaset
