// "Add fixture…", "Add several…" and "Edit fixture…": a fixture's name, place and layout (and
// how many for several), the layout typed or a mode chosen from the fixture library. OK applies
// through the rig model; a refusal shows its reason in the dialog, which stays open, and nothing
// changes.
#pragma once

#include <QDialog>

#include "rig.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace chromaset {

class LibraryLoader;
class LibraryPicker;
struct LibraryEntry;
struct LibraryMode;
class RigModel;

class FixtureDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Kind { kAdd, kAddSeveral, kEdit };

  // index: the fixture an edit starts from (ignored by the other kinds). With a library, the
  // dialog offers its modes beside the fields.
  FixtureDialog(Kind kind, RigModel& model, int index = -1, QWidget* parent = nullptr,
                LibraryLoader* library = nullptr);

  // What Add proposes: "Fixture N" with the last fixture's layout, at the next free address
  // after it (on the next universe when its own is full).
  static Fixture Proposal(const Rig& rig);

  // Applies the fields through the model (as OK does, without closing); false with the
  // reason shown when refused.
  bool Apply();

  QLineEdit* NameField() const { return m_name; }
  QSpinBox* NetField() const { return m_net; }
  QSpinBox* SubNetField() const { return m_subNet; }
  QSpinBox* UniverseField() const { return m_universe; }
  QSpinBox* StartField() const { return m_start; }
  QComboBox* LayoutField() const { return m_layout; }
  QSpinBox* CountField() const { return m_count; }  // Add several only, else null
  QLabel* Problem() const { return m_problem; }
  LibraryPicker* Picker() const { return m_picker; }  // null without a library

 private:
  void Show(const Fixture& fixture);
  bool Read(Fixture& fixture, std::string& reason) const;
  void Refuse(const std::string& reason);
  // A mode chosen in the library: the fixture takes its layout and definition.
  void TakeMode(const LibraryEntry& entry, const LibraryMode& mode);

  Kind m_kind;
  RigModel& m_model;
  int m_index;
  // What the fields started from: its colour stays, and so does its layout (a definition's
  // among them) while the Layout field keeps its first text.
  Fixture m_original;
  QString m_originalLayout;
  QLineEdit* m_name = nullptr;
  QSpinBox* m_net = nullptr;
  QSpinBox* m_subNet = nullptr;
  QSpinBox* m_universe = nullptr;
  QSpinBox* m_start = nullptr;
  QComboBox* m_layout = nullptr;
  QSpinBox* m_count = nullptr;
  QLabel* m_problem = nullptr;
  LibraryPicker* m_picker = nullptr;
};

}  // namespace chromaset
