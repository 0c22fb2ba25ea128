#include "value_panel.h"

#include <QColor>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "rig_model.h"

namespace chromaset {

namespace {

int HexDigit(QChar c) {
  const char ch = c.toLatin1();
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

// Posted below the windows' own repaint requests, so it comes after the sliders' repaints.
const QEvent::Type kFollowSliders = static_cast<QEvent::Type>(QEvent::User + 1);

const char* const kInvalidCodeTip = "Not a colour code: use #RRGGBB, RRGGBB or #RGB";

}  // namespace

std::optional<RgbCode> ParseColourCode(const QString& text) {
  QString code = text.trimmed();
  const bool hash = code.startsWith(QLatin1Char('#'));
  if (hash) code.remove(0, 1);
  const bool shortForm = hash && code.size() == 3;
  if (code.size() != 6 && !shortForm) return std::nullopt;
  std::array<int, 6> digits{};
  for (qsizetype i = 0; i < code.size(); ++i) {
    digits[static_cast<std::size_t>(i)] = HexDigit(code[i]);
    if (digits[static_cast<std::size_t>(i)] < 0) return std::nullopt;
  }
  RgbCode rgb{};
  for (std::size_t c = 0; c < 3; ++c) {
    rgb[c] = static_cast<std::uint8_t>(shortForm ? digits[c] * 17
                                                 : digits[2 * c] * 16 + digits[2 * c + 1]);
  }
  return rgb;
}

QString FormatColourCode(const RgbCode& rgb) {
  return QStringLiteral("#%1%2%3")
      .arg(rgb[0], 2, 16, QLatin1Char('0'))
      .arg(rgb[1], 2, 16, QLatin1Char('0'))
      .arg(rgb[2], 2, 16, QLatin1Char('0'))
      .toUpper();
}

ValuePanel::ValuePanel(const std::array<QSlider*, 4>& sliders,
                       const std::array<QSpinBox*, 4>& fields, QLineEdit* colourCode,
                       QLabel* swatch, QObject* parent)
    : QObject(parent), m_sliders(sliders), m_fields(fields), m_code(colourCode), m_swatch(swatch) {
  for (std::size_t i = 0; i < 4; ++i) {
    QSlider* slider = m_sliders[i];
    QSpinBox* field = m_fields[i];
    field->setRange(0, 255);
    field->setKeyboardTracking(false);  // "1" on the way to "128" is not a value
    connect(slider, &QSlider::valueChanged, this, &ValuePanel::Follow);
    // A typed value moves the slider; setValue of the same position does nothing.
    connect(field, &QSpinBox::valueChanged, slider, &QSlider::setValue);
    field->installEventFilter(this);
  }
  m_code->installEventFilter(this);
  connect(m_code, &QLineEdit::textEdited, this, [this] { MarkInvalid(false); });
  m_swatch->setAutoFillBackground(true);
  m_swatch->setToolTip(tr("The current colour"));
  ShowValues();
  ShowSwatch();
}

Rgbw ValuePanel::Current() const {
  Rgbw values{};
  for (std::size_t i = 0; i < 4; ++i) values[i] = static_cast<std::uint8_t>(m_sliders[i]->value());
  return values;
}

void ValuePanel::Recall(const Rgbw& values) {
  emit Setting(kSetAll, values);
  for (std::size_t i = 0; i < 4; ++i) {
    m_sliders[i]->setValue(values[i]);
    m_sliders[i]->update();
  }
}

bool ValuePanel::ApplyColourCode() {
  const auto rgb = ParseColourCode(m_code->text());
  MarkInvalid(!rgb);
  if (!rgb) return false;
  emit Setting(kSetRgb, Rgbw{(*rgb)[0], (*rgb)[1], (*rgb)[2], 0});
  for (std::size_t i = 0; i < 3; ++i) m_sliders[i]->setValue((*rgb)[i]);
  ShowValues();  // the canonical form, also when nothing moved
  return true;
}

bool ValuePanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
  if (watched == m_code) {
    ApplyColourCode();
    m_code->selectAll();
    return true;
  }
  for (QSpinBox* field : m_fields) {
    if (watched == field) {
      field->interpretText();
      field->selectAll();
      return true;
    }
  }
  return false;
}

void ValuePanel::Follow() {
  // A pick moves Red, Green and Blue one after another and their repaints send: the panel
  // follows once, after them, so the wire never waits for its text layouts and paints.
  if (m_followPending) return;
  m_followPending = true;
  QCoreApplication::postEvent(this, new QEvent(kFollowSliders), Qt::LowEventPriority - 1);
}

bool ValuePanel::event(QEvent* event) {
  if (event->type() != kFollowSliders) return QObject::event(event);
  m_followPending = false;
  ShowValues();
  ShowSwatch();
  return true;
}

void ValuePanel::ShowValues() {
  const Rgbw values = Current();
  for (std::size_t i = 0; i < 4; ++i) {
    if (m_fields[i]->value() == values[i]) continue;
    const QSignalBlocker quiet(m_fields[i]);  // following the slider is not typing
    m_fields[i]->setValue(values[i]);
  }
  ShowCode();
}

void ValuePanel::ShowCode() {
  if (m_code->property("invalid").toBool()) return;  // the user's text stays until fixed
  const Rgbw values = Current();
  const QString code = FormatColourCode({values[0], values[1], values[2]});
  if (m_code->text() != code) m_code->setText(code);
}

void ValuePanel::ShowSwatch() {
  const Rgbw values = Current();
  const QColor colour(values[0], values[1], values[2]);
  if (m_swatch->palette().color(QPalette::Window) == colour) return;
  // Said by a screen reader: the colour itself, not only that there is one.
  m_swatch->setAccessibleName(
      tr("Current colour: %1").arg(FormatColourCode({values[0], values[1], values[2]})));
  QPalette palette = m_swatch->palette();
  palette.setColor(QPalette::Window, colour);
  m_swatch->setPalette(palette);
}

void ValuePanel::MarkInvalid(bool invalid) {
  m_code->setProperty("invalid", invalid);
  m_code->setStyleSheet(invalid ? QStringLiteral("QLineEdit { border: 2px solid #d02020; }")
                                : QString());
  m_code->setToolTip(invalid ? tr(kInvalidCodeTip)
                             : tr("#RRGGBB, RRGGBB or #RGB; Enter applies it"));
}

}  // namespace chromaset
