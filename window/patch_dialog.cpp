#include "patch_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

#include <algorithm>

namespace chromaset {

namespace {

QSpinBox* MakeField(const QString& name, int low, int high, int value, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setRange(low, high);
  field->setValue(value);
  field->setAccessibleName(name);
  field->setObjectName(name);
  return field;
}

}  // namespace

PatchDialog::PatchDialog(const DmxPatch& patch, QWidget* parent, int channels)
    : QDialog(parent), m_channelCount(std::clamp(channels, 1, static_cast<int>(kDmxChannels))) {
  setWindowTitle(tr("Patch"));
  const DmxPatch at = IsValidPatch(patch) ? patch : DmxPatch{};
  m_net = MakeField(tr("Net"), 0, kMaxNet, at.net, this);
  m_subNet = MakeField(tr("Sub-Net"), 0, kMaxSubNet, at.subNet, this);
  m_universe = MakeField(tr("Universe"), 0, kMaxUniverse, at.universe, this);
  const int lastStart = static_cast<int>(kDmxChannels) - m_channelCount + 1;
  m_start = MakeField(tr("Start address"), 1, lastStart, std::min(at.start, lastStart), this);
  m_portAddress = new QLabel(this);
  m_channels = new QLabel(this);

  auto* form = new QFormLayout(this);
  form->addRow(tr("Net"), m_net);
  form->addRow(tr("Sub-Net"), m_subNet);
  form->addRow(tr("Universe"), m_universe);
  form->addRow(tr("Start address"), m_start);
  form->addRow(tr("Port-Address"), m_portAddress);
  form->addRow(tr("Channels"), m_channels);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (QSpinBox* field : {m_net, m_subNet, m_universe, m_start}) {
    connect(field, &QSpinBox::valueChanged, this, &PatchDialog::UpdateSummary);
  }
  UpdateSummary();
}

DmxPatch PatchDialog::Patch() const {
  return DmxPatch{m_net->value(), m_subNet->value(), m_universe->value(), m_start->value()};
}

void PatchDialog::UpdateSummary() {
  const DmxPatch patch = Patch();
  const int port = PortAddress(patch);
  m_portAddress->setText(QStringLiteral("%1 (0x%2)").arg(port).arg(port, 4, 16, QLatin1Char('0')));
  m_channels->setText(
      m_channelCount != kFixtureChannels
          ? tr("DMX %1\u2013%2").arg(patch.start).arg(patch.start + m_channelCount - 1)
          : tr("Red %1, Green %2, Blue %3, White %4")
                .arg(patch.start)
                .arg(patch.start + 1)
                .arg(patch.start + 2)
                .arg(patch.start + 3));
  // A screen reader reads a label's name: it says what the label is and the value it shows.
  m_portAddress->setAccessibleName(tr("Port-Address: %1").arg(m_portAddress->text()));
  m_channels->setAccessibleName(tr("Channels: %1").arg(m_channels->text()));
}

}  // namespace chromaset
