// "Output → Patch…": where the fixture sits, Net, Sub-Net, Universe and the start address of
// its four channels, with the resulting 15-bit Port-Address shown as the fields change.
#pragma once

#include <QDialog>

#include "dmx_patch.h"

class QLabel;
class QSpinBox;

namespace chromaset {

class PatchDialog : public QDialog {
  Q_OBJECT

 public:
  // A fixture of channels channels: its start leaves room for all of them.
  explicit PatchDialog(const DmxPatch& patch, QWidget* parent = nullptr,
                       int channels = kFixtureChannels);
  DmxPatch Patch() const;

  QSpinBox* NetField() const { return m_net; }
  QSpinBox* SubNetField() const { return m_subNet; }
  QSpinBox* UniverseField() const { return m_universe; }
  QSpinBox* StartField() const { return m_start; }
  QLabel* PortAddressLabel() const { return m_portAddress; }
  QLabel* ChannelsLabel() const { return m_channels; }

 private:
  void UpdateSummary();

  QSpinBox* m_net = nullptr;
  QSpinBox* m_subNet = nullptr;
  QSpinBox* m_universe = nullptr;
  QSpinBox* m_start = nullptr;
  QLabel* m_portAddress = nullptr;
  QLabel* m_channels = nullptr;
  int m_channelCount = kFixtureChannels;
};

}  // namespace chromaset
