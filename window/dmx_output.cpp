#include "dmx_output.h"

#include <algorithm>
#include <utility>

namespace chromaset {

namespace {
OutputPacer::Time Now() { return std::chrono::steady_clock::now(); }
}  // namespace

QString PatchSummary(const DmxPatch& patch) {
  return QStringLiteral("Universe %1:%2:%3 \u00b7 DMX %4\u2013%5")
      .arg(patch.net)
      .arg(patch.subNet)
      .arg(patch.universe)
      .arg(patch.start)
      .arg(patch.start + kFixtureChannels - 1);
}

DmxOutput::DmxOutput(ArtDmxSender& sender, TargetsFn targets, QObject* parent)
    : QObject(parent), m_sender(sender), m_targets(std::move(targets)) {
  m_timer.setSingleShot(true);
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &DmxOutput::SendDue);
  Reset();
}

void DmxOutput::Reset() {
  m_values = {};
  WriteFixtureFrame(m_frame, m_patch, m_values);
}

void DmxOutput::SetColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  m_values[0] = red;
  m_values[1] = green;
  m_values[2] = blue;
  std::copy_n(m_values.begin(), 3, m_frame.Data + (m_patch.start - 1));
}

void DmxOutput::SetWhite(std::uint8_t white) {
  m_values[3] = white;
  m_frame.Data[m_patch.start - 1 + 3] = white;
}

void DmxOutput::Transmit(const Ipv4Bytes& destination, OutputPacer::Time now) {
  m_sender.SendArtDmx(&m_frame, destination);
  m_pacer.Sent(destination, m_frame, now);
}

void DmxOutput::Send() {
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  for (int i = 0; i < count; ++i) {
    const auto& to = destinations[static_cast<std::size_t>(i)];
    if (m_pacer.Offer(to, m_frame, now) == OutputPacer::Action::kSendNow) Transmit(to, now);
  }
  Reschedule();
}

void DmxOutput::SendDue() {
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  for (int i = 0; i < count; ++i) {
    const auto& to = destinations[static_cast<std::size_t>(i)];
    if (m_pacer.Due(to, now)) Transmit(to, now);
  }
  Reschedule();
}

void DmxOutput::Reschedule() {
  if (!m_pacer.KeepAlive() && !m_pacer.RateLimit()) {
    m_timer.stop();  // no timer ever sends while both are off
    return;
  }
  std::array<Ipv4Bytes, kMaxUnicastTargets> destinations{};
  const int count = Destinations(m_targets(), m_broadcast, destinations);
  const auto now = Now();
  const auto wake = m_pacer.NextWake(destinations.data(), count, now);
  if (!wake) {
    m_timer.stop();
    return;
  }
  // Rounded up to whole milliseconds: a timer that fires early only reschedules.
  const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*wake - now);
  m_timer.start(static_cast<int>(std::max<std::int64_t>(wait.count(), 0)));
}

void DmxOutput::SetPatch(const DmxPatch& patch) {
  if (!IsValidPatch(patch) || patch == m_patch) return;
  m_patch = patch;
  WriteFixtureFrame(m_frame, m_patch, m_values);
  emit PatchChanged(m_patch);
  Send();
}

void DmxOutput::SetKeepAlive(bool on) {
  if (on == m_pacer.KeepAlive()) return;
  m_pacer.SetKeepAlive(on);
  Reschedule();
  emit KeepAliveChanged(on);
}

void DmxOutput::SetRateLimit(bool on) {
  if (on == m_pacer.RateLimit()) return;
  m_pacer.SetRateLimit(on);
  Reschedule();
  emit RateLimitChanged(on);
}

}  // namespace chromaset
