// The lab itself: isolation, removal when its owner is killed, and traffic across the bridge.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "art_packets.h"
#include "lab.h"
#include "lab_sockets.h"
#include "sim_node.h"

namespace chromaset::lab {
namespace {

using namespace std::chrono_literals;

std::set<std::string> LinkNames() {
  std::set<std::string> names;
  struct if_nameindex* links = ::if_nameindex();
  if (links == nullptr) return names;
  for (const struct if_nameindex* entry = links; entry->if_index != 0; ++entry)
    names.insert(entry->if_name);
  ::if_freenameindex(links);
  return names;
}

// How many of the given namespace inodes any process still refers to, through a task's
// namespace or an open descriptor (entries that cannot be read are passed over).
std::size_t NamespacesStillReferenced(const std::set<unsigned long>& inodes) {
  std::set<unsigned long> seen;
  auto look = [&](const std::string& path) {
    char target[64] = {};
    const ssize_t n = ::readlink(path.c_str(), target, sizeof(target) - 1);
    unsigned long inode = 0;
    if (n > 0 && std::sscanf(target, "net:[%lu]", &inode) == 1 && inodes.count(inode) != 0) {
      seen.insert(inode);
    }
  };
  auto entries = [](const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
      while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      }
      ::closedir(dir);
    }
    return names;
  };
  for (const std::string& pid : entries("/proc")) {
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    for (const std::string& task : entries("/proc/" + pid + "/task")) {
      look("/proc/" + pid + "/task/" + task + "/ns/net");
    }
    for (const std::string& fd : entries("/proc/" + pid + "/fd"))
      look("/proc/" + pid + "/fd/" + fd);
  }
  return seen.size();
}

TEST(LabIsolation, CheckerRefusesForeignLinksAndRoutesOut) {
  CHROMASET_LAB_OR_SKIP(lab, {});  // proves namespaces can be made here
  std::string whyNot;
  ScopedFd clean(MakeNetns(whyNot));
  ASSERT_GE(clean.get(), 0) << whyNot;
  EXPECT_TRUE(CheckIsolated(clean.get(), {}, whyNot)) << whyNot;

  // A link named like the machine's own card.
  ScopedFd foreign(MakeNetns(whyNot));
  ASSERT_GE(foreign.get(), 0) << whyNot;
  ASSERT_TRUE(RunIpBatch(foreign.get(), "link add eth0 type veth peer name lab0\n", whyNot))
      << whyNot;
  whyNot.clear();
  EXPECT_FALSE(CheckIsolated(foreign.get(), {kLabLink}, whyNot));
  EXPECT_NE(whyNot.find("eth0"), std::string::npos) << whyNot;
  EXPECT_EQ(whyNot.find('\n'), std::string::npos);

  // Only lab links, but a route that leaves through another link.
  ScopedFd routed(MakeNetns(whyNot));
  ASSERT_GE(routed.get(), 0) << whyNot;
  ASSERT_TRUE(RunIpBatch(routed.get(),
                         "link set lo up\nlink add lab0 type veth peer name lab1\n"
                         "route add 10.0.0.0/8 dev lo\n",
                         whyNot))
      << whyNot;
  EXPECT_TRUE(CheckIsolated(routed.get(), {"lab0", "lab1", "lo"}, whyNot)) << whyNot;
  whyNot.clear();
  EXPECT_FALSE(CheckIsolated(routed.get(), {"lab0", "lab1"}, whyNot));
  EXPECT_NE(whyNot.find("route through lo"), std::string::npos) << whyNot;

  // ip never runs outside the namespace it is given.
  EXPECT_FALSE(RunIpBatch(-1, "link show\n", whyNot));
}

TEST(LabIsolation, KilledOwnerTakesTheWholeLabWithIt) {
  CHROMASET_LAB_OR_SKIP(probe, {});
  int out[2];
  ASSERT_EQ(::pipe2(out, O_CLOEXEC), 0);
  const std::string self = "/proc/self/exe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(out[1], 1);
    char arg1[] = "--hold-lab";
    char arg2[] = "5";
    char arg3[] = "6";
    char* const args[] = {const_cast<char*>("lab_tests"), arg1, arg2, arg3, nullptr};
    ::execv(self.c_str(), args);
    ::_exit(127);
  }
  ::close(out[1]);
  ASSERT_GT(child, 0);
  std::string line;
  char c = 0;
  while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
  ::close(out[0]);
  std::istringstream fields(line);
  std::string word;
  fields >> word;
  std::set<unsigned long> inodes;
  for (unsigned long inode = 0; fields >> inode;) inodes.insert(inode);
  if (word != "ready" || inodes.size() != 4) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    FAIL() << "the child did not make its lab: " << line;
  }
  // While the child lives, the scan finds its namespaces (so it can tell).
  EXPECT_EQ(NamespacesStillReferenced(inodes), 4u);
  for (const std::string& name : LinkNames()) EXPECT_NE(name.rfind("lab", 0), 0u) << name;

  ASSERT_EQ(::kill(child, SIGKILL), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status));
  EXPECT_TRUE(WaitUntil([&] { return NamespacesStillReferenced(inodes) == 0; }, 5000ms))
      << "a killed owner must leave no lab namespace behind";
  for (const std::string& name : LinkNames()) EXPECT_NE(name.rfind("lab", 0), 0u) << name;
}

TEST(LabNetwork, HostsSeeOnlyTheirLabLinkAndABroadcastReachesEveryNode) {
  CHROMASET_LAB_OR_SKIP(lab, {5, 6});
  SimNode n5(*lab, 5), n6(*lab, 6);
  ASSERT_TRUE(n5.Ok() && n6.Ok()) << n5.Error() << n6.Error();
  const unsigned long callerInode = CurrentNetnsInode();
  {
    const Lab::Scope inController = lab->EnterController();
    EXPECT_NE(CurrentNetnsInode(), callerInode);
    EXPECT_EQ(LinkNames(), (std::set<std::string>{"lo", kLabLink}));
    ScopedFd controller(OpenArtNetSocket());
    ASSERT_GE(controller.get(), 0) << std::strerror(errno);
    ASSERT_TRUE(SendDatagram(controller.get(), kBroadcast, test::MakeArtPoll()));
    // The poll comes back to the sender too, then both nodes answer.
    EXPECT_EQ(ReceiveDatagrams(controller.get(), 3, 3000ms).size(), 3u);
  }
  EXPECT_EQ(CurrentNetnsInode(), callerInode) << "the scope must bring the thread back";
  for (const std::string& name : LinkNames()) EXPECT_NE(name.rfind("lab", 0), 0u) << name;
  for (const SimNode* node : {&n5, &n6}) {
    ASSERT_EQ(node->Received().size(), 1u) << "node " << node->Host();
    EXPECT_EQ(node->Received()[0].from, HostAddress(kControllerHost));
    EXPECT_EQ(node->Received()[0].to, kBroadcast);
  }
}

}  // namespace
}  // namespace chromaset::lab
