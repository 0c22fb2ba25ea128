// The rig as a list beside the controls (shown while the rig has two or more fixtures): name,
// Port-Address, DMX range, layout and a swatch of each fixture's colour. Selecting rows selects
// the fixtures the controls set; a double-click asks to edit one.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "rig.h"

class QPushButton;
class QTreeView;

namespace chromaset {

class RigModel;

// "0:0:1": Net, Sub-Net and Universe of a fixture's place.
QString PortAddressText(const DmxPatch& patch);
// "1–5": the fixture's first and last channel.
QString DmxRangeText(const Fixture& fixture);
// The layout as typed, or the definition's mode for a layout made from a definition.
QString LayoutText(const Fixture& fixture);
// The colour a swatch shows: white lights R, G and B as well, each at most 255.
QColor SwatchColour(const Rgbw& colour);
// What a screen reader says for a row: "Par 1, 0:0:0 DMX 1–4, RGBW, colour 255 128 0 0".
QString FixtureSummary(const Fixture& fixture);

class FixtureList : public QWidget {
  Q_OBJECT

 public:
  enum Column { kName, kPlace, kRange, kLayout, kColour, kColumns };

  explicit FixtureList(RigModel& model, QWidget* parent = nullptr);

  QTreeView* View() const { return m_view; }
  QPushButton* AllButton() const { return m_all; }

 signals:
  // The user double-clicked fixture index's row.
  void EditRequested(int index);

 private:
  class Rows;

  void Rebuild();
  void ShowSelection();
  void ShowColours();
  void TakeSelection();

  RigModel& m_model;
  Rows* m_rows = nullptr;
  QTreeView* m_view = nullptr;
  QPushButton* m_all = nullptr;
  bool m_showing = false;  // the list is following the model: its selection signals are echoes
};

}  // namespace chromaset
