// The window's output: the DMX frame at its patch, the current R, G, B, W, and where and when
// the frame goes (the targets chosen in the Devices menu, keep-alive, rate limit). Slider
// repaints, a new patch and the pacing timer all send through here and nowhere else.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

#include "artnet_link.h"
#include "dmx_patch.h"
#include "output_pacer.h"

namespace chromaset {

class DmxOutput : public QObject {
  Q_OBJECT

 public:
  using TargetsFn = std::function<OutputTargets()>;

  DmxOutput(ArtDmxSender& sender, TargetsFn targets, QObject* parent = nullptr);

  // The all-zero frame at the current patch; nothing is sent.
  void Reset();
  // Channel values as the sliders hold them; sent by the next Send().
  void SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  void SetWhite(std::uint8_t white);
  const Rgbw& Values() const { return m_values; }
  // The current frame to the current targets (a slider repaint).
  void Send();

  const DmxFrame& Frame() const { return m_frame; }
  const Ipv4Bytes& BroadcastAddress() const { return m_broadcast; }

  // Settings. Each setter emits its signal only when the value changes; a new patch sends the
  // current colour to its place at once. An invalid patch is ignored.
  const DmxPatch& Patch() const { return m_patch; }
  void SetPatch(const DmxPatch& patch);
  bool KeepAlive() const { return m_pacer.KeepAlive(); }
  void SetKeepAlive(bool on);
  bool RateLimit() const { return m_pacer.RateLimit(); }
  void SetRateLimit(bool on);

 signals:
  void PatchChanged(const chromaset::DmxPatch& patch);
  void KeepAliveChanged(bool on);
  void RateLimitChanged(bool on);

 private:
  void SendDue();  // the timer: held frames and keep-alive
  void Reschedule();
  void Transmit(const Ipv4Bytes& destination, OutputPacer::Time now);

  ArtDmxSender& m_sender;
  TargetsFn m_targets;
  DmxFrame m_frame;
  DmxPatch m_patch;
  Rgbw m_values{};
  Ipv4Bytes m_broadcast{255, 255, 255, 255};
  OutputPacer m_pacer;
  QTimer m_timer;
};

// "Universe 0:0:0 · DMX 1–4": the patch at a glance.
QString PatchSummary(const DmxPatch& patch);

}  // namespace chromaset
