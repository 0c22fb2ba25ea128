#include "fixture_list.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelection>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

#include "rig_model.h"

namespace chromaset {

namespace {

constexpr int kListWidth = 360;
constexpr int kSwatchWidth = 28;

QString ColourText(const Rgbw& c) {
  return QStringLiteral("colour %1 %2 %3 %4").arg(c[0]).arg(c[1]).arg(c[2]).arg(c[3]);
}

}  // namespace

QString PortAddressText(const DmxPatch& patch) {
  return QStringLiteral("%1:%2:%3").arg(patch.net).arg(patch.subNet).arg(patch.universe);
}

QString DmxRangeText(const Fixture& fixture) {
  return QStringLiteral("%1\u2013%2").arg(fixture.patch.start).arg(fixture.LastChannel());
}

QString LayoutText(const Fixture& fixture) {
  return QString::fromStdString(fixture.layout.text.empty() ? fixture.mode : fixture.layout.text);
}

QColor SwatchColour(const Rgbw& colour) {
  const auto lit = [&](std::size_t c) { return std::min(255, colour[c] + colour[3]); };
  return QColor(lit(0), lit(1), lit(2));
}

QString FixtureSummary(const Fixture& fixture) {
  return QStringLiteral("%1, %2 DMX %3, %4, %5")
      .arg(QString::fromStdString(fixture.name), PortAddressText(fixture.patch),
           DmxRangeText(fixture), LayoutText(fixture), ColourText(fixture.colour));
}

// The rows read the rig where it is: a colour change repaints them without copying anything.
class FixtureList::Rows : public QAbstractTableModel {
 public:
  Rows(const RigModel& model, QObject* parent) : QAbstractTableModel(parent), m_model(model) {}

  int rowCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : m_model.Current().Count();
  }
  int columnCount(const QModelIndex& parent) const override {
    return parent.isValid() ? 0 : kColumns;
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kTitles[kColumns] = {QT_TR_NOOP("Name"), QT_TR_NOOP("Port-Address"),
                                                  QT_TR_NOOP("DMX"), QT_TR_NOOP("Layout"),
                                                  QT_TR_NOOP("Colour")};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
      return {};
    return FixtureList::tr(kTitles[section]);
  }
  QVariant data(const QModelIndex& index, int role) const override {
    const Rig& rig = m_model.Current();
    if (!index.isValid() || index.row() >= rig.Count()) return {};
    const Fixture& f = rig.At(index.row());
    const int column = index.column();
    switch (role) {
      case Qt::DisplayRole:
        if (column == kName) return QString::fromStdString(f.name);
        if (column == kPlace) return PortAddressText(f.patch);
        if (column == kRange) return DmxRangeText(f);
        if (column == kLayout) return LayoutText(f);
        return {};
      case Qt::DecorationRole:
        return column == kColour ? QVariant(SwatchColour(f.colour)) : QVariant();
      case Qt::ToolTipRole:
        return FixtureSummary(f);
      case Qt::AccessibleTextRole:
        // The name cell speaks for the whole row; the others add what their text lacks.
        if (column == kName) return FixtureSummary(f);
        if (column == kRange) return QStringLiteral("DMX ") + DmxRangeText(f);
        if (column == kColour) return ColourText(f.colour);
        return {};
      default:
        return {};
    }
  }

  // After the rig changed: the model emits after the change, and no view runs in between.
  void Reset() {
    beginResetModel();
    endResetModel();
  }
  // Rows first to last show new colours (their summaries name the colour too).
  void Recoloured(int first, int last) {
    emit dataChanged(index(first, kName), index(last, kColour),
                     {Qt::DecorationRole, Qt::ToolTipRole, Qt::AccessibleTextRole});
  }

 private:
  const RigModel& m_model;
};

FixtureList::FixtureList(RigModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
  setObjectName(QStringLiteral("m_fixtureList"));
  m_rows = new Rows(m_model, this);
  m_view = new QTreeView(this);
  m_view->setObjectName(QStringLiteral("m_fixtureView"));
  m_view->setAccessibleName(tr("Fixtures"));
  m_view->setModel(m_rows);
  m_view->setRootIsDecorated(false);
  m_view->setUniformRowHeights(true);  // keeps 512 rows cheap to lay out
  m_view->setAllColumnsShowFocus(true);
  m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);

  // Fixed columns sized for their widest text; the name takes what is left of the 300 px.
  QHeaderView* header = m_view->header();
  header->setStretchLastSection(false);
  header->setSectionResizeMode(kName, QHeaderView::Stretch);
  const QFontMetrics metrics(m_view->font());
  const QFontMetrics titles(header->font());
  // Wide enough for the column's title too, so no title is cut short.
  const auto fit = [&](Column column, int width) {
    const QString title = m_view->model()->headerData(column, Qt::Horizontal).toString();
    header->setSectionResizeMode(column, QHeaderView::Fixed);
    header->resizeSection(column, std::max(width, titles.horizontalAdvance(title) + 16));
  };
  fit(kPlace, metrics.horizontalAdvance(QStringLiteral("127:15:15")) + 12);
  fit(kRange, metrics.horizontalAdvance(QStringLiteral("509\u2013512")) + 12);
  fit(kLayout, metrics.horizontalAdvance(QStringLiteral("RGBWAU")) + 12);
  fit(kColour, kSwatchWidth);

  m_all = new QPushButton(tr("All fixtures"), this);
  m_all->setObjectName(QStringLiteral("m_allFixtures"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_view);
  layout->addWidget(m_all);
  setFixedWidth(kListWidth);

  connect(m_all, &QPushButton::clicked, &m_model, &RigModel::SelectAll);
  connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &FixtureList::TakeSelection);
  connect(m_view, &QTreeView::doubleClicked, this,
          [this](const QModelIndex& index) { emit EditRequested(index.row()); });
  connect(&m_model, &RigModel::Changed, this, &FixtureList::Rebuild);
  connect(&m_model, &RigModel::SelectionChanged, this, &FixtureList::ShowSelection);
  connect(&m_model, &RigModel::ColoursChanged, this, &FixtureList::ShowColours);
  Rebuild();
}

void FixtureList::Rebuild() {
  m_showing = true;  // the reset clears the view's selection: not the user's doing
  m_rows->Reset();
  m_showing = false;
  ShowSelection();
  // A single fixture needs no list; a list on its own (no parent) is shown by its owner.
  if (!isWindow()) setHidden(m_model.Current().Count() < 2);
}

void FixtureList::ShowColours() {
  // A list not on screen reads the rig afresh when it shows; telling its view now would only
  // slow every pick of a single fixture.
  if (!isVisible()) return;
  // One signal per run of neighbouring rows: a pick for all 512 fixtures is a single one.
  const std::vector<int>& selected = m_model.Selection();
  for (std::size_t i = 0; i < selected.size();) {
    std::size_t j = i;
    while (j + 1 < selected.size() && selected[j + 1] == selected[j] + 1) ++j;
    m_rows->Recoloured(selected[i], selected[j]);
    i = j + 1;
  }
}

void FixtureList::ShowSelection() {
  if (m_showing) return;
  const std::vector<int>& wanted = m_model.Selection();
  QItemSelectionModel* selection = m_view->selectionModel();
  std::vector<int> shown;
  for (const QModelIndex& index : selection->selectedRows()) shown.push_back(index.row());
  std::sort(shown.begin(), shown.end());
  if (shown == wanted) return;

  QItemSelection rows;
  for (std::size_t i = 0; i < wanted.size();) {
    std::size_t j = i;
    while (j + 1 < wanted.size() && wanted[j + 1] == wanted[j] + 1) ++j;
    rows.select(m_rows->index(wanted[i], 0), m_rows->index(wanted[j], kColumns - 1));
    i = j + 1;
  }
  m_showing = true;
  selection->select(rows, QItemSelectionModel::ClearAndSelect);
  const QModelIndex first = m_rows->index(wanted.front(), 0);
  selection->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
  m_view->scrollTo(first);
  m_showing = false;
}

void FixtureList::TakeSelection() {
  if (m_showing) return;
  std::vector<int> rows;
  for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
    rows.push_back(index.row());
  m_model.Select(rows);
  // The model keeps at least one fixture selected: a list emptied by Ctrl-click shows it again.
  ShowSelection();
}

}  // namespace chromaset
