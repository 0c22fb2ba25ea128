// The output pacing without sockets or timers: a driver that offers frames at given times and
// wakes when the pacer asks, as the window's timer does, records what would go on the wire.
#include <gtest/gtest.h>

#include <vector>

#include "output_pacer.h"

namespace chromaset {
namespace {

using std::chrono::milliseconds;
using Time = OutputPacer::Time;
const Time kStart = Time{} + std::chrono::hours(1);
const Ipv4Bytes kNodeA{2, 0, 0, 5};
const Ipv4Bytes kNodeB{2, 0, 0, 6};

struct Sent {
  Time at;
  Ipv4Bytes to;
  std::uint8_t red;
};
struct Change {
  milliseconds at;
  std::uint8_t red;
};

// Offers each change to every destination, and after the first change (and up to `until`) wakes at
// each NextWake and sends what is Due.
std::vector<Sent> Drive(OutputPacer& pacer, const std::vector<Change>& changes, milliseconds until,
                        const std::vector<Ipv4Bytes>& to = {kNodeA}) {
  std::vector<Sent> sent;
  DmxFrame frame;
  frame.Length = 512;
  const int count = static_cast<int>(to.size());
  const auto send = [&](const Ipv4Bytes& d, Time t) {
    sent.push_back({t, d, frame.Data[0]});
    pacer.Sent(d, frame, t);
  };
  const auto wakeUntil = [&](Time end, Time now) {
    for (int guard = 0; guard < 100000; ++guard) {
      const auto wake = pacer.NextWake(to.data(), count, now);
      if (!wake || *wake > end) return;
      now = std::max(now, *wake);
      for (const auto& d : to) {
        if (pacer.Due(d, now)) send(d, now);
      }
    }
    ADD_FAILURE() << "the pacer never settles";
  };
  Time now = kStart;
  for (const Change& c : changes) {
    if (&c != &changes.front()) wakeUntil(kStart + c.at, now);
    now = kStart + c.at;
    frame.Data[0] = c.red;
    for (const auto& d : to) {
      if (pacer.Offer(d, frame, now) == OutputPacer::Action::kSendNow) send(d, now);
    }
  }
  wakeUntil(kStart + until, now);
  return sent;
}

// A drag: a new value every millisecond for 300 ms, each offered three times (three sliders).
std::vector<Change> Burst() {
  std::vector<Change> changes;
  for (int i = 1; i <= 300; ++i) {
    for (int k = 0; k < 3; ++k) changes.push_back({milliseconds(i), static_cast<std::uint8_t>(i)});
  }
  return changes;
}

TEST(OutputPacer, WithEverythingOffEveryOfferGoesOutAndNothingElse) {
  OutputPacer pacer;
  const auto sent = Drive(pacer, {{milliseconds(0), 1}, {milliseconds(0), 1}}, milliseconds(10000),
                          {kNodeA, kNodeB});
  ASSERT_EQ(sent.size(), 4u);  // both offers to both nodes, identical or not, no timer
  EXPECT_FALSE(pacer.NextWake(&kNodeA, 1, kStart).has_value());
}

TEST(OutputPacer, RateLimitKeepsTheCeilingAndSendsTheNewestLast) {
  OutputPacer pacer;
  pacer.SetRateLimit(true);
  const auto sent = Drive(pacer, Burst(), milliseconds(1000), {kNodeA, kNodeB});
  for (const Ipv4Bytes& node : {kNodeA, kNodeB}) {
    std::vector<Sent> mine;
    for (const Sent& s : sent) {
      if (s.to == node) mine.push_back(s);
    }
    ASSERT_FALSE(mine.empty());
    EXPECT_LE(mine.size(), 300u / 22 + 2);
    for (std::size_t i = 1; i < mine.size(); ++i) {
      EXPECT_GE(mine[i].at - mine[i - 1].at, kFramePeriod);
      EXPECT_NE(mine[i].red, mine[i - 1].red);  // identical frames are not repeated
    }
    // The last change (300 at 300 ms) goes out, no later than one period after it.
    EXPECT_EQ(mine.back().red, 300 % 256);
    EXPECT_LE(mine.back().at - (kStart + milliseconds(300)), kFramePeriod);
  }
}

TEST(OutputPacer, RateLimitDropsAHeldFrameWhoseValuesWereUndone) {
  OutputPacer pacer;
  pacer.SetRateLimit(true);
  // 7 goes out, 8 is held, 7 again within the period: 7 is what the node has, nothing more.
  const auto sent =
      Drive(pacer, {{milliseconds(0), 7}, {milliseconds(5), 8}, {milliseconds(10), 7}},
            milliseconds(500));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].red, 7);
}

TEST(OutputPacer, KeepAliveRepeatsAfterASecondOfIdleAndOnlyWhenOn) {
  const struct {
    bool keepAlive;
    bool rateLimit;
    std::size_t sends;  // in 5.5 s after one change at 0
  } cases[] = {{false, false, 1}, {false, true, 1}, {true, false, 6}, {true, true, 6}};
  for (const auto& c : cases) {
    OutputPacer pacer;
    pacer.SetKeepAlive(c.keepAlive);
    pacer.SetRateLimit(c.rateLimit);
    const auto sent = Drive(pacer, {{milliseconds(0), 9}}, milliseconds(5500));
    ASSERT_EQ(sent.size(), c.sends) << c.keepAlive << c.rateLimit;
    for (std::size_t i = 1; i < sent.size(); ++i) {
      EXPECT_EQ(sent[i].at - sent[i - 1].at, kKeepAliveIdle);
      EXPECT_EQ(sent[i].red, 9);
    }
  }
}

TEST(OutputPacer, KeepAliveReachesANewTargetAtOnceAndIdlesFromTheLastSend) {
  OutputPacer pacer;
  pacer.SetKeepAlive(true);
  EXPECT_TRUE(pacer.Due(kNodeB, kStart));  // nothing has gone there yet
  DmxFrame frame;
  pacer.Sent(kNodeA, frame, kStart);
  EXPECT_FALSE(pacer.Due(kNodeA, kStart + milliseconds(999)));
  EXPECT_TRUE(pacer.Due(kNodeA, kStart + milliseconds(1000)));
  EXPECT_EQ(pacer.NextWake(&kNodeA, 1, kStart + milliseconds(200)), kStart + kKeepAliveIdle);
}

TEST(OutputPacer, DestinationsAreTheBroadcastAloneOrTheTickedDevices) {
  std::array<Ipv4Bytes, kMaxUnicastTargets> out{};
  const Ipv4Bytes broadcast{255, 255, 255, 255};
  OutputTargets all;
  all.broadcast = true;
  all.count = 2;
  ASSERT_EQ(Destinations(all, broadcast, out), 1);
  EXPECT_EQ(out[0], broadcast);
  OutputTargets two;
  two.count = 2;
  two.addresses[0] = kNodeB;
  two.addresses[1] = kNodeA;
  ASSERT_EQ(Destinations(two, broadcast, out), 2);
  EXPECT_EQ(out[0], kNodeB);
  EXPECT_EQ(out[1], kNodeA);
}

}  // namespace
}  // namespace chromaset
