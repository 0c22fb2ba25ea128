// The output pacing without sockets or timers: a driver offers frames at given times and wakes
// when the pacer asks, as the window's timer does, and records what would go on the wire.
#include <gtest/gtest.h>

#include <vector>

#include "output_pacer.h"

namespace chromaset {

using std::chrono::milliseconds;
using Time = OutputPacer::Time;
const Time kStart = Time{} + std::chrono::hours(1);
const std::vector<Ipv4Bytes> kNodes = {{2, 0, 0, 5}, {2, 0, 0, 6}};

struct Sent {
  Time at;
  std::uint8_t red;
};

// Offers Red = i at i ms for each change i (three times: three sliders paint), waking between
// changes and up to `until` whenever the pacer asks; returns what went to the first node.
std::vector<Sent> Drive(OutputPacer& pacer, int changes, milliseconds until) {
  std::vector<Sent> sent;
  DmxFrame frame;
  frame.Length = 512;
  const auto send = [&](std::size_t n, Time t) {
    if (n == 0) sent.push_back({t, frame.Data[0]});
    pacer.Sent(kNodes[n], frame, t);
  };
  Time now = kStart;
  const auto wakeUntil = [&](Time end) {
    for (auto wake = pacer.NextWake(kNodes.data(), 2, now); wake && *wake <= end;
         wake = pacer.NextWake(kNodes.data(), 2, now)) {
      now = std::max(now, *wake);
      for (std::size_t n = 0; n < kNodes.size(); ++n)
        if (pacer.Due(kNodes[n], now)) send(n, now);
    }
  };
  for (int i = 1; i <= changes; ++i) {
    if (i > 1) wakeUntil(kStart + milliseconds(i));
    now = kStart + milliseconds(i);
    frame.Data[0] = static_cast<std::uint8_t>(i);
    for (int paint = 0; paint < 3; ++paint) {
      for (std::size_t n = 0; n < kNodes.size(); ++n)
        if (pacer.Offer(kNodes[n], frame, now) == OutputPacer::Action::kSendNow) send(n, now);
    }
  }
  wakeUntil(kStart + until);
  return sent;
}

TEST(OutputPacer, RateLimitKeepsTheCeilingAndSendsTheNewestLast) {
  OutputPacer pacer;
  pacer.SetRateLimit(true);
  // A 200 ms drag to two nodes; each has its own ceiling.
  const auto mine = Drive(pacer, 200, milliseconds(1000));
  ASSERT_GE(mine.size(), 200u / 23);
  EXPECT_LE(mine.size(), 200u / 22 + 2);
  for (std::size_t i = 1; i < mine.size(); ++i) {
    EXPECT_GE(mine[i].at - mine[i - 1].at, kFramePeriod);
    EXPECT_NE(mine[i].red, mine[i - 1].red);  // identical frames are not repeated
  }
  // The last change goes out no later than one period after it.
  EXPECT_EQ(mine.back().red, 200);
  EXPECT_LE(mine.back().at - (kStart + milliseconds(200)), kFramePeriod);
  EXPECT_FALSE(pacer.Due(kNodes[1], kStart + milliseconds(5000)));  // nothing held: no timer send
}

TEST(OutputPacer, KeepAliveRepeatsAfterASecondOfIdleAndOnlyWhenOn) {
  const struct {
    bool keepAlive;
    bool rateLimit;
    std::size_t sends;  // to one node in 5.5 s after one change (three paints: all go out if off)
  } cases[] = {{false, false, 3}, {false, true, 1}, {true, false, 8}, {true, true, 6}};
  for (const auto& c : cases) {
    OutputPacer pacer;
    pacer.SetKeepAlive(c.keepAlive);
    pacer.SetRateLimit(c.rateLimit);
    const auto mine = Drive(pacer, 1, milliseconds(5500));
    ASSERT_EQ(mine.size(), c.sends) << c.keepAlive << c.rateLimit;
    // Nothing held: only keep-alive asks for a timer.
    EXPECT_EQ(pacer.NextWake(kNodes.data(), 2, kStart).has_value(), c.keepAlive);
    for (std::size_t i = 1; i < mine.size(); ++i)
      EXPECT_TRUE(mine[i].at == mine[i - 1].at || mine[i].at - mine[i - 1].at == kKeepAliveIdle);
  }
  // A destination nothing has gone to yet is due at once; with no target, the timer still runs
  // (a node ticked later is kept alive without a slider move).
  OutputPacer pacer;
  pacer.SetKeepAlive(true);
  EXPECT_TRUE(pacer.Due(kNodes[1], kStart) && pacer.NextWake(kNodes.data(), 0, kStart));
}

TEST(OutputPacer, TheNextWakeIsTheEarliestOfAllDestinations) {
  // A frame held for one node while the other only needs keep-alive in a second: the timer wakes
  // for the held frame, whichever node comes first.
  OutputPacer pacer;
  pacer.SetRateLimit(true);
  pacer.SetKeepAlive(true);
  DmxFrame frame;
  frame.Length = 512;
  for (const Ipv4Bytes& node : kNodes) pacer.Sent(node, frame, kStart);
  frame.Data[0] = 1;
  const Time now = kStart + milliseconds(5);
  ASSERT_EQ(pacer.Offer(kNodes[0], frame, now), OutputPacer::Action::kHold);
  for (const auto& order : {kNodes, std::vector<Ipv4Bytes>{kNodes[1], kNodes[0]}})
    EXPECT_EQ(pacer.NextWake(order.data(), 2, now), kStart + kFramePeriod);
}

}  // namespace chromaset
