#include "library_picker.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "library_loader.h"

namespace chromaset {

namespace {

// An index's internal id: its level in the top bits, then its maker row (a model's) or its
// place in the search result (a mode's), so parent() needs no nodes.
constexpr quintptr kLevelShift = 28;
constexpr quintptr kModelLevel = quintptr{1} << kLevelShift;
constexpr quintptr kModeLevel = quintptr{2} << kLevelShift;
constexpr quintptr kPlaceMask = kModelLevel - 1;

// The tree expands by itself when the search leaves this few makers or models.
constexpr int kExpandMakers = 8;
constexpr int kExpandModels = 6;

}  // namespace

// Manufacturer -> model -> mode over one search result of the library. A keystroke resets it
// with a new result; the view asks only for the rows it shows, so 1358 definitions stay quick.
class LibraryPicker::Rows : public QAbstractItemModel {
 public:
  using QAbstractItemModel::QAbstractItemModel;

  void Show(const FixtureLibrary* library, std::vector<int> found) {
    beginResetModel();
    m_library = library;
    m_found = std::move(found);
    m_makers.clear();
    m_makerOf.clear();
    for (std::size_t place = 0; place < m_found.size(); ++place) {
      if (place == 0 || Entry(place).manufacturer != Entry(place - 1).manufacturer)
        m_makers.push_back({place, 0});
      ++m_makers.back().count;
      m_makerOf.push_back(m_makers.size() - 1);
    }
    endResetModel();
  }
  int Makers() const { return static_cast<int>(m_makers.size()); }
  int Found() const { return static_cast<int>(m_found.size()); }

  // The entry (index into the library) and mode of a mode's row; false for other rows.
  bool ModeAt(const QModelIndex& index, int& entry, int& mode) const {
    if (!index.isValid() || (index.internalId() & ~kPlaceMask) != kModeLevel) return false;
    entry = m_found[index.internalId() & kPlaceMask];
    mode = index.row();
    return true;
  }
  QModelIndex ModelRow(int entry) const {
    const auto at = std::find(m_found.begin(), m_found.end(), entry);
    if (at == m_found.end()) return {};
    const auto place = static_cast<std::size_t>(at - m_found.begin());
    const std::size_t maker = m_makerOf[place];
    return createIndex(static_cast<int>(place - m_makers[maker].first), 0, kModelLevel | maker);
  }

  QModelIndex index(int row, int column, const QModelIndex& parent) const override {
    if (row < 0 || column < 0 || column > 1 || row >= rowCount(parent)) return {};
    if (!parent.isValid()) return createIndex(row, column, quintptr{0});
    if (parent.internalId() == 0) return createIndex(row, column, kModelLevel | parent.row());
    return createIndex(row, column, kModeLevel | Place(parent));
  }
  QModelIndex parent(const QModelIndex& child) const override {
    const quintptr id = child.isValid() ? child.internalId() : 0;
    if (id == 0) return {};
    if ((id & ~kPlaceMask) == kModelLevel)
      return createIndex(static_cast<int>(id & kPlaceMask), 0, quintptr{0});
    return ModelRow(m_found[id & kPlaceMask]);
  }
  int rowCount(const QModelIndex& parent) const override {
    if (!parent.isValid()) return Makers();
    if (parent.column() != 0) return 0;
    if (parent.internalId() == 0)
      return static_cast<int>(m_makers[static_cast<std::size_t>(parent.row())].count);
    if ((parent.internalId() & ~kPlaceMask) == kModelLevel)
      return static_cast<int>(Entry(Place(parent)).modes.size());
    return 0;
  }
  int columnCount(const QModelIndex&) const override { return 2; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (!index.isValid()) return {};
    const quintptr id = index.internalId();
    if (id == 0) {
      const auto& maker = m_makers[static_cast<std::size_t>(index.row())];
      return role == Qt::DisplayRole && index.column() == 0 ? Entry(maker.first).manufacturer
                                                            : QVariant();
    }
    if ((id & ~kPlaceMask) == kModelLevel)
      return role == Qt::DisplayRole && index.column() == 0 ? Entry(Place(index)).model
                                                            : QVariant();
    const LibraryMode& mode = Entry(id & kPlaceMask).modes[static_cast<std::size_t>(index.row())];
    switch (role) {
      case Qt::DisplayRole:
        return index.column() == 0 ? mode.name : QString::number(mode.channelNames.size());
      case Qt::ToolTipRole:
      case Qt::AccessibleDescriptionRole:
        return mode.Colourable() ? QVariant() : mode.refusal;
      default:
        return {};
    }
  }
  Qt::ItemFlags flags(const QModelIndex& index) const override {
    int entry = 0, mode = 0;
    // Greyed: a mode Chromaset cannot colour is listed, but cannot be chosen.
    if (ModeAt(index, entry, mode) && !m_library->Entries()[static_cast<std::size_t>(entry)]
                                           .modes[static_cast<std::size_t>(mode)]
                                           .Colourable())
      return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? LibraryPicker::tr("Fixture") : LibraryPicker::tr("Channels");
  }

 private:
  struct Maker {
    std::size_t first, count;  // places in m_found
  };
  const LibraryEntry& Entry(std::size_t place) const {
    return m_library->Entries()[static_cast<std::size_t>(m_found[place])];
  }
  // The place in m_found of a model's row.
  std::size_t Place(const QModelIndex& model) const {
    return m_makers[model.internalId() & kPlaceMask].first + static_cast<std::size_t>(model.row());
  }

  const FixtureLibrary* m_library = nullptr;
  std::vector<int> m_found;
  std::vector<Maker> m_makers;
  std::vector<std::size_t> m_makerOf;  // by place
};

LibraryPicker::LibraryPicker(LibraryLoader& loader, QWidget* parent)
    : QWidget(parent), m_loader(loader), m_rows(new Rows(this)) {
  setObjectName(QStringLiteral("m_libraryPicker"));
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  m_search = new QLineEdit(this);
  m_search->setPlaceholderText(tr("Search fixtures"));
  m_search->setAccessibleName(tr("Search fixtures"));
  m_search->setClearButtonEnabled(true);
  top->addWidget(m_search, 1);
  m_import = new QPushButton(tr("Import definition\u2026"), this);
  top->addWidget(m_import);
  column->addLayout(top);
  m_status = new QLabel(this);
  m_status->setObjectName(QStringLiteral("m_libraryStatus"));
  m_status->setWordWrap(true);
  column->addWidget(m_status);
  m_tree = new QTreeView(this);
  m_tree->setAccessibleName(tr("Fixture library"));
  m_tree->setModel(m_rows);
  m_tree->setUniformRowHeights(true);
  m_tree->header()->setStretchLastSection(false);
  m_tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_tree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  column->addWidget(m_tree, 3);
  m_channelsTitle = new QLabel(tr("Channels of the chosen mode"), this);
  column->addWidget(m_channelsTitle);
  m_channels = new QListWidget(this);
  m_channels->setAccessibleName(tr("Channels of the chosen mode"));
  m_channels->setSelectionMode(QAbstractItemView::NoSelection);
  column->addWidget(m_channels, 2);
  setMinimumSize(380, 420);

  connect(m_search, &QLineEdit::textChanged, this, &LibraryPicker::Filter);
  m_search->installEventFilter(this);
  connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &LibraryPicker::OnSelected);
  connect(m_import, &QPushButton::clicked, this, &LibraryPicker::OnImport);
  connect(&m_loader, &LibraryLoader::Loaded, this, &LibraryPicker::OnLoaded);
  if (m_loader.IsLoaded()) {
    OnLoaded();
  } else {
    ShowStatus(tr("Reading the fixture library\u2026"));
    m_loader.Start();
  }
}

LibraryPicker::~LibraryPicker() = default;

bool LibraryPicker::eventFilter(QObject* watched, QEvent* event) {
  // Enter after a search goes on to the list; in a dialog it would otherwise press OK.
  if (watched == m_search && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      m_tree->setFocus(Qt::TabFocusReason);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LibraryPicker::OnLoaded() {
  ShowStatus(m_loader.Library().Entries().empty()
                 ? tr("No fixture library found: install qlcplus-data, or use Import "
                      "definition\u2026")
                 : QString());
  Filter();
  // Copies: ShowChoice clears the pending choice, which its arguments must not refer to.
  if (!m_pendingDefinition.isEmpty())
    ShowChoice(QString(m_pendingDefinition), QString(m_pendingMode));
}

void LibraryPicker::ShowChoice(const QString& definition, const QString& mode) {
  m_pendingDefinition = definition;
  m_pendingMode = mode;
  if (!m_loader.IsLoaded()) return;
  m_pendingDefinition.clear();
  const FixtureLibrary& library = m_loader.Library();
  const LibraryEntry* entry = library.Find(definition);
  if (entry == nullptr) return;
  for (std::size_t m = 0; m < entry->modes.size(); ++m) {
    if (entry->modes[m].name != mode) continue;
    m_quiet = true;
    Select(static_cast<int>(entry - library.Entries().data()), static_cast<int>(m));
    m_quiet = false;
    return;
  }
}

void LibraryPicker::ClearChoice() {
  m_pendingDefinition.clear();  // a layout typed before the library came
  m_tree->selectionModel()->clear();
}

void LibraryPicker::Filter() {
  if (!m_loader.IsLoaded()) return;
  m_rows->Show(&m_loader.Library(), m_loader.Library().Search(m_search->text()));
  if (m_rows->Found() <= kExpandModels) {
    m_tree->expandAll();
  } else if (m_rows->Makers() <= kExpandMakers) {
    m_tree->expandToDepth(0);
  }
}

void LibraryPicker::OnSelected() {
  m_channels->clear();
  m_channelsTitle->setText(tr("Channels of the chosen mode"));
  const QModelIndexList rows = m_tree->selectionModel()->selectedRows();
  int entryIndex = 0, modeIndex = 0;
  if (rows.isEmpty() || !m_rows->ModeAt(rows.front(), entryIndex, modeIndex)) return;
  const LibraryEntry& entry = m_loader.Library().Entries()[static_cast<std::size_t>(entryIndex)];
  const LibraryMode& mode = entry.modes[static_cast<std::size_t>(modeIndex)];
  m_channelsTitle->setText(tr("%1: what Chromaset sends on each channel").arg(mode.name));
  for (int c = 0; c < mode.channelNames.size(); ++c) {
    const QString role =
        c < mode.layout.Count()
            ? QString::fromStdString(RoleText(mode.layout.channels[static_cast<std::size_t>(c)]))
            : QString();
    m_channels->addItem(
        QStringLiteral("%1 %2 \u2014 %3").arg(c + 1).arg(mode.channelNames[c], role));
  }
  if (!m_quiet) emit Chosen(entry, mode);
}

void LibraryPicker::OnImport() {
  const QString path =
      m_askPath ? m_askPath()
                : QFileDialog::getOpenFileName(this, tr("Import definition"), QDir::homePath(),
                                               tr("Fixture definitions (*.qxf);;All files (*)"));
  if (path.isEmpty()) return;
  m_loader.Wait();  // the import joins the library being read
  QString error;
  FixtureLibrary& library = m_loader.Library();
  if (!library.Import(path, error)) {
    ShowStatus(error);
    return;
  }
  ShowStatus(QString());
  // The imported definition, shown with everything else; its first colourable mode is chosen.
  {
    const QSignalBlocker quiet(m_search);
    m_search->clear();
  }
  Filter();
  for (std::size_t e = 0; e < library.Entries().size(); ++e)
    if (library.Entries()[e].path == path) Select(static_cast<int>(e), -1);
}

void LibraryPicker::Select(int entry, int mode) {
  if (m_rows->Found() < static_cast<int>(m_loader.Library().Entries().size())) {
    const QSignalBlocker quiet(m_search);
    m_search->clear();
    Filter();
  }
  const QModelIndex model = m_rows->ModelRow(entry);
  if (!model.isValid()) return;
  const LibraryEntry& found = m_loader.Library().Entries()[static_cast<std::size_t>(entry)];
  for (std::size_t m = 0; mode < 0 && m < found.modes.size(); ++m)
    if (found.modes[m].Colourable()) mode = static_cast<int>(m);
  const QModelIndex row = mode >= 0 ? m_rows->index(mode, 0, model) : model;
  m_tree->expand(model);
  m_tree->scrollTo(row);
  m_tree->selectionModel()->setCurrentIndex(
      row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LibraryPicker::ShowStatus(const QString& text) {
  m_status->setText(text);
  m_status->setVisible(!text.isEmpty());
}

}  // namespace chromaset
