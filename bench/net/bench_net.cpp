// Link throughput: the cost SendArtDmx adds over a bare sendto of the same 530 bytes on the
// same socket, and how many ArtPollReply datagrams per second go into the node table.
//
// The send benchmarks open the Art-Net socket and send to 127.0.0.1 only. They run only in a
// network namespace that holds nothing but loopback (scripts/isolated makes one) and skip
// themselves anywhere else.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <cstring>
#include <ctime>

#include "art_packets.h"
#include "artnet_link.h"
#include "loopback_link.h"

namespace chromaset {
namespace {

std::int64_t ThreadCpuNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

const Ipv4Bytes kLoopback{127, 0, 0, 1};

// 127.0.0.1:6454 for the bare sendto the link is measured against.
sockaddr_in LoopbackArtNet() {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kArtNetPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return to;
}

DmxFrame TestFrame() {
  DmxFrame frame;
  frame.Length = 512;
  frame.Data[0] = 255;
  frame.Data[1] = 128;
  frame.Data[3] = 10;
  return frame;
}

void BM_SendArtDmx(benchmark::State& state) {
  ArtNetLink* link = SharedLinkOrSkip(state);
  if (link == nullptr) return;
  const DmxFrame frame = TestFrame();
  for (auto _ : state) {
    if (!link->SendArtDmx(&frame, kLoopback)) {
      state.SkipWithError("SendArtDmx failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SendArtDmx);

void BM_BareSendto(benchmark::State& state) {
  ArtNetLink* link = SharedLinkOrSkip(state);
  if (link == nullptr) return;
  std::array<std::uint8_t, kPacketBufferSize> packet{};
  const std::size_t size = BuildArtDmx(TestFrame(), packet.data(), packet.size());
  const sockaddr_in to = LoopbackArtNet();
  for (auto _ : state) {
    if (::sendto(link->Socket(), packet.data(), size, 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof(to)) < 0) {
      state.SkipWithError("sendto failed");
      break;
    }
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BareSendto);

// Both sends alternating in batches, so drift of the machine hits both alike; the counter
// "ratio" is SendArtDmx time over bare sendto time.
void BM_SendArtDmxOverSendtoRatio(benchmark::State& state) {
  ArtNetLink* link = SharedLinkOrSkip(state);
  if (link == nullptr) return;
  const DmxFrame frame = TestFrame();
  std::array<std::uint8_t, kPacketBufferSize> packet{};
  const std::size_t size = BuildArtDmx(frame, packet.data(), packet.size());
  const sockaddr_in to = LoopbackArtNet();
  constexpr int kBatch = 256;
  std::int64_t link_time = 0;  // thread CPU time, ns: other load on the machine does not count
  std::int64_t bare_time = 0;
  bool linkFirst = true;
  auto timeLink = [&] {
    const std::int64_t t0 = ThreadCpuNanoseconds();
    for (int i = 0; i < kBatch; ++i) benchmark::DoNotOptimize(link->SendArtDmx(&frame, kLoopback));
    link_time += ThreadCpuNanoseconds() - t0;
  };
  auto timeBare = [&] {
    const std::int64_t t0 = ThreadCpuNanoseconds();
    for (int i = 0; i < kBatch; ++i) {
      benchmark::DoNotOptimize(::sendto(link->Socket(), packet.data(), size, 0,
                                        reinterpret_cast<const sockaddr*>(&to), sizeof(to)));
    }
    bare_time += ThreadCpuNanoseconds() - t0;
  };
  for (auto _ : state) {
    // Swap the order every round so neither side always runs on a warmer cache.
    if (linkFirst) {
      timeLink();
      timeBare();
    } else {
      timeBare();
      timeLink();
    }
    linkFirst = !linkFirst;
  }
  state.counters["ratio"] =
      bare_time > 0 ? static_cast<double>(link_time) / static_cast<double>(bare_time) : 0.0;
  state.SetItemsProcessed(state.iterations() * 2 * kBatch);
}
BENCHMARK(BM_SendArtDmxOverSendtoRatio);

// 99 known nodes answering in turn: the steady state after discovery (both scans run in full).
void BM_ReceiverIngest(benchmark::State& state) {
  std::array<test::PollReply, kNodeSlots> replies;
  for (std::size_t n = 0; n < replies.size(); ++n) replies[n] = test::ReplyOfNode(n);
  NodeTable table;
  std::size_t next = 0;
  for (auto _ : state) {
    const test::PollReply& reply = replies[next];
    ProcessDatagram(reply.data(), reply.length, table);
    next = next + 1 == replies.size() ? 0 : next + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceiverIngest);

// The same through the receive step that the thread runs after recvfrom, with every eighth
// datagram kind of the flood mix (most of them not stored).
void BM_ReceiverIngestMixed(benchmark::State& state) {
  constexpr std::size_t kDatagrams = 512;
  static std::array<std::array<std::uint8_t, 1024>, kDatagrams> data;
  static std::array<std::size_t, kDatagrams> lengths;
  for (std::size_t i = 0; i < kDatagrams; ++i) {
    lengths[i] = test::MakeFloodDatagram(static_cast<std::uint32_t>(i), data[i]);
  }
  auto link = std::make_unique<ArtNetLink>();  // no socket
  std::size_t next = 0;
  for (auto _ : state) {
    link->HandleReceived(static_cast<long>(lengths[next]), data[next].data());
    next = (next + 1) % kDatagrams;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReceiverIngestMixed);

}  // namespace
}  // namespace chromaset
