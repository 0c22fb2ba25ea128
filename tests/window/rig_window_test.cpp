// The fixture list, the fixture dialogs and the rig items of the Output menu over a rig model
// alone: rows and selection both ways, swatches, refusals that change nothing, rig files.
#include <QAccessible>

#include "definition_files.h"
#include "fixture_dialog.h"
#include "fixture_list.h"
#include "rig.h"  // the window tests' helpers; rig/rig.h comes with rig_model.h
#include "rig_file.h"
#include "rig_menu.h"
#include "rig_model.h"

namespace chromaset::test {

namespace {

using Kind = FixtureDialog::Kind;
using Indices = std::vector<int>;

Fixture Make(const char* name, DmxPatch patch, const char* layout, Rgbw colour = {}) {
  Fixture f;
  f.name = name;
  f.patch = patch;
  f.colour = colour;
  std::string reason;
  EXPECT_TRUE(ParseLayout(layout, f.layout, reason)) << reason;
  return f;
}

// Par 1 RGBW at 0:0:0 1-4, Par 2 DdRGBW at 0:0:1 10-15, Par 3 RGB at 0:0:0 5-7.
void LoadThree(RigModel& model) {
  chromaset::Rig rig;
  rig.Clear();
  std::string reason;
  for (const Fixture& f :
       {Make("Par 1", {0, 0, 0, 1}, "RGBW", {255, 128, 0, 0}),
        Make("Par 2", {0, 0, 1, 10}, "DdRGBW"), Make("Par 3", {0, 0, 0, 5}, "RGB")})
    EXPECT_TRUE(rig.Add(f, reason)) << reason;
  model.Load(rig);
}

Indices Shown(const FixtureList& list) {
  Indices rows;
  for (const QModelIndex& i : list.View()->selectionModel()->selectedRows())
    rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

// A double click is a click and then the double-click event, as the window system sends it.
void Click(FixtureList& list, int row, Qt::KeyboardModifiers modifiers = {}, bool twice = false) {
  QTreeView* view = list.View();
  const QPoint at = view->visualRect(view->model()->index(row, 0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, at);
  if (twice) QTest::mouseDClick(view->viewport(), Qt::LeftButton, modifiers, at);
}

QVariant Cell(const FixtureList& list, int row, int column, int role = Qt::DisplayRole) {
  return list.View()->model()->index(row, column).data(role);
}

QString AccessibleCell(const FixtureList& list, int row, int column) {
  QAccessibleInterface* view = QAccessible::queryAccessibleInterface(list.View());
  return view->tableInterface()->cellAt(row, column)->text(QAccessible::Name);
}

}  // namespace

TEST(RigWindow, TheListAndMenuShowTheRigSwatchesSelectionBothWaysAndRigFiles) {
  RigModel model;
  QWidget window;
  FixtureList list(model, &window);
  QMenu menu;
  RigMenu items(model, &menu, &window);
  items.FollowList(&list);
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  QStringList texts;
  QAccessibleInterface* menuAccess = QAccessible::queryAccessibleInterface(&menu);
  for (int i = 0; i < menuAccess->childCount(); ++i)
    texts << menuAccess->child(i)->text(QAccessible::Name);
  EXPECT_EQ(texts, QStringList({"Add fixture\u2026", "Add several\u2026", "Edit fixture\u2026",
                                "Remove fixture", "", "Open rig\u2026", "Save rig as\u2026"}));
  EXPECT_TRUE(list.isHidden());  // one fixture: no list, and it stays
  EXPECT_FALSE(items.RemoveItem()->isEnabled());
  LoadThree(model);
  EXPECT_TRUE(items.RemoveItem()->isEnabled());
  QTest::qWait(20);  // the window lays the list out
  EXPECT_TRUE(list.isVisible());
  ASSERT_EQ(list.View()->model()->rowCount(), 3);
  QStringList row;
  for (int c = 0; c < FixtureList::kColumns; ++c) row << Cell(list, 1, c).toString();
  EXPECT_EQ(row, QStringList({"Par 2", "0:0:1", "10\u201315", "DdRGBW", ""}));
  EXPECT_EQ(list.View()->accessibleName(), "Fixtures");
  EXPECT_EQ(AccessibleCell(list, 0, 0), "Par 1, 0:0:0 DMX 1\u20134, RGBW, colour 255 128 0 0");
  EXPECT_EQ(AccessibleCell(list, 2, FixtureList::kColour), "colour 0 0 0 0");

  Click(list, 0);
  Click(list, 2, Qt::ControlModifier);
  EXPECT_EQ(model.Selection(), (Indices{0, 2}));
  Click(list, 2, Qt::ControlModifier);
  Click(list, 0, Qt::ControlModifier);  // none left: the model keeps one and the list shows it
  EXPECT_EQ(model.Selection(), (Indices{0}));
  EXPECT_EQ(Shown(list), (Indices{0}));
  QTest::keyClick(list.View(), Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(model.Selection(), (Indices{0, 1, 2}));
  model.Select({1});
  EXPECT_EQ(Shown(list), (Indices{1}));
  EXPECT_EQ(list.View()->currentIndex().row(), 1);  // the keyboard goes on from there
  QTest::mouseClick(list.AllButton(), Qt::LeftButton);
  EXPECT_EQ(Shown(list), (Indices{0, 1, 2}));
  std::string reason;  // an edit rebuilds the rows: the selection stays shown
  ASSERT_TRUE(model.Replace(1, model.Current().At(1), reason));
  EXPECT_FALSE(model.Replace(3, model.Current().At(1), reason));  // no longer in the rig
  EXPECT_EQ(Shown(list), (Indices{0, 1, 2}));
  EXPECT_EQ(list.AllButton()->text(), "All fixtures");

  // A colour change updates the selected swatches without a rebuild.
  QSignalSpy rebuilt(list.View()->model(), &QAbstractItemModel::modelReset);
  QSignalSpy told(list.View()->model(), &QAbstractItemModel::dataChanged);
  model.Select({1, 2});
  model.SetSelectedColour(kSetAll, {255, 100, 0, 200});  // white lights R, G, B, capped
  EXPECT_EQ(rebuilt.count(), 0);
  ASSERT_EQ(told.count(), 1);  // the view repaints rows 1 and 2 only
  EXPECT_EQ(told[0][0].toModelIndex().row() * 10 + told[0][1].toModelIndex().row(), 12);
  for (const auto& [row, colour] :
       {std::pair(0, QColor(255, 128, 0)), std::pair(2, QColor(255, 255, 200))})
    EXPECT_EQ(Cell(list, row, FixtureList::kColour, Qt::DecorationRole).value<QColor>(), colour);
  EXPECT_EQ(AccessibleCell(list, 1, 0),
            "Par 2, 0:0:1 DMX 10\u201315, DdRGBW, colour 255 100 0 200");
  model.Remove({0});  // rebuilt: two rows still make a list
  EXPECT_FALSE(list.isHidden());
  model.SelectAll();  // all of two selected: a rig loaded now is all selected too
  LoadThree(model);
  EXPECT_EQ(model.Selection(), (Indices{0, 1, 2}));
  model.Remove({0, 1});  // one row left: a lone fixture hides the list
  EXPECT_EQ(list.View()->model()->rowCount(), 1);
  EXPECT_TRUE(list.isHidden());
  EXPECT_FALSE(items.RemoveItem()->isEnabled());

  // A double-click on a row edits that fixture; the menu reads and writes rig files.
  LoadThree(model);
  QTest::qWait(20);
  const QByteArray edited = WriteRig(model.Current()).replace("Par 2", "Wash");
  WhileModal([&] { Click(list, 1, {}, /*twice=*/true); },
             [](QWidget* modal) {
               auto* dialog = qobject_cast<FixtureDialog*>(modal);
               ASSERT_NE(dialog, nullptr);
               dialog->NameField()->setText("Wash");
               dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
             });
  EXPECT_EQ(WriteRig(model.Current()), edited);  // only the name changed

  QTemporaryDir dir;
  QString path = dir.filePath("show");
  QStringList warnings;
  items.SetPathFunction([&](bool) { return path; });
  items.SetMessageFunction([&](const QString& text) { warnings << text; });
  items.SaveItem()->trigger();  // ".json" is added
  const QByteArray saved = WriteRig(model.Current());
  model.Remove({0, 1});
  path += ".json";
  items.OpenItem()->trigger();
  EXPECT_EQ(WriteRig(model.Current()), saved);
  EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();

  path = dir.filePath("bad.json");  // the saved rig with the second fixture's name emptied
  ASSERT_TRUE(WriteFile(path, QByteArray(saved).replace("\"Wash\"", "\"\"")));
  items.OpenItem()->trigger();
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].contains("fixture 2 (\"\"): name")) << warnings[0].toStdString();
  EXPECT_EQ(WriteRig(model.Current()), saved);
  path = dir.filePath("missing/folder/rig.json");
  EXPECT_FALSE(items.Save(path));
  EXPECT_EQ(warnings.size(), 2);

  model.Select({0, 2});
  items.RemoveItem()->trigger();
  ASSERT_EQ(model.Current().Count(), 1);
  EXPECT_EQ(model.Current().At(0).name, "Wash");
}

TEST(RigWindow, TheDialogsRefuseWithTheReasonShownAndChangeNothing) {
  struct Case {
    Kind kind;
    const char* layout;
    int start, count;
    const char* reason;
    int changed, lastChannel;  // once moved to a free place
  } const cases[] = {
      {Kind::kAdd, "RGBX", 20, 1, "Letter 4 of the layout, \"X\"", 3, 103},
      {Kind::kAdd, "RGBW", 3, 1, "overlap fixture 1 (\"Par 1\")", 3, 103},
      {Kind::kAdd, "RGBW", 510, 1, "Address: 510 leaves no room for 4 channels", 3, 103},
      {Kind::kEdit, "RGB", 2, 1, "overlap fixture 1", 2, 8},  // editing Par 3
      {Kind::kAddSeveral, "RGBW", 20, 124, "a universe ends at 512", 5, 111},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reason);
    RigModel model;
    LoadThree(model);
    const QByteArray before = WriteRig(model.Current());
    FixtureDialog dialog(c.kind, model, 2);
    dialog.show();
    dialog.UniverseField()->setValue(0);
    dialog.StartField()->setValue(c.start);
    dialog.LayoutField()->setCurrentText(c.layout);
    if (dialog.CountField() != nullptr) dialog.CountField()->setValue(c.count);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(dialog.Problem()->isVisible());
    EXPECT_TRUE(dialog.Problem()->text().contains(c.reason))
        << dialog.Problem()->text().toStdString();
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dialog.Problem())->text(QAccessible::Name),
              dialog.Problem()->text());
    EXPECT_EQ(WriteRig(model.Current()), before);
    // Moved to a free place, the same fixture is taken.
    dialog.StartField()->setValue(c.kind == Kind::kEdit ? 5 : 100);
    dialog.LayoutField()->setCurrentText("RGBW");
    if (dialog.CountField() != nullptr) dialog.CountField()->setValue(3);
    EXPECT_TRUE(dialog.Apply());
    EXPECT_TRUE(dialog.Problem()->isHidden());
    EXPECT_EQ(model.Current().At(c.changed).LastChannel(), c.lastChannel);
  }
}

TEST(RigWindow, AddProposesTheNextFreePlaceAndSeveralAreNamedInTurn) {
  chromaset::Rig rig;
  Fixture p = FixtureDialog::Proposal(rig);
  EXPECT_TRUE(std::tie(p.name, p.patch, p.layout.text) ==
              std::tuple("Fixture 2", DmxPatch{0, 0, 0, 5}, "RGBW"));
  std::string reason;
  ASSERT_TRUE(rig.Add(Make("Fixture 2", {0, 1, 15, 507}, "DdRGBW"), reason)) << reason;
  p = FixtureDialog::Proposal(rig);  // that universe is full: the next one
  EXPECT_TRUE(std::tie(p.name, p.patch, p.layout.text) ==
              std::tuple("Fixture 3", DmxPatch{0, 2, 0, 1}, "DdRGBW"));

  RigModel model;
  FixtureDialog add(Kind::kAdd, model);
  EXPECT_EQ(add.NameField()->text(), "Fixture 2");
  EXPECT_EQ(add.StartField()->value(), 5);
  FixtureDialog several(Kind::kAddSeveral, model);
  several.NameField()->setText("Par");
  EXPECT_EQ(several.CountField()->value(), 4);  // the count proposed
  several.CountField()->setValue(3);
  ASSERT_TRUE(several.Apply());
  ASSERT_EQ(model.Current().Count(), 4);
  EXPECT_EQ(model.Current().At(3).name, "Par 3");
  EXPECT_EQ(model.Selection(), (Indices{1, 2, 3}));
  for (const char* name :
       {"Name", "Net", "Sub-Net", "Universe", "Start address", "Layout", "Count"})
    EXPECT_NE(Named<QWidget>(several, name), nullptr) << name;
  EXPECT_EQ(Named<QWidget>(add, "Count"), nullptr);

  // A layout from a definition shows its mode and, left alone, stays as it is.
  Fixture defined = Make("Spot", {0, 0, 5, 1}, "DRGB");
  defined.layout.text.clear();
  defined.mode = "4-channel";
  ASSERT_TRUE(model.Add(defined, reason)) << reason;
  FixtureDialog edit(Kind::kEdit, model, 4);
  EXPECT_EQ(edit.LayoutField()->currentText(), "4-channel");
  edit.NameField()->setText("Spot 1");
  ASSERT_TRUE(edit.Apply());
  EXPECT_EQ(model.Current().At(4).layout.Count(), 4);
  EXPECT_EQ(model.Current().At(4).mode, "4-channel");
}

}  // namespace chromaset::test
