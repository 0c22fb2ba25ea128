#include "output_pacer.h"

#include <algorithm>
#include <cstring>

namespace chromaset {

bool SameFrame(const DmxFrame& a, const DmxFrame& b) {
  return a.Net == b.Net && a.SubUni == b.SubUni && a.Length == b.Length &&
         a.Length <= kDmxChannels && std::memcmp(a.Data, b.Data, a.Length) == 0;
}

int Destinations(const OutputTargets& targets, const Ipv4Bytes& broadcast,
                 std::array<Ipv4Bytes, kMaxUnicastTargets>& out) {
  if (targets.broadcast) {
    out[0] = broadcast;
    return 1;
  }
  const int count = std::clamp(targets.count, 0, kMaxUnicastTargets);
  std::copy_n(targets.addresses.begin(), count, out.begin());
  return count;
}

const OutputPacer::Slot* OutputPacer::Find(const Ipv4Bytes& destination) const {
  for (const Slot& slot : m_slots) {
    if (slot.used && slot.address == destination) return &slot;
  }
  return nullptr;
}

OutputPacer::Slot& OutputPacer::FindOrMake(const Ipv4Bytes& destination) {
  if (const Slot* found = Find(destination)) return const_cast<Slot&>(*found);
  // A free slot, else the one that has been quiet longest (a target no longer chosen).
  Slot* pick = &m_slots[0];
  for (Slot& slot : m_slots) {
    if (!slot.used) {
      pick = &slot;
      break;
    }
    if (slot.lastSent < pick->lastSent) pick = &slot;  // unsent slots hold the epoch
  }
  *pick = Slot{};
  pick->used = true;
  pick->address = destination;
  return *pick;
}

OutputPacer::Action OutputPacer::Offer(const Ipv4Bytes& destination, const DmxFrame& frame,
                                       Time now) {
  if (!m_rateLimit) return Action::kSendNow;
  Slot& slot = FindOrMake(destination);
  if (!slot.sent || now - slot.lastSent >= kFramePeriod) return Action::kSendNow;
  // Within the period: a frame like the one that went out needs nothing (and cancels a held
  // one, whose values were undone); any other waits for the timer.
  slot.held = !SameFrame(frame, slot.lastFrame);
  return slot.held ? Action::kHold : Action::kNothing;
}

void OutputPacer::Sent(const Ipv4Bytes& destination, const DmxFrame& frame, Time now) {
  Slot& slot = FindOrMake(destination);
  slot.sent = true;
  slot.held = false;
  slot.lastSent = now;
  slot.lastFrame = frame;
}

bool OutputPacer::Due(const Ipv4Bytes& destination, Time now) const {
  const Slot* slot = Find(destination);
  if (slot == nullptr || !slot->sent) return m_keepAlive;  // nothing has gone there yet
  if (slot->held && now - slot->lastSent >= kFramePeriod) return true;
  return m_keepAlive && now - slot->lastSent >= kKeepAliveIdle;
}

std::optional<OutputPacer::Time> OutputPacer::NextWake(const Ipv4Bytes* destinations, int count,
                                                       Time now) const {
  std::optional<Time> wake;
  if (m_keepAlive) wake = now + kKeepAliveIdle;
  for (int i = 0; i < count; ++i) {
    const Slot* slot = Find(destinations[i]);
    std::optional<Time> at;
    if (slot == nullptr || !slot->sent) {
      if (m_keepAlive) at = now;
    } else if (slot->held) {
      at = slot->lastSent + kFramePeriod;
    } else if (m_keepAlive) {
      at = slot->lastSent + kKeepAliveIdle;
    }
    if (at && (!wake || *at < *wake)) wake = at;
  }
  return wake;
}

}  // namespace chromaset
