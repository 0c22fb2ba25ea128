// The fixture library in the fixture dialog: a search field, manufacturer -> model -> mode with
// each mode's channel count (modes Chromaset cannot colour greyed, with the reason), the chosen
// mode's channels with what Chromaset sends on each, and "Import definition…".
#pragma once

#include <QString>
#include <QWidget>

#include <functional>

#include "fixture_library.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTreeView;

namespace chromaset {

class LibraryLoader;

class LibraryPicker : public QWidget {
  Q_OBJECT

 public:
  // Asks for a definition file's path; empty when the user cancels.
  using PathFn = std::function<QString()>;

  // Starts the loader: opening the dialog is what first needs the library.
  explicit LibraryPicker(LibraryLoader& loader, QWidget* parent = nullptr);
  ~LibraryPicker() override;

  void SetPathFunction(PathFn ask) { m_askPath = std::move(ask); }
  // Shows definition ("Manufacturer/Model") and mode as chosen, without telling Chosen (the
  // fixture already has them); once the library is here if it is not yet.
  void ShowChoice(const QString& definition, const QString& mode);
  // Nothing chosen any more (a layout was typed).
  void ClearChoice();

  QLineEdit* SearchField() const { return m_search; }
  QTreeView* Tree() const { return m_tree; }
  QListWidget* Channels() const { return m_channels; }
  QLabel* Status() const { return m_status; }
  QPushButton* ImportButton() const { return m_import; }

 signals:
  // The user chose a mode Chromaset can colour.
  void Chosen(const chromaset::LibraryEntry& entry, const chromaset::LibraryMode& mode);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Rows;

  void OnLoaded();
  void Filter();
  void OnSelected();
  void OnImport();
  // Selects entry's mode (its first colourable one for -1) in a tree showing everything.
  void Select(int entry, int mode);
  void ShowStatus(const QString& text);

  LibraryLoader& m_loader;
  PathFn m_askPath;
  Rows* m_rows = nullptr;
  QLineEdit* m_search = nullptr;
  QTreeView* m_tree = nullptr;
  QLabel* m_channelsTitle = nullptr;
  QListWidget* m_channels = nullptr;
  QLabel* m_status = nullptr;
  QPushButton* m_import = nullptr;
  QString m_pendingDefinition, m_pendingMode;  // a ShowChoice before the library was here
  bool m_quiet = false;                        // selecting for ShowChoice: no Chosen
};

}  // namespace chromaset
