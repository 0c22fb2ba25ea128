#include "fixture_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "fixture_list.h"
#include "library_picker.h"
#include "rig_model.h"

namespace chromaset {

namespace {

constexpr int kLastPortAddress = 0x7FFF;

QSpinBox* MakeSpin(const QString& name, int low, int high, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setRange(low, high);
  field->setObjectName(name);
  return field;
}

QString Title(FixtureDialog::Kind kind) {
  switch (kind) {
    case FixtureDialog::Kind::kAdd:
      return FixtureDialog::tr("Add fixture");
    case FixtureDialog::Kind::kAddSeveral:
      return FixtureDialog::tr("Add several fixtures");
    case FixtureDialog::Kind::kEdit:
      break;
  }
  return FixtureDialog::tr("Edit fixture");
}

}  // namespace

Fixture FixtureDialog::Proposal(const Rig& rig) {
  Fixture fixture = DefaultFixture();
  if (rig.Count() == 0) return fixture;
  // Another of the last fixture's kind, right after it.
  const Fixture& last = rig.At(rig.Count() - 1);
  fixture.layout = last.layout;
  fixture.manufacturer = last.manufacturer;
  fixture.model = last.model;
  fixture.mode = last.mode;
  fixture.patch = last.patch;
  fixture.patch.start = rig.NextFreeAddress(fixture.layout.Count());
  if (fixture.patch.start == 0) {
    const int port = std::min(PortAddress(last.patch) + 1, kLastPortAddress);
    fixture.patch = DmxPatch{port >> 8, (port >> 4) & 0xF, port & 0xF, 1};
  }
  std::set<std::string> taken;
  for (const Fixture& f : rig.Fixtures()) taken.insert(f.name);
  for (int n = rig.Count() + 1;; ++n) {
    fixture.name = "Fixture " + std::to_string(n);
    if (taken.count(fixture.name) == 0) break;
  }
  return fixture;
}

FixtureDialog::FixtureDialog(Kind kind, RigModel& model, int index, QWidget* parent,
                             LibraryLoader* library)
    : QDialog(parent), m_kind(kind), m_model(model), m_index(index) {
  setObjectName(QStringLiteral("m_fixtureDialog"));
  setWindowTitle(Title(kind));
  const Rig& rig = model.Current();
  if (kind == Kind::kEdit) {
    m_original = index >= 0 && index < rig.Count() ? rig.At(index) : DefaultFixture();
  } else {
    m_original = Proposal(rig);
    m_original.colour = {};
    if (kind == Kind::kAddSeveral) m_original.name = tr("Fixture").toStdString();
  }

  // The library's modes (when there is a library), then the fields; below, reason and buttons.
  auto* outer = new QVBoxLayout(this);
  auto* columns = new QHBoxLayout;
  outer->addLayout(columns);
  if (library != nullptr) {
    m_picker = new LibraryPicker(*library, this);
    columns->addWidget(m_picker, 1);
  }
  auto* form = new QFormLayout;
  columns->addLayout(form);
  const auto row = [&](const QString& label, QWidget* field) {
    field->setAccessibleName(label);
    form->addRow(label, field);
  };
  m_name = new QLineEdit(this);
  m_name->setObjectName(QStringLiteral("Name"));
  row(tr("Name"), m_name);
  m_net = MakeSpin(tr("Net"), 0, kMaxNet, this);
  row(tr("Net"), m_net);
  m_subNet = MakeSpin(tr("Sub-Net"), 0, kMaxSubNet, this);
  row(tr("Sub-Net"), m_subNet);
  m_universe = MakeSpin(tr("Universe"), 0, kMaxUniverse, this);
  row(tr("Universe"), m_universe);
  m_start = MakeSpin(tr("Start address"), 1, static_cast<int>(kDmxChannels), this);
  row(tr("Start address"), m_start);
  m_layout = new QComboBox(this);
  m_layout->setObjectName(QStringLiteral("Layout"));
  m_layout->setEditable(true);
  m_layout->setInsertPolicy(QComboBox::NoInsert);
  for (std::string_view common : kCommonLayouts)
    m_layout->addItem(QString::fromLatin1(common.data(), static_cast<qsizetype>(common.size())));
  m_layout->setToolTip(
      tr("One letter per channel: R G B W colour, D dimmer at full, A amber, U UV, - unused; "
         "a lower-case letter after its channel is its fine byte"));
  // Room for a mode's name, such as "8-Channel Mode (No Dot)".
  if (m_picker != nullptr) m_layout->setMinimumContentsLength(20);
  row(tr("Layout"), m_layout);
  if (kind == Kind::kAddSeveral) {
    m_count = MakeSpin(tr("Count"), 1, kMaxFixtures, this);
    m_count->setValue(4);
    row(tr("Count"), m_count);
  }
  // The reason for a refusal; its text is what assistive technology reads.
  m_problem = new QLabel(this);
  m_problem->setObjectName(QStringLiteral("m_fixtureProblem"));
  m_problem->setWordWrap(true);
  m_problem->hide();
  outer->addWidget(m_problem);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  outer->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Apply()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  Show(m_original);
  if (m_picker == nullptr) return;
  connect(m_picker, &LibraryPicker::Chosen, this, &FixtureDialog::TakeMode);
  // A typed layout is no longer the library's mode.
  connect(m_layout, &QComboBox::editTextChanged, this, [this](const QString& text) {
    if (text != m_originalLayout) m_picker->ClearChoice();
  });
  if (!m_original.mode.empty()) {
    m_picker->ShowChoice(QString::fromStdString(m_original.manufacturer + '/' + m_original.model),
                         QString::fromStdString(m_original.mode));
  }
}

void FixtureDialog::TakeMode(const LibraryEntry& entry, const LibraryMode& mode) {
  m_original.layout = mode.layout;
  m_original.manufacturer = entry.manufacturer.toStdString();
  m_original.model = entry.model.toStdString();
  m_original.mode = mode.name.toStdString();
  // Read() keeps this layout while the field shows the mode's name.
  m_originalLayout = LayoutText(m_original);
  m_layout->setCurrentText(m_originalLayout);
  m_problem->hide();
}

void FixtureDialog::Show(const Fixture& fixture) {
  m_name->setText(QString::fromStdString(fixture.name));
  m_net->setValue(fixture.patch.net);
  m_subNet->setValue(fixture.patch.subNet);
  m_universe->setValue(fixture.patch.universe);
  m_start->setValue(fixture.patch.start);
  m_originalLayout = LayoutText(fixture);
  m_layout->setCurrentText(m_originalLayout);
}

bool FixtureDialog::Read(Fixture& fixture, std::string& reason) const {
  fixture = m_original;
  fixture.name = m_name->text().trimmed().toStdString();
  fixture.patch =
      DmxPatch{m_net->value(), m_subNet->value(), m_universe->value(), m_start->value()};
  const QString text = m_layout->currentText().trimmed();
  if (text == m_originalLayout && fixture.layout.Count() > 0) return true;
  ChannelLayout layout;
  if (!ParseLayout(text.toStdString(), layout, reason)) return false;
  fixture.layout = std::move(layout);
  // A typed layout no longer comes from a definition.
  fixture.manufacturer.clear();
  fixture.model.clear();
  fixture.mode.clear();
  return true;
}

bool FixtureDialog::Apply() {
  Fixture fixture;
  std::string reason;
  bool applied = Read(fixture, reason);
  if (applied) {
    switch (m_kind) {
      case Kind::kAdd:
        applied = m_model.Add(fixture, reason);
        break;
      case Kind::kAddSeveral:
        applied = m_model.AddSeveral(fixture, m_count->value(), reason);
        break;
      case Kind::kEdit:
        applied = m_model.Replace(m_index, fixture, reason);
        break;
    }
  }
  if (!applied) {
    Refuse(reason);
    return false;
  }
  m_problem->hide();
  return true;
}

void FixtureDialog::Refuse(const std::string& reason) {
  QString text = QString::fromStdString(reason);
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  m_problem->setText(text);
  m_problem->show();
}

}  // namespace chromaset
