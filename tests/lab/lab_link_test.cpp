// The Art-Net link on the wire, in the lab: endpoint and discovery, the transmitter, the link's
// lifecycle and a flood of datagrams into its receiver. The expected bytes come from the test
// side's own packet builder, not from net/.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/sock_diag.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "art_packets.h"
#include "artnet_link.h"
#include "lab.h"
#include "lab_sockets.h"
#include "poll_reply.h"
#include "sim_node.h"

namespace chromaset::lab {
namespace {

using namespace std::chrono_literals;

constexpr Ipv4Bytes kBroadcastBytes{255, 255, 255, 255};

std::size_t CountEntries(const char* directory) {
  std::size_t count = 0;
  if (DIR* dir = ::opendir(directory)) {
    while (const dirent* e = ::readdir(dir)) count += e->d_name[0] != '.';
    ::closedir(dir);
  }
  return count;
}

std::set<std::string> TaskIds() {
  std::set<std::string> ids;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* e = ::readdir(dir)) {
      if (e->d_name[0] != '.') ids.insert(e->d_name);
    }
    ::closedir(dir);
  }
  return ids;
}

// The scheduler state of one of our threads ('S' while it sleeps in a call such as recvfrom).
char TaskState(const std::string& id) {
  std::ifstream stat("/proc/self/task/" + id + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind(')');
  return end != std::string::npos && end + 2 < text.size() ? text[end + 2] : '?';
}

std::vector<std::uint8_t> FieldBytes(const char* field, std::size_t size) {
  return std::vector<std::uint8_t>(field, field + size);
}

std::vector<std::uint8_t> Padded(const std::string& text, std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  std::memcpy(bytes.data(), text.data(), std::min(size, text.size()));
  return bytes;
}

std::size_t SlotsInUse(const ArtNetLink& link) {
  NodeSnapshot snapshot;
  link.Nodes().Snapshot(snapshot);
  std::size_t used = 0;
  while (used < snapshot.size() && snapshot[used].Port != 0) ++used;
  return used;
}

Ipv4 RecordAddress(const NodeRecord& record) {
  return {record.IpAddress[0], record.IpAddress[1], record.IpAddress[2], record.IpAddress[3]};
}

DmxFrame TestFrame() {
  DmxFrame frame;
  frame.Length = 512;
  frame.Data[0] = 255;
  frame.Data[1] = 128;
  frame.Data[2] = 0;
  frame.Data[3] = 10;
  return frame;
}

TEST(LabEndpoint, PortAlreadyBoundFailsAndNothingLeaves) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  SimNode n5(*lab, 5), n6(*lab, 6);
  ASSERT_TRUE(n5.Ok() && n6.Ok());
  const Lab::Scope inController = lab->EnterController();
  // Another program holding 6454, also one that offers to share it (only a socket with a reuse
  // option could join that one).
  for (const bool sharing : {false, true}) {
    SCOPED_TRACE(sharing ? "holder allows sharing" : "plain holder");
    ScopedFd holder(OpenArtNetSocket(test::kTestArtNetPort, sharing));
    ASSERT_GE(holder.get(), 0) << std::strerror(errno);

    const std::size_t descriptors = CountEntries("/proc/self/fd");
    ArtNetLink link;
    EXPECT_FALSE(link.OpenArtNetEndpoint());
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors) << "the failed socket must be closed";
    EXPECT_FALSE(link.StartReceiver());
    EXPECT_FALSE(link.SendArtPoll());
    const DmxFrame frame = TestFrame();
    EXPECT_FALSE(link.SendArtDmx(&frame, kBroadcastBytes));

    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(n5.Received().empty());
    EXPECT_TRUE(n6.Received().empty());
    EXPECT_TRUE(ReceiveDatagrams(holder.get(), 1, 0ms).empty()) << "not even our own broadcast";

    // The port was the only obstacle: once it is free the same link opens.
    holder.reset();
    EXPECT_TRUE(link.OpenArtNetEndpoint());
  }
}

TEST(LabDiscovery, OnePollReachesEveryNodeAndRepliesFillSlotsInOrder) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  // Replies are staggered so that the arrival order is 7, 5, 6.
  ReplyConfig c5;
  c5.delay = 200ms;
  std::string longName5 = std::string("Five", 4) + std::string(1, '\0') + "after-zero";
  longName5.resize(64, 'x');  // all 64 bytes used, no terminator
  c5.longName = longName5;
  ReplyConfig c6;
  c6.delay = 400ms;
  c6.esta24 = 0x2C;
  c6.esta25 = 0x1A;
  ReplyConfig c7;
  SimNode n5(*lab, 5, c5), n6(*lab, 6, c6), n7(*lab, 7, c7);
  ASSERT_TRUE(n5.Ok() && n6.Ok() && n7.Ok());

  ArtNetLink link;
  {
    const Lab::Scope inController = lab->EnterController();
    ASSERT_TRUE(link.OpenArtNetEndpoint());
    ASSERT_TRUE(link.StartReceiver());
    ASSERT_TRUE(link.SendArtPoll());
  }
  const LocalAddressTable& local = link.LocalAddresses();
  EXPECT_EQ(local[0], (Ipv4Bytes{2, 0, 0, 1}));
  for (std::size_t i = 1; i < local.size(); ++i) EXPECT_EQ(local[i], (Ipv4Bytes{})) << i;

  const std::vector<std::uint8_t> poll{0x41, 0x72, 0x74, 0x2D, 0x4E, 0x65, 0x74,
                                       0x00, 0x00, 0x20, 0x00, 0x0E, 0x00, 0x00};
  for (const SimNode* node : {&n5, &n6, &n7}) {
    ASSERT_TRUE(node->WaitFor([&] { return node->PollsSeen() == 1; })) << node->Host();
    const Datagram d = node->Received()[0];
    EXPECT_EQ(d.bytes, poll) << "node " << node->Host();
    EXPECT_EQ(d.from, HostAddress(kControllerHost));
    EXPECT_EQ(d.fromPort, 6454);
    EXPECT_EQ(d.to, kBroadcast);
  }

  ASSERT_TRUE(WaitUntil([&] { return SlotsInUse(link) == 3; }, 5000ms)) << SlotsInUse(link);
  std::this_thread::sleep_for(300ms);
  for (const SimNode* node : {&n5, &n6, &n7}) EXPECT_EQ(node->PollsSeen(), 1u) << "one poll only";
  NodeSnapshot table;
  link.Nodes().Snapshot(table);
  EXPECT_EQ(RecordAddress(table[0]), n7.Address());
  EXPECT_EQ(RecordAddress(table[1]), n5.Address());
  EXPECT_EQ(RecordAddress(table[2]), n6.Address());
  EXPECT_EQ(table[3].Port, 0) << "the own poll coming back must not add a node";

  EXPECT_EQ(FieldBytes(table[1].LongName, 64), Padded(longName5, 64)) << "zero bytes included";
  EXPECT_EQ(table[2].EstaMan, 0x2C1A);
}

TEST(LabTransmitter, BroadcastReachesEveryNodeUnicastOnlyItsOwn) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  SimNode n5(*lab, 5), n6(*lab, 6), n7(*lab, 7);
  ASSERT_TRUE(n5.Ok() && n6.Ok() && n7.Ok());
  ArtNetLink link;
  {
    const Lab::Scope inController = lab->EnterController();
    ASSERT_TRUE(link.OpenArtNetEndpoint());
    ASSERT_TRUE(link.StartReceiver());
  }
  const DmxFrame frame = TestFrame();
  std::uint8_t channels[512] = {255, 128, 0, 10};
  const std::vector<std::uint8_t> expected = test::MakeArtDmx(channels, 512);
  ASSERT_EQ(expected.size(), 530u);

  ASSERT_TRUE(link.SendArtDmx(&frame, kBroadcastBytes));
  for (const SimNode* node : {&n5, &n6, &n7}) {
    ASSERT_TRUE(node->WaitFor([&] { return node->DmxFrames().size() == 1; })) << node->Host();
    const Datagram d = node->DmxFrames()[0];
    EXPECT_EQ(d.bytes, expected) << "node " << node->Host();
    EXPECT_EQ(d.from, HostAddress(kControllerHost));
    EXPECT_EQ(d.fromPort, 6454);
    EXPECT_EQ(d.to, kBroadcast);
  }

  for (SimNode* node : {&n5, &n6, &n7}) node->ClearReceived();
  DmxFrame tooLong = frame;
  tooLong.Length = 513;
  EXPECT_FALSE(link.SendArtDmx(&tooLong, {2, 0, 0, 5})) << "more than 512 channels";
  EXPECT_FALSE(link.SendArtDmx(nullptr, {2, 0, 0, 5}));
  ASSERT_TRUE(link.SendArtDmx(&frame, {2, 0, 0, 5}));
  ASSERT_TRUE(n5.WaitFor([&] { return !n5.Received().empty(); }));
  std::this_thread::sleep_for(300ms);
  ASSERT_EQ(n5.Received().size(), 1u);
  EXPECT_EQ(n5.Received()[0].bytes, expected);
  EXPECT_EQ(n5.Received()[0].to, n5.Address());
  EXPECT_TRUE(n6.Received().empty());
  EXPECT_TRUE(n7.Received().empty());
  EXPECT_EQ(SlotsInUse(link), 0u) << "our own ArtDmx coming back is not a node";
}

TEST(LabLifecycle, FiftyLinksStartAndStopCleanly) {
  CHROMASET_LAB_OR_SKIP(lab, {5});
  SimNode n5(*lab, 5);
  ASSERT_TRUE(n5.Ok());
  const std::size_t descriptors = CountEntries("/proc/self/fd");
  const std::size_t threads = CountEntries("/proc/self/task");
  std::chrono::nanoseconds slowestStop{0};
  for (int round = 0; round < 50; ++round) {
    auto link = std::make_unique<ArtNetLink>();
    const std::set<std::string> tasksBefore = TaskIds();
    {
      const Lab::Scope inController = lab->EnterController();
      ASSERT_TRUE(link->OpenArtNetEndpoint()) << "round " << round << ": 6454 still held?";
      ASSERT_TRUE(link->StartReceiver());
    }
    std::string receiver;
    for (const std::string& id : TaskIds()) {
      if (tasksBefore.count(id) == 0) receiver = id;
    }
    ASSERT_FALSE(receiver.empty()) << "no receiver thread";
    const int flags = ::fcntl(link->Socket(), F_GETFD);
    ASSERT_NE(flags, -1);
    EXPECT_TRUE(flags & FD_CLOEXEC) << "the socket must not leak into started programs";
    EXPECT_EQ(CountEntries("/proc/self/task"), threads + 1);

    // A reply proves the receiver runs; afterwards it is blocked in its next receive.
    ReplyConfig config;
    config.longName = "round " + std::to_string(round);
    n5.SetReplyConfig(config);
    ASSERT_TRUE(n5.SendTo(HostAddress(kControllerHost), 6454, n5.ReplyBytes()));
    ASSERT_TRUE(WaitUntil(
        [&] {
          const NodeRecord r = link->Nodes().Record(0);
          return FieldBytes(r.LongName, 64) == Padded(*config.longName, 64);
        },
        3000ms))
        << "round " << round;
    EXPECT_TRUE(WaitUntil([&] { return TaskState(receiver) == 'S'; }, 1000ms))
        << "round " << round << ": the receiver should be blocked in its receive";

    const auto before = std::chrono::steady_clock::now();
    link.reset();
    slowestStop =
        std::max<std::chrono::nanoseconds>(slowestStop, std::chrono::steady_clock::now() - before);
    EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors) << "round " << round;
    EXPECT_TRUE(WaitUntil([&] { return CountEntries("/proc/self/task") == threads; }, 1000ms))
        << "round " << round;
  }
  EXPECT_LT(slowestStop, std::chrono::nanoseconds(1s)) << "a blocked receiver must stop at once";
}

// ---- Flood ----------------------------------------------------------------------------------

constexpr int kFloodHosts[] = {11, 12, 13, 14};
constexpr int kPerNode = 25600;  // 4 x 25600 = 102400 datagrams
constexpr std::uint32_t kFinalGeneration = 999999;

// A valid reply whose stored fields all depend on host and generation (kept in the MAC), so a
// record mixed from two replies cannot match either.
std::vector<std::uint8_t> FloodReply(int host, std::uint32_t generation, std::size_t length) {
  test::PollReply reply;
  reply.SetIp(2, 0, 0, static_cast<std::uint8_t>(host));
  for (std::size_t i = test::kAtStatus1; i < test::kAtMac; ++i) {
    reply.bytes[i] = static_cast<std::uint8_t>(host * 31 + generation * 7 + i);
  }
  reply.SetMac({2, static_cast<std::uint8_t>(host), static_cast<std::uint8_t>(generation >> 24),
                static_cast<std::uint8_t>(generation >> 16),
                static_cast<std::uint8_t>(generation >> 8), static_cast<std::uint8_t>(generation)});
  reply.bytes[test::kAtStatus2] = static_cast<std::uint8_t>(generation);
  std::vector<std::uint8_t> bytes(length, 0);  // longer than the buffer: zeros after it
  std::copy_n(reply.bytes.begin(), std::min(length, reply.bytes.size()), bytes.begin());
  return bytes;
}

std::uint32_t Generation(const NodeRecord& r) {
  return (std::uint32_t{r.Mac[2]} << 24) | (r.Mac[3] << 16) | (r.Mac[4] << 8) | r.Mac[5];
}

// Empty when the record is exactly what its reply stores on its own, else what is wrong.
std::string CheckFloodRecord(const NodeRecord& r) {
  const int host = r.IpAddress[3];
  if (RecordAddress(r) != HostAddress(host) || host < 11 || host > 14) {
    return "unknown node " + FormatIpv4(RecordAddress(r));
  }
  NodeTable scratch;
  const std::vector<std::uint8_t> reply = FloodReply(host, Generation(r), 239);
  scratch.ApplyPollReply(reply.data(), reply.size());
  const NodeRecord expected = scratch.Record(0);
  if (std::memcmp(&r, &expected, sizeof(NodeRecord)) != 0) {
    return "torn record for " + FormatIpv4(RecordAddress(r)) + " gen " +
           std::to_string(Generation(r));
  }
  return {};
}

// Waits while the receiver's queue holds more than a quarter of its buffer, so the flood is
// processed rather than dropped by the kernel.
void WaitForRoom(int socket) {
  std::uint32_t info[SK_MEMINFO_VARS] = {};
  for (int spins = 0; spins < 20000; ++spins) {
    socklen_t size = sizeof(info);
    if (::getsockopt(socket, SOL_SOCKET, SO_MEMINFO, info, &size) != 0) {
      std::this_thread::sleep_for(200us);
      return;
    }
    if (info[SK_MEMINFO_RMEM_ALLOC] < info[SK_MEMINFO_RCVBUF] / 4) return;
    std::this_thread::sleep_for(50us);
  }
}

// The UDP counters of the calling thread's namespace.
std::map<std::string, long long> UdpCounters() {
  std::ifstream snmp("/proc/thread-self/net/snmp");
  std::string names;
  std::string line;
  std::map<std::string, long long> counters;
  while (std::getline(snmp, line)) {
    if (line.rfind("Udp: ", 0) != 0) continue;
    if (names.empty()) {
      names = line;
      continue;
    }
    std::istringstream n(names.substr(5));
    std::istringstream v(line.substr(5));
    std::string name;
    long long value = 0;
    while (n >> name && v >> value) counters[name] = value;
    break;
  }
  return counters;
}

TEST(LabFlood, ReceiverKeepsEveryRecordWholeUnderAFlood) {
  CHROMASET_LAB_OR_SKIP(lab, {11, 12, 13, 14});
  std::vector<std::unique_ptr<SimNode>> nodes;
  for (const int host : kFloodHosts) {
    nodes.push_back(std::make_unique<SimNode>(*lab, host));
    ASSERT_TRUE(nodes.back()->Ok()) << nodes.back()->Error();
  }
  ArtNetLink link;
  std::map<std::string, long long> before;
  {
    const Lab::Scope inController = lab->EnterController();
    ASSERT_TRUE(link.OpenArtNetEndpoint());
    ASSERT_TRUE(link.StartReceiver());
    before = UdpCounters();
  }

  std::atomic<bool> flooding{true};
  std::atomic<long> snapshots{0};
  std::atomic<long> faults{0};
  std::string firstFault;
  std::thread reader([&] {
    NodeSnapshot table;
    while (flooding.load()) {
      link.Nodes().Snapshot(table);
      std::set<int> hosts;
      bool endOfRun = false;
      for (const NodeRecord& r : table) {
        if (r.Port == 0) {
          endOfRun = true;
          continue;
        }
        std::string fault = CheckFloodRecord(r);
        if (fault.empty() && endOfRun) fault = "a node after a free slot";
        if (fault.empty() && !hosts.insert(r.IpAddress[3]).second) fault = "a node held twice";
        if (!fault.empty() && faults++ == 0) firstFault = fault;
      }
      ++snapshots;
    }
  });

  std::atomic<long> sent{0};
  std::vector<std::thread> senders;
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    senders.emplace_back([&, n] {
      SimNode& node = *nodes[n];
      // Valid replies (also past the receive buffer) between datagrams that must change
      // nothing: a wrong ID or OpCode order, too short, an ArtPoll, random bytes.
      const std::size_t lengths[] = {239, 213, 1024, 1100};
      std::array<std::uint8_t, test::kTestMaxDatagram> garbage{};
      std::uint32_t generation = 0;
      for (int i = 0; i < kPerNode; ++i) {
        if (i % 8 == 0) WaitForRoom(link.Socket());
        bool ok = false;
        if (i % 2 == 0) {
          ok = node.SendTo(HostAddress(kControllerHost), 6454,
                           FloodReply(node.Host(), ++generation, lengths[(i / 2) % 4]));
        } else {
          const auto k = static_cast<std::uint32_t>(i / 2 * 4 + node.Host());
          const std::size_t size = test::MakeFloodDatagram(k - k % 8 + 3 + k % 5, garbage);
          ok = node.SendTo(HostAddress(kControllerHost), 6454, garbage.data(), size);
        }
        if (ok) ++sent;
      }
    });
  }
  for (std::thread& s : senders) s.join();

  // The receiver still takes replies: the last word of every node shows (sent again in case
  // the kernel dropped one).
  for (const auto& node : nodes) {
    const std::vector<std::uint8_t> last = FloodReply(node->Host(), kFinalGeneration, 239);
    EXPECT_TRUE(WaitUntil(
        [&] {
          node->SendTo(HostAddress(kControllerHost), 6454, last);
          std::this_thread::sleep_for(20ms);
          NodeSnapshot table;
          link.Nodes().Snapshot(table);
          return std::any_of(table.begin(), table.end(), [&](const NodeRecord& r) {
            return RecordAddress(r) == node->Address() && Generation(r) == kFinalGeneration;
          });
        },
        10000ms))
        << "node " << node->Host() << " never showed its last reply";
  }
  flooding = false;
  reader.join();

  std::map<std::string, long long> after;
  {
    const Lab::Scope inController = lab->EnterController();
    after = UdpCounters();
  }
  const long long delivered = after["InDatagrams"] - before["InDatagrams"];
  const long long dropped = after["RcvbufErrors"] - before["RcvbufErrors"];
  std::printf("flood: %ld sent, %lld delivered, %lld dropped by the kernel, %ld snapshots\n",
              sent.load(), delivered, dropped, snapshots.load());
  EXPECT_GE(sent.load(), 4L * kPerNode);
  EXPECT_GE(delivered, 100000) << "the receiver must really have taken the flood";
  EXPECT_EQ(faults.load(), 0) << firstFault;
  EXPECT_GT(snapshots.load(), 10) << "the table was hardly read during the flood";

  NodeSnapshot table;
  link.Nodes().Snapshot(table);
  std::set<int> hosts;
  for (std::size_t slot = 0; slot < 4; ++slot) {
    EXPECT_EQ(CheckFloodRecord(table[slot]), "") << "slot " << slot;
    hosts.insert(table[slot].IpAddress[3]);
  }
  EXPECT_EQ(hosts, (std::set<int>{11, 12, 13, 14})) << "every node exactly once";
  for (std::size_t slot = 4; slot < table.size(); ++slot) {
    EXPECT_EQ(table[slot].IpAddress[3], 0) << "slot " << slot << ": garbage was stored";
  }
}

}  // namespace
}  // namespace chromaset::lab
