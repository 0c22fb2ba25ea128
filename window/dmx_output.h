// The window's output: the frame of every universe the rig uses, and where and when each goes
// (the targets chosen in the Devices menu, or each universe to the nodes that output it;
// keep-alive and the rate limit, per universe and destination; an ArtSync after each pass).
// Slider repaints, rig changes, new routes and the pacing timer all send through here and
// nowhere else.
#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

#include "artnet_link.h"
#include "dmx_patch.h"
#include "output_pacer.h"
#include "rig_model.h"
#include "route_table.h"

namespace chromaset {

class DmxOutput : public QObject {
  Q_OBJECT

 public:
  using TargetsFn = std::function<OutputTargets()>;

  DmxOutput(ArtDmxSender& sender, RigModel& rig, TargetsFn targets, QObject* parent = nullptr);

  // Every fixture black and the frames rebuilt; nothing is sent.
  void Reset();
  // Channel values as the sliders hold them: each channel that differs from the first selected
  // fixture's goes to every selected fixture. Sent by the next Send().
  // True when a fixture's colour changed.
  bool SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  bool SetWhite(std::uint8_t white);
  // The first selected fixture's colour, which the sliders show.
  const Rgbw& Values() const { return m_rig.SelectedColour(); }
  // Every universe holding a selected fixture to the current targets (a slider repaint).
  void Send();
  // Start sending: until then rig changes rebuild the frames but send nothing.
  void SetLive(bool live) { m_live = live; }

  // The frame of the first selected fixture's universe.
  const DmxFrame& Frame() const;
  // The frame of universe portAddress; null when the rig does not use it.
  const DmxFrame* UniverseFrame(int portAddress) const;
  int UniverseCount() const { return static_cast<int>(m_universes.size()); }
  const Ipv4Bytes& BroadcastAddress() const { return m_broadcast; }
  RigModel& Model() const { return m_rig; }

  // Settings. Each setter emits its signal only when the value changes. The patch is the first
  // selected fixture's place; a new one sends its colour there at once. A patch the rig
  // refuses (out of range, overlapping, past channel 512) changes nothing and returns false
  // with the reason.
  const DmxPatch& Patch() const;
  bool SetPatch(const DmxPatch& patch, std::string* reason = nullptr);
  bool KeepAlive() const { return m_keepAlive; }
  void SetKeepAlive(bool on);
  bool RateLimit() const { return m_rateLimit; }
  void SetRateLimit(bool on);

  // Each universe to the nodes that output it (Routes()) instead of the menu's targets: once
  // per node, never broadcast; a universe without a destination is not sent. Turning it on or
  // off forgets the routes.
  bool Routing() const { return m_routing; }
  void SetRouting(bool on);
  // The routes to use from now on (a copy). While routing is on and live, each universe's
  // current frame goes at once to every destination the previous routes did not have (a node
  // that appears gets its universes without waiting for a change or keep-alive).
  void UseRoutes(const RouteTable& routes);
  const RouteTable& Routes() const { return m_routes; }
  // The Port-Addresses the rig uses, ascending.
  std::vector<int> Universes() const;
  // One ArtSync to the broadcast address after the last ArtDmx of every pass that sent any.
  bool Sync() const { return m_sync; }
  void SetSync(bool on);

 signals:
  void KeepAliveChanged(bool on);
  void RateLimitChanged(bool on);
  void RoutingChanged(bool on);
  void SyncChanged(bool on);
  void UniversesChanged();
  void RoutesChanged();

 private:
  struct Universe {
    int portAddress = 0;
    bool selected = false;  // holds a selected fixture
    DmxFrame frame;
    OutputPacer pacer;
  };

  void RebuildUniverses(bool sendAll);
  void MarkSelected();
  void WriteSelectedColours();
  void SendUniverse(Universe& universe, const Ipv4Bytes* destinations, int count,
                    OutputPacer::Time now);
  void SendDue();  // the timer: held frames and keep-alive
  void Reschedule();
  void Transmit(Universe& universe, const Ipv4Bytes& destination, OutputPacer::Time now);
  // Routed: the universe's frame to each of its routed nodes, paced as one destination.
  void TransmitRouted(Universe& universe, OutputPacer::Time now);
  void EndPass();  // the ArtSync after a pass that sent frames

  ArtDmxSender& m_sender;
  RigModel& m_rig;
  TargetsFn m_targets;
  std::vector<Universe> m_universes;   // ascending Port-Address
  std::vector<int> m_fixtureUniverse;  // fixture index -> index in m_universes
  Ipv4Bytes m_broadcast{255, 255, 255, 255};
  bool m_keepAlive = false;
  bool m_rateLimit = false;
  bool m_live = false;
  bool m_routing = false;
  bool m_sync = false;
  int m_passFrames = 0;  // ArtDmx sent in the pass under way
  RouteTable m_routes;
  QTimer m_timer;
};

// "Universe 0:0:0 · DMX 1–4": the place of a fixture of channels channels at a glance.
QString PatchSummary(const DmxPatch& patch, int channels = kFixtureChannels);
// What the status line shows of rig: one fixture's place, else "12 fixtures · 2 universes".
QString RigSummary(const Rig& rig);

}  // namespace chromaset
