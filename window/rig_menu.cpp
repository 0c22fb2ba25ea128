#include "rig_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>

#include "fixture_dialog.h"
#include "fixture_list.h"
#include "library_loader.h"
#include "rig_file.h"
#include "rig_model.h"

namespace chromaset {

RigMenu::RigMenu(RigModel& model, QMenu* menu, QWidget* dialogParent, LibraryLoader* library)
    : QObject(menu),
      m_model(model),
      m_dialogParent(dialogParent),
      m_library(library),
      m_lastPath(QDir::homePath()) {
  m_add = menu->addAction(tr("Add fixture\u2026"));
  m_addSeveral = menu->addAction(tr("Add several\u2026"));
  m_edit = menu->addAction(tr("Edit fixture\u2026"));
  m_remove = menu->addAction(tr("Remove fixture"));
  menu->addSeparator();
  m_open = menu->addAction(tr("Open rig\u2026"));
  m_save = menu->addAction(tr("Save rig as\u2026"));
  connect(m_add, &QAction::triggered, this, &RigMenu::OnAdd);
  connect(m_addSeveral, &QAction::triggered, this, &RigMenu::OnAddSeveral);
  connect(m_edit, &QAction::triggered, this, &RigMenu::OnEdit);
  connect(m_remove, &QAction::triggered, this, &RigMenu::OnRemove);
  connect(m_open, &QAction::triggered, this, &RigMenu::OnOpen);
  connect(m_save, &QAction::triggered, this, &RigMenu::OnSave);
  connect(&m_model, &RigModel::Changed, this, &RigMenu::ShowState);
  ShowState();
}

void RigMenu::FollowList(FixtureList* list) {
  connect(list, &FixtureList::EditRequested, this, &RigMenu::Edit);
}

void RigMenu::ShowState() {
  const int count = m_model.Current().Count();
  m_add->setEnabled(count < kMaxFixtures);
  m_addSeveral->setEnabled(count < kMaxFixtures);
  m_remove->setEnabled(count > 1);  // a rig keeps at least one fixture
}

void RigMenu::OnAdd() {
  FixtureDialog dialog(FixtureDialog::Kind::kAdd, m_model, -1, m_dialogParent, m_library);
  dialog.exec();
}

void RigMenu::OnAddSeveral() {
  FixtureDialog dialog(FixtureDialog::Kind::kAddSeveral, m_model, -1, m_dialogParent, m_library);
  dialog.exec();
}

void RigMenu::OnEdit() { Edit(m_model.Selection().front()); }

void RigMenu::Edit(int index) {
  if (index < 0 || index >= m_model.Current().Count()) return;
  FixtureDialog dialog(FixtureDialog::Kind::kEdit, m_model, index, m_dialogParent, m_library);
  dialog.exec();
}

void RigMenu::OnRemove() { m_model.Remove(m_model.Selection()); }

void RigMenu::OnOpen() {
  const QString path = AskPath(false);
  if (!path.isEmpty()) Open(path);
}

void RigMenu::OnSave() {
  QString path = AskPath(true);
  if (path.isEmpty()) return;
  // A name typed without its extension still makes a file the Open dialog lists.
  if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".json");
  Save(path);
}

bool RigMenu::Open(const QString& path) {
  Rig rig;
  QString error;
  if (!LoadRigFile(path, rig, error,
                   m_library != nullptr ? m_library->Resolver() : DefinitionResolver())) {
    Warn(tr("The rig was not opened.\n%1").arg(error));
    return false;
  }
  m_lastPath = path;
  m_model.Load(rig);
  return true;
}

bool RigMenu::Save(const QString& path) {
  QString error;
  if (!SaveRigFile(path, m_model.Current(), error)) {
    Warn(tr("The rig was not saved.\n%1").arg(error));
    return false;
  }
  m_lastPath = path;
  return true;
}

QString RigMenu::AskPath(bool save) {
  if (m_askPath) return m_askPath(save);
  const QString filter = tr("Chromaset rig (*.json)");
  return save ? QFileDialog::getSaveFileName(m_dialogParent, tr("Save rig as"), m_lastPath, filter)
              : QFileDialog::getOpenFileName(m_dialogParent, tr("Open rig"), m_lastPath, filter);
}

void RigMenu::Warn(const QString& text) {
  if (m_message) {
    m_message(text);
    return;
  }
  QMessageBox::warning(m_dialogParent, QCoreApplication::applicationName(), text);
}

}  // namespace chromaset
