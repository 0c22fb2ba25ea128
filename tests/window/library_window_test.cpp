// The fixture library in the window over a few definition files written here: read on a thread
// and handed to the GUI thread, searched, greyed modes with their reason, a chosen mode as the
// fixture's layout and definition until a layout is typed, imports, rig files naming definitions.
#include "definition_files.h"
#include "fixture_dialog.h"
#include "library_loader.h"
#include "library_picker.h"
#include "rig.h"  // the window tests' helpers
#include "rig_menu.h"
#include "rig_model.h"

namespace chromaset::test {

namespace {

void Write(const QString& path, const QByteArray& bytes) { ASSERT_TRUE(WriteFile(path, bytes)); }

// Acme "Par RGB" (a colour mode and a dimmer-only one) and Bright "Wash" (one colour mode).
struct Files {
  Files() {
    Write(dir.filePath("lib/acme.qxf"), Qxf("Acme", "Par RGB", {"5ch: R G B D S", "Dim: D"}));
    Write(dir.filePath("lib/sub/bright.qxf"), Qxf("Bright", "Wash", {"3ch: R G B"}));
  }
  QStringList Folders() const { return {dir.filePath("lib")}; }
  QTemporaryDir dir;
};

// Every row of the tree, depth-first: "Maker", "  Model", "    Mode N" (greyed: "(reason)").
QStringList Rows(const QAbstractItemModel& model, const QModelIndex& parent = {}, int depth = 0) {
  QStringList rows;
  for (int r = 0; r < model.rowCount(parent); ++r) {
    const QModelIndex at = model.index(r, 0, parent);
    QString row = QString(depth * 2, ' ') + at.data().toString();
    if (depth == 2) row += ' ' + model.index(r, 1, parent).data().toString();
    if (!(model.flags(at) & Qt::ItemIsEnabled))
      row += " (" + at.data(Qt::ToolTipRole).toString() + ')';
    EXPECT_EQ(at.data(Qt::ToolTipRole), at.data(Qt::AccessibleDescriptionRole));
    rows << row << Rows(model, at, depth + 1);
  }
  return rows;
}

QModelIndex Find(const QTreeView& tree, const QString& text) {
  const QAbstractItemModel* m = tree.model();
  const QModelIndexList found =
      m->match(m->index(0, 0), Qt::DisplayRole, text, 1, Qt::MatchExactly | Qt::MatchRecursive);
  return found.value(0);
}

void Click(QTreeView& tree, const QString& text) {
  const QModelIndex at = Find(tree, text);
  ASSERT_TRUE(at.isValid()) << text.toStdString();
  tree.scrollTo(at);
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.visualRect(at).center());
}

QStringList Texts(const QListWidget& list) {
  QStringList texts;
  for (int i = 0; i < list.count(); ++i) texts << list.item(i)->text();
  return texts;
}

}  // namespace

TEST(LibraryWindow, ReadOnAThreadAndDeliveredToTheWindowThenSearchedWithModesGreyed) {
  Files files;
  LibraryLoader loader(files.Folders());
  QThread* deliveredOn = nullptr;
  QObject::connect(&loader, &LibraryLoader::Loaded,
                   [&] { deliveredOn = QThread::currentThread(); });
  LibraryPicker picker(loader);  // opening it starts the read
  EXPECT_FALSE(loader.IsLoaded());
  EXPECT_EQ(picker.Status()->text(), "Reading the fixture library\u2026");
  QSignalSpy loaded(&loader, &LibraryLoader::Loaded);
  ASSERT_TRUE(loaded.wait(10000));
  EXPECT_EQ(deliveredOn, qApp->thread());
  EXPECT_TRUE(picker.Status()->isHidden());
  const QString refusal = "no red, green and blue intensity, and no cyan, magenta and yellow";
  EXPECT_EQ(Rows(*picker.Tree()->model()),
            QStringList({"Acme", "  Par RGB", "    5ch 5", "    Dim 1 (" + refusal + ")", "Bright",
                         "  Wash", "    3ch 3"}));
  for (const auto& [text, makers] :
       {std::pair("wash", QStringList{"Bright"}), std::pair("5CH", QStringList{"Acme"}),
        std::pair("par wash", QStringList{}), std::pair("", QStringList{"Acme", "Bright"})}) {
    QTest::keyClick(picker.SearchField(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(picker.SearchField(), Qt::Key_Backspace);
    QTest::keyClicks(picker.SearchField(), text);
    QStringList shown;
    for (const QString& row : Rows(*picker.Tree()->model()))
      if (!row.startsWith(' ')) shown << row;
    EXPECT_EQ(shown, makers) << text;
  }

  LibraryLoader none({files.dir.filePath("missing")});
  LibraryPicker empty(none);
  none.Wait();
  EXPECT_EQ(empty.Status()->text(),
            "No fixture library found: install qlcplus-data, or use Import definition\u2026");
}

TEST(LibraryWindow, AChosenModeIsTheFixturesLayoutAndDefinitionUntilALayoutIsTyped) {
  Files files;
  LibraryLoader loader(files.Folders());
  loader.Wait();
  RigModel model;
  FixtureDialog add(FixtureDialog::Kind::kAdd, model, -1, nullptr, &loader);
  add.resize(900, 700);
  add.show();
  QTreeView& tree = *add.Picker()->Tree();
  EXPECT_GT(tree.model()->rowCount(), 0);        // a library read before shows at once
  add.Picker()->SearchField()->setText("acme");  // one model left: its modes show
  QTest::keyClick(add.Picker()->SearchField(), Qt::Key_Return);  // to the list, not OK
  EXPECT_TRUE(add.focusWidget() == &tree && add.isVisible() && model.Current().Count() == 1);
  Click(tree, "Dim");      // greyed: not chosen
  Click(tree, "Par RGB");  // a model, not a mode: nothing chosen either
  EXPECT_EQ(add.LayoutField()->currentText(), "RGBW");
  Click(tree, "5ch");
  EXPECT_EQ(add.LayoutField()->currentText(), "5ch");
  EXPECT_EQ(Texts(*add.Picker()->Channels()),
            QStringList({"1 R \u2014 red", "2 G \u2014 green", "3 B \u2014 blue",
                         "4 D \u2014 dimmer 255", "5 S \u2014 fixed 7"}));
  ASSERT_TRUE(add.Apply());
  const Fixture& added = model.Current().At(1);
  ChannelLayout expected;
  QString error;
  ASSERT_TRUE(loader.Library().Resolve("Acme/Par RGB", "5ch", expected, error));
  EXPECT_EQ(added.layout.channels, expected.channels);
  EXPECT_TRUE(std::tie(added.manufacturer, added.model, added.mode, added.patch.start) ==
              std::tuple("Acme", "Par RGB", "5ch", 5));

  // An edit shows the fixture's mode chosen; a typed layout replaces it.
  FixtureDialog edit(FixtureDialog::Kind::kEdit, model, 1, nullptr, &loader);
  EXPECT_EQ(edit.Picker()->Tree()->currentIndex(), Find(*edit.Picker()->Tree(), "5ch"));
  LibraryLoader later(files.Folders());  // the same once the library comes, whatever was typed
  FixtureDialog waiting(FixtureDialog::Kind::kEdit, model, 1, nullptr, &later);
  waiting.Picker()->SearchField()->setText("zzz");
  later.Wait();
  EXPECT_EQ(waiting.Picker()->Tree()->currentIndex().data().toString(), "5ch");
  edit.LayoutField()->setCurrentText("RGB");
  EXPECT_TRUE(edit.Picker()->Tree()->selectionModel()->selectedRows().isEmpty());
  ASSERT_TRUE(edit.Apply());
  EXPECT_TRUE(std::tie(model.Current().At(1).layout.text, model.Current().At(1).mode) ==
              std::tuple("RGB", ""));

  // Import: a bad file is refused with the reason in the dialog; a good one's first colourable
  // mode is chosen.
  const QByteArray bar = Qxf("Acme", "Zoom", {"Red only: R", "3ch: R G B"});  // Acme's second
  QString path;
  add.Picker()->SetPathFunction([&] { return path; });
  for (const auto& [name, bytes, status, layout] :
       {std::tuple("bad.qxf", bar.left(200), "bad.qxf: not well-formed", "5ch"),
        std::tuple("bar.qxf", bar, "", "3ch")}) {
    path = files.dir.filePath(QStringLiteral("elsewhere/") + name);
    Write(path, bytes);
    add.Picker()->ImportButton()->click();
    EXPECT_TRUE(add.Picker()->Status()->text().contains(status))
        << add.Picker()->Status()->text().toStdString();
    EXPECT_EQ(add.Picker()->Status()->isVisible(), *status != '\0');
    EXPECT_EQ(add.LayoutField()->currentText(), layout);
  }
  EXPECT_NE(loader.Library().Find("Acme/Zoom"), nullptr);
}

TEST(LibraryWindow, ARigFileNamingADefinitionAloneIsResolvedFromTheLibrary) {
  Files files;
  LibraryLoader loader(files.Folders());
  RigModel model;
  QMenu menu;
  RigMenu items(model, &menu, nullptr, &loader);
  QStringList warnings;
  items.SetMessageFunction([&](const QString& text) { warnings << text; });
  const QString path = files.dir.filePath("rig.json");
  for (const auto& [definition, mode, opened] :
       {std::tuple("Acme/Par RGB", "Dim", false), std::tuple("Bright/Wash", "3ch", true)}) {
    Write(path, QByteArray(R"({"chromasetRig": 1, "fixtures": [{"name": "Wash", "universe": "0:0:0",
          "address": 1, "definition": ")") +
                    definition + R"(", "mode": ")" + mode + "\"}]}");
    EXPECT_EQ(items.Open(path), opened) << mode;
  }
  ASSERT_EQ(warnings.size(), 1);
  EXPECT_TRUE(warnings[0].contains(
      "fixture 1 (\"Wash\"): mode: \"Dim\" of \"Acme/Par RGB\" cannot be coloured"))
      << warnings[0].toStdString();
  EXPECT_TRUE(loader.IsLoaded());  // opening needed it: waited for
  EXPECT_EQ(model.Current().At(0).layout.Count(), 3);
  EXPECT_EQ(model.Current().At(0).model, "Wash");
}

}  // namespace chromaset::test
