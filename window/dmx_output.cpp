#include "dmx_output.h"

#include <algorithm>
#include <utility>

namespace chromaset {

namespace {
OutputPacer::Time Now() { return std::chrono::steady_clock::now(); }
// Routed, a universe is paced as one destination standing for all its nodes: the pacer keeps
// its fixed slots however many nodes there are.
constexpr Ipv4Bytes kRoutedNodes{0, 0, 0, 0};
}  // namespace

QString PatchSummary(const DmxPatch& patch, int channels) {
  return QStringLiteral("Universe %1:%2:%3 \u00b7 DMX %4\u2013%5")
      .arg(patch.net)
      .arg(patch.subNet)
      .arg(patch.universe)
      .arg(patch.start)
      .arg(patch.start + channels - 1);
}

QString RigSummary(const Rig& rig) {
  if (rig.Count() == 1) return PatchSummary(rig.At(0).patch, rig.At(0).layout.Count());
  const auto universes = rig.Universes().size();
  return QStringLiteral("%1 fixtures \u00b7 %2 %3")
      .arg(rig.Count())
      .arg(universes)
      .arg(universes == 1 ? QStringLiteral("universe") : QStringLiteral("universes"));
}

DmxOutput::DmxOutput(ArtDmxSender& sender, RigModel& rig, TargetsFn targets, QObject* parent)
    : QObject(parent), m_sender(sender), m_rig(rig), m_targets(std::move(targets)) {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &DmxOutput::SendDue);
  connect(&m_rig, &RigModel::Changed, this, &DmxOutput::RebuildUniverses);
  connect(&m_rig, &RigModel::ColoursChanged, this, &DmxOutput::WriteSelectedColours);
  connect(&m_rig, &RigModel::SelectionChanged, this, &DmxOutput::MarkSelected);
  RebuildUniverses(false);
}

std::vector<int> DmxOutput::Universes() const {
  std::vector<int> ports;
  ports.reserve(m_universes.size());
  for (const Universe& universe : m_universes) ports.push_back(universe.portAddress);
  return ports;
}

void DmxOutput::Reset() {
  m_rig.ClearColours();
  for (Universe& universe : m_universes) {
    m_rig.Current().WriteFrame(universe.portAddress, universe.frame);
  }
}

const DmxPatch& DmxOutput::Patch() const {
  return m_rig.Current().At(m_rig.Selection().front()).patch;
}

const DmxFrame& DmxOutput::Frame() const {
  const int first = m_rig.Selection().front();
  return m_universes[static_cast<std::size_t>(m_fixtureUniverse[static_cast<std::size_t>(first)])]
      .frame;
}

const DmxFrame* DmxOutput::UniverseFrame(int portAddress) const {
  for (const Universe& universe : m_universes) {
    if (universe.portAddress == portAddress) return &universe.frame;
  }
  return nullptr;
}

void DmxOutput::RebuildUniverses(bool sendAll) {
  const Rig& rig = m_rig.Current();
  const std::vector<int> ports = rig.Universes();
  const bool newSet = ports != Universes();
  std::vector<Universe> next(ports.size());
  std::vector<bool> changed(ports.size(), true);
  for (std::size_t u = 0; u < ports.size(); ++u) {
    Universe& universe = next[u];
    universe.portAddress = ports[u];
    rig.WriteFrame(universe.portAddress, universe.frame);
    // A universe the rig kept keeps its pacing: the rate limit and keep-alive go on from there.
    for (Universe& old : m_universes) {
      if (old.portAddress != universe.portAddress) continue;
      changed[u] = !SameFrame(old.frame, universe.frame);
      universe.pacer = old.pacer;
    }
    universe.pacer.SetKeepAlive(m_keepAlive);
    universe.pacer.SetRateLimit(m_rateLimit);
  }
  m_universes = std::move(next);
  m_fixtureUniverse.assign(static_cast<std::size_t>(rig.Count()), 0);
  for (int i = 0; i < rig.Count(); ++i) {
    const int port = PortAddress(rig.At(i).patch);
    const auto at = std::lower_bound(ports.begin(), ports.end(), port);
    m_fixtureUniverse[static_cast<std::size_t>(i)] = static_cast<int>(at - ports.begin());
  }
  MarkSelected();
  if (m_live) {
    // A moved, added or removed fixture: the universes whose frames it changed get them now (a
    // universe the rig no longer uses is left alone). A rig file sends every stored colour.
    std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
    const int count = Destinations(m_targets(), m_broadcast, destinations);
    const auto now = Now();
    for (std::size_t u = 0; u < m_universes.size(); ++u) {
      if (sendAll || changed[u]) SendUniverse(m_universes[u], destinations.data(), count, now);
    }
    EndPass();
    Reschedule();
  }
  // Last: routes built for the new set may send at once.
  if (newSet) emit UniversesChanged();
}

void DmxOutput::MarkSelected() {
  for (Universe& universe : m_universes) universe.selected = false;
  for (int i : m_rig.Selection()) {
    m_universes[static_cast<std::size_t>(m_fixtureUniverse[static_cast<std::size_t>(i)])].selected =
        true;
  }
}

void DmxOutput::WriteSelectedColours() {
  for (int i : m_rig.Selection()) {
    const int u = m_fixtureUniverse[static_cast<std::size_t>(i)];
    m_rig.Current().WriteFixture(i, m_universes[static_cast<std::size_t>(u)].frame);
  }
}

bool DmxOutput::SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  const Rgbw& now = Values();
  const unsigned changed = (red != now[0] ? kSetRed : 0u) | (green != now[1] ? kSetGreen : 0u) |
                           (blue != now[2] ? kSetBlue : 0u);
  return changed != 0 && m_rig.SetSelectedColour(changed, Rgbw{red, green, blue, 0});
}

bool DmxOutput::SetWhite(std::uint8_t white) {
  return white != Values()[3] && m_rig.SetSelectedColour(kSetWhite, Rgbw{0, 0, 0, white});
}

void DmxOutput::Transmit(Universe& universe, const Ipv4Bytes& destination, OutputPacer::Time now) {
  m_sender.SendArtDmx(&universe.frame, destination);
  ++m_passFrames;
  universe.pacer.Sent(destination, universe.frame, now);
}

void DmxOutput::TransmitRouted(Universe& universe, OutputPacer::Time now) {
  for (const Ipv4Bytes& node : m_routes.For(universe.portAddress)) {
    m_sender.SendArtDmx(&universe.frame, node);
    ++m_passFrames;
  }
  universe.pacer.Sent(kRoutedNodes, universe.frame, now);
}

void DmxOutput::EndPass() {
  if (m_sync && m_passFrames > 0) m_sender.SendArtSync();
  m_passFrames = 0;
}

void DmxOutput::SendUniverse(Universe& universe, const Ipv4Bytes* destinations, int count,
                             OutputPacer::Time now) {
  if (m_routing) {
    if (!m_routes.For(universe.portAddress).empty() &&
        universe.pacer.Offer(kRoutedNodes, universe.frame, now) == OutputPacer::Action::kSendNow) {
      TransmitRouted(universe, now);
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    if (universe.pacer.Offer(destinations[i], universe.frame, now) ==
        OutputPacer::Action::kSendNow) {
      Transmit(universe, destinations[i], now);
    }
  }
}

void DmxOutput::Send() {
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  for (Universe& universe : m_universes) {
    if (universe.selected) SendUniverse(universe, destinations.data(), count, now);
  }
  EndPass();
  Reschedule();
}

void DmxOutput::SendDue() {
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  for (Universe& universe : m_universes) {
    if (m_routing) {
      if (!m_routes.For(universe.portAddress).empty() && universe.pacer.Due(kRoutedNodes, now)) {
        TransmitRouted(universe, now);
      }
      continue;
    }
    for (int i = 0; i < count; ++i) {
      const auto& to = destinations[static_cast<std::size_t>(i)];
      if (universe.pacer.Due(to, now)) Transmit(universe, to, now);
    }
  }
  EndPass();
  Reschedule();
}

void DmxOutput::Reschedule() {
  if (!m_keepAlive && !m_rateLimit) {
    m_timer.stop();  // no timer ever sends while both are off
    return;
  }
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  std::optional<OutputPacer::Time> wake;
  for (const Universe& universe : m_universes) {
    std::optional<OutputPacer::Time> at;
    if (!m_routing) {
      at = universe.pacer.NextWake(destinations.data(), count, now);
    } else if (!m_routes.For(universe.portAddress).empty()) {
      at = universe.pacer.NextWake(&kRoutedNodes, 1, now);
    }
    if (at && (!wake || *at < *wake)) wake = at;
  }
  if (!wake) {
    m_timer.stop();
    return;
  }
  // Rounded up to whole milliseconds: a timer that fires early only reschedules.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
  m_timer.start(static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
}

bool DmxOutput::SetPatch(const DmxPatch& patch, std::string* reason) {
  std::string why;
  if (patch == Patch()) return true;
  Fixture moved = m_rig.Current().At(m_rig.Selection().front());
  moved.patch = patch;
  const bool done = m_rig.Replace(m_rig.Selection().front(), moved, why);
  if (!done && reason != nullptr) *reason = why;
  return done;
}

void DmxOutput::SetKeepAlive(bool on) {
  if (on == m_keepAlive) return;
  m_keepAlive = on;
  for (Universe& universe : m_universes) universe.pacer.SetKeepAlive(on);
  Reschedule();
  emit KeepAliveChanged(on);
}

void DmxOutput::SetRateLimit(bool on) {
  if (on == m_rateLimit) return;
  m_rateLimit = on;
  for (Universe& universe : m_universes) universe.pacer.SetRateLimit(on);
  Reschedule();
  emit RateLimitChanged(on);
}

void DmxOutput::SetRouting(bool on) {
  if (on == m_routing) return;
  m_routing = on;
  m_routes = RouteTable{};
  // Off: the menu's destinations may have missed changes meanwhile; they get every frame now
  // (on, the routes do the same as they come).
  if (!on && m_live) {
    std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
    const int count = Destinations(m_targets(), m_broadcast, destinations);
    const auto now = Now();
    for (Universe& universe : m_universes) SendUniverse(universe, destinations.data(), count, now);
    EndPass();
  }
  Reschedule();
  emit RoutingChanged(on);
  emit RoutesChanged();
}

void DmxOutput::UseRoutes(const RouteTable& routes) {
  if (routes == m_routes) return;
  const RouteTable previous = std::exchange(m_routes, routes);
  if (m_routing && m_live) {
    const auto now = Now();
    for (Universe& universe : m_universes) {
      const auto before = previous.For(universe.portAddress);
      bool sent = false;
      for (const Ipv4Bytes& node : m_routes.For(universe.portAddress)) {
        if (std::find(before.begin(), before.end(), node) != before.end()) continue;
        m_sender.SendArtDmx(&universe.frame, node);
        ++m_passFrames;
        sent = true;
      }
      // A universe that went nowhere so far starts its pacing here; otherwise the nodes it
      // already had keep theirs (their keep-alive is not put off by a newcomer).
      if (sent && before.empty()) universe.pacer.Sent(kRoutedNodes, universe.frame, now);
    }
    EndPass();
    Reschedule();
  }
  emit RoutesChanged();
}

void DmxOutput::SetSync(bool on) {
  if (on == m_sync) return;
  m_sync = on;
  emit SyncChanged(on);
}

}  // namespace chromaset
