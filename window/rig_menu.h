// The rig's items of the Output menu: add, add several, edit and remove fixtures, and open and
// save a rig file. Every change goes through the rig model; a file that cannot be read leaves
// the rig as it was and says why.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace chromaset {

class FixtureList;
class LibraryLoader;
class RigModel;

class RigMenu : public QObject {
  Q_OBJECT

 public:
  // Asks for a rig file's path; empty when the user cancels. save: for writing.
  using PathFn = std::function<QString(bool save)>;
  // Shows a warning (the desktop's message box unless a test supplies another).
  using MessageFn = std::function<void(const QString& text)>;

  // Appends the items to menu; dialogs and message boxes open over dialogParent. With a
  // library, the fixture dialogs offer its modes and rig files may name definitions.
  RigMenu(RigModel& model, QMenu* menu, QWidget* dialogParent, LibraryLoader* library = nullptr);

  void SetPathFunction(PathFn ask) { m_askPath = std::move(ask); }
  void SetMessageFunction(MessageFn show) { m_message = std::move(show); }
  // A double-click on a row of list edits that fixture.
  void FollowList(FixtureList* list);

  QAction* AddItem() const { return m_add; }
  QAction* AddSeveralItem() const { return m_addSeveral; }
  QAction* EditItem() const { return m_edit; }
  QAction* RemoveItem() const { return m_remove; }
  QAction* OpenItem() const { return m_open; }
  QAction* SaveItem() const { return m_save; }

  void OnAdd();
  void OnAddSeveral();
  void OnEdit();  // the first selected fixture
  void Edit(int index);
  void OnRemove();  // the selected fixtures
  void OnOpen();
  void OnSave();
  // Loads / writes the rig file at path; false after the warning was shown.
  bool Open(const QString& path);
  bool Save(const QString& path);

 private:
  void ShowState();
  QString AskPath(bool save);
  void Warn(const QString& text);

  RigModel& m_model;
  QWidget* m_dialogParent;
  LibraryLoader* m_library;
  PathFn m_askPath;
  MessageFn m_message;
  QString m_lastPath;  // where the file dialogs start
  QAction* m_add = nullptr;
  QAction* m_addSeveral = nullptr;
  QAction* m_edit = nullptr;
  QAction* m_remove = nullptr;
  QAction* m_open = nullptr;
  QAction* m_save = nullptr;
};

}  // namespace chromaset
