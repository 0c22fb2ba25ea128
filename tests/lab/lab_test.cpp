// The lab's own guarantees, and the Art-Net link on the wire inside it. Expected bytes come from
// the test side's builder (art_packets.h), never from net/.
#include <fcntl.h>
#include <glob.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "artnet_link.h"
#include "lab.h"

namespace chromaset::lab {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

std::size_t Entries(const char* directory) {
  return std::distance(std::filesystem::directory_iterator(directory), {});
}
std::string Link(const std::string& p) { return std::filesystem::read_symlink(p).string(); }

// Whether any process still refers to one of the namespaces, by a thread or a descriptor.
bool Referenced(const std::vector<std::string>& names) {
  bool found = false;
  for (const char* pattern : {"/proc/[0-9]*/task/*/ns/net", "/proc/[0-9]*/fd/*"}) {
    glob_t paths{};
    ::glob(pattern, GLOB_NOSORT, nullptr, &paths);
    for (std::size_t i = 0; i < paths.gl_pathc; ++i) {
      char target[64] = {};
      found = found || (::readlink(paths.gl_pathv[i], target, sizeof target - 1) > 0 &&
                        std::count(names.begin(), names.end(), target) > 0);
    }
    ::globfree(&paths);
  }
  return found;
}

TEST(LabHarness, RefusesANamespaceThatIsNotIsolated) {
  CHROMASET_LAB_OR_SKIP(lab, {});
  const std::pair<const char*, const char*> cases[] = {
      {"link add eth0 type veth peer name lab0\n", "eth0"},
      {"link set lo up\nroute add 10.0.0.0/8 dev lo\n", "route through lo"},
      {nullptr, "caller's own"}};
  for (const auto& [script, reason] : cases) {
    std::string why;
    const ScopedFd ns{script ? MakeNetns(script, why)
                             : ::open("/proc/thread-self/ns/net", O_RDONLY)};
    ASSERT_GE(ns.fd, 0) << why;
    EXPECT_FALSE(CheckIsolated(ns.fd, why)) << reason;
    EXPECT_NE(why.find(reason), std::string::npos) << why;
  }
  std::string why;
  EXPECT_TRUE(CheckIsolated(ScopedFd{MakeNetns("", why)}.fd, why)) << why;
}

TEST(LabHarness, AKilledOwnerLeavesNothingBehind) {
  { CHROMASET_LAB_OR_SKIP(probe, {}); }  // then no other thread runs while forking
  int out[2];
  ASSERT_EQ(::pipe(out), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    std::string why;
    ::alarm(60);  // never outlives a parent that failed before its kill
    const auto lab = Lab::Create({5}, why);
    if (lab && ::write(out[1], "+", 1) > 0) ::pause();
    ::_exit(1);
  }
  ::close(out[1]);  // so a child that dies early ends the read
  char made = 0;
  pollfd ready{out[0], POLLIN, 0};
  const bool read = ::poll(&ready, 1, 30000) > 0 && ::read(out[0], &made, 1) > 0;
  EXPECT_TRUE(read) << "the child made no lab within 30 s";
  ::close(out[0]);
  std::vector<std::string> names;  // the namespaces the child's lab holds
  for (const auto& fd :
       std::filesystem::directory_iterator("/proc/" + std::to_string(child) + "/fd"))
    if (const std::string to = Link(fd.path()); to.rfind("net:", 0) == 0) names.push_back(to);
  EXPECT_TRUE(read && names.size() == 2 && Referenced(names)) << names.size();
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(WaitUntil([&] { return !Referenced(names); }, 5s));
  EXPECT_EQ(::if_nametoindex(kLabLink), 0u) << "no lab link in our own namespace";
}

TEST(LabLink, DiscoveryAndFramesOnTheWire) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
  ReplyConfig c5, c6;
  c5.delay = 200ms;  // replies arrive 7, 5, 6
  c6.delay = 400ms;
  SimNode n5(*lab, 5, c5), n6(*lab, 6, c6), n7(*lab, 7);
  ArtNetLink link;
  const std::string home = Link("/proc/thread-self/ns/net");
  {
    const auto scope = lab->EnterController();
    EXPECT_NE(Link("/proc/thread-self/ns/net"), home);
    ASSERT_TRUE(link.OpenArtNetEndpoint() && link.StartReceiver() && link.SendArtPoll());
  }
  EXPECT_EQ(Link("/proc/thread-self/ns/net"), home) << "the scope brings the thread back";
  EXPECT_EQ(link.LocalAddresses()[0], (Ipv4Bytes{2, 0, 0, 1}));
  EXPECT_EQ(link.LocalAddresses()[1], Ipv4Bytes{}) << "loopback is not listed";
  for (const SimNode* n : {&n5, &n6, &n7}) {
    ASSERT_TRUE(n->WaitFor([&] { return n->PollsSeen() == 1; })) << int(n->Address()[3]);
    const Datagram d = n->Received()[0];
    EXPECT_TRUE(d.bytes.size() == 14 && d.from == HostAddress(1) && d.fromPort == 6454 &&
                d.to == kBroadcast);
  }
  ASSERT_TRUE(WaitUntil([&] { return IsInUse(link.Nodes().Record(2)); }, 5s));
  NodeSnapshot t;
  link.Nodes().Snapshot(t);
  EXPECT_EQ((Bytes{t[0].IpAddress[3], t[1].IpAddress[3], t[2].IpAddress[3]}), (Bytes{7, 5, 6}));
  EXPECT_FALSE(IsInUse(t[3])) << "our own poll coming back is no node";
  EXPECT_EQ(std::string(t[1].LongName), "Simulated node 2.0.0.5") << "the whole reply arrived";

  // Where frames go and their bytes on the wire: CliLab; a frame too long or missing: nothing.
  DmxFrame tooLong;
  tooLong.Length = 513;
  EXPECT_FALSE(link.SendArtDmx(&tooLong, {2, 0, 0, 5}) || link.SendArtDmx(nullptr, {2, 0, 0, 5}));
}

TEST(LabLink, BindFailureThenAFloodThenClose) {
  CHROMASET_LAB_OR_SKIP(lab, {11, 12, 13});
  SimNode nodes[] = {{*lab, 11}, {*lab, 12}, {*lab, 13}};
  const std::size_t descriptors = Entries("/proc/self/fd"), threads = Entries("/proc/self/task");
  // The holder also offers to share: only a socket with a reuse option could join it.
  for (const bool sharing : {false, true}) {
    ArtNetLink link;
    {
      const auto scope = lab->EnterController();
      ScopedFd holder{OpenArtNetSocket(6454, sharing)};
      DmxFrame frame;
      EXPECT_FALSE(link.OpenArtNetEndpoint());
      EXPECT_EQ(Entries("/proc/self/fd"), descriptors + 2)
          << "the failed socket is closed (the holder and the scope stay)";
      EXPECT_FALSE(link.StartReceiver() || link.SendArtPoll() ||
                   link.SendArtDmx(&frame, {2, 0, 0, 11}));
      holder.reset();
      ASSERT_TRUE(link.OpenArtNetEndpoint() && link.StartReceiver())
          << "the port was the only obstacle";
    }
    EXPECT_TRUE(::fcntl(link.Socket(), F_GETFD) & FD_CLOEXEC) << "no leak into started programs";
    EXPECT_EQ(Entries("/proc/self/task"), threads + 1);
    std::array<std::uint8_t, test::kTestMaxDatagram> d;
    for (std::uint32_t i = 0; i < 6000; ++i) {
      Bytes bytes(d.begin(), d.begin() + static_cast<long>(test::MakeFloodDatagram(i, d)));
      if (i % 16 == 0) bytes.resize(1100);  // longer than the receive buffer
      nodes[i % 3].SendTo(HostAddress(1), 6454, bytes);
    }
    // The receiver still takes replies afterwards.
    ASSERT_TRUE(WaitUntil(
        [&] {
          return nodes[0].SendTo(HostAddress(1), 6454,
                                 test::ReplyOfNode(0).SetLongName("last").Vector()) &&
                 std::string(link.Nodes().Record(0).LongName) == "last";
        },
        5s));
    NodeSnapshot t;
    link.Nodes().Snapshot(t);
    std::set<int> seen;
    for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
      const std::string name = std::string(t[slot].LongName, 64).c_str();
      const bool inUse = IsInUse(t[slot]) && (slot == 0 || IsInUse(t[slot - 1]));
      EXPECT_TRUE(inUse ? (name == "odd" || name == "even" || name == "last") &&
                              seen.insert(t[slot].IpAddress[3]).second
                        : t[slot].IpAddress[3] == 0)
          << slot;
    }
    std::this_thread::sleep_for(50ms);  // the receiver is back in its blocking receive
    link.Close();
    EXPECT_EQ(Entries("/proc/self/fd"), descriptors);
    EXPECT_TRUE(WaitUntil([&] { return Entries("/proc/self/task") == threads; }, 1s));
  }
  for (const SimNode& n : nodes)
    EXPECT_TRUE(n.Received().empty()) << "the link itself sent nothing";
}

}  // namespace chromaset::lab
