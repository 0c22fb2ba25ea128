// When a frame may go to a destination: the optional rate limit (at most 44 frames/s per
// destination, identical frames not repeated, the newest values always sent last) and the
// optional keep-alive (the frame again after one second without output). Qt-free and
// clock-injected: the caller passes the time; nothing here reads a clock or sends.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "artnet_link.h"
#include "artnet_packets.h"

namespace chromaset {

inline constexpr int kMaxUnicastTargets = 8;
// One frame per 1/44 s, rounded up so the ceiling is never passed.
inline constexpr std::chrono::nanoseconds kFramePeriod{(1'000'000'000 + 43) / 44};
inline constexpr std::chrono::nanoseconds kKeepAliveIdle = std::chrono::seconds(1);

// Where one send goes: the broadcast address alone, or the ticked devices in menu order.
struct OutputTargets {
  bool broadcast = false;
  int count = 0;
  std::array<Ipv4Bytes, kMaxUnicastTargets> addresses{};
};

class OutputPacer {
 public:
  using Time = std::chrono::steady_clock::time_point;
  enum class Action { kNothing, kSendNow, kHold };

  void SetRateLimit(bool on) { m_rateLimit = on; }
  void SetKeepAlive(bool on) { m_keepAlive = on; }
  bool RateLimit() const { return m_rateLimit; }
  bool KeepAlive() const { return m_keepAlive; }

  // A new frame wants to go to destination at now (a repaint or a new patch): send it now,
  // hold it for the timer (rate limit), or nothing (identical to what went out within 1/44 s).
  Action Offer(const Ipv4Bytes& destination, const DmxFrame& frame, Time now);
  // frame went to destination at now.
  void Sent(const Ipv4Bytes& destination, const DmxFrame& frame, Time now);
  // Timer side: whether frame (the current one) is due at destination at now: a held frame
  // whose period is over, or keep-alive after a second without output.
  bool Due(const Ipv4Bytes& destination, Time now) const;
  // The earliest time anything can be due for these destinations; none when nothing will be
  // (no held frame, keep-alive off). Never later than now + 1 s while keep-alive is on, so
  // targets that change are looked at again.
  std::optional<Time> NextWake(const Ipv4Bytes* destinations, int count, Time now) const;

 private:
  // Broadcast or up to eight devices: nine destinations at most.
  static constexpr int kSlots = kMaxUnicastTargets + 1;
  struct Slot {
    bool used = false;
    bool sent = false;
    bool held = false;  // a frame newer than lastFrame is waiting for its period
    Ipv4Bytes address{};
    Time lastSent{};
    DmxFrame lastFrame;
  };
  const Slot* Find(const Ipv4Bytes& destination) const;
  Slot& FindOrMake(const Ipv4Bytes& destination);

  bool m_rateLimit = false;
  bool m_keepAlive = false;
  std::array<Slot, kSlots> m_slots{};
};

// The destinations of targets (broadcast: the one broadcast address); returns their count.
int Destinations(const OutputTargets& targets, const Ipv4Bytes& broadcast,
                 std::array<Ipv4Bytes, kMaxUnicastTargets>& out);

// Same bytes on the wire: universe, length and the channels sent.
bool SameFrame(const DmxFrame& a, const DmxFrame& b);

}  // namespace chromaset
