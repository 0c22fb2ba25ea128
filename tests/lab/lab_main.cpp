// The lab tests' main. Besides running the tests it has one helper mode, used by the test that
// kills a process holding a lab:
//   lab_tests --hold-lab H...   makes a lab with nodes H..., prints "ready" and the inodes of its
//                               namespaces on one line, then waits to be killed.
//   lab_tests --poll-and-list   broadcasts one ArtPoll and lists the replies, one line each
//                               ("2.0.0.5 1a2c LongName"); meant to run as the command of
//                               chromaset_lab_run, and refuses to run outside a lab.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lab.h"
#include "lab_sockets.h"
#include "sim_node.h"

namespace {

int HoldLab(int argc, char** argv) {
  std::vector<int> hosts;
  for (int i = 2; i < argc; ++i) hosts.push_back(std::atoi(argv[i]));
  std::string whyNot;
  const std::unique_ptr<chromaset::lab::Lab> lab = chromaset::lab::Lab::Create(hosts, whyNot);
  if (!lab) {
    std::printf("failed %s\n", chromaset::lab::OneLine(whyNot).c_str());
    std::fflush(stdout);
    return 1;
  }
  std::vector<std::unique_ptr<chromaset::lab::SimNode>> nodes;
  for (const int host : hosts)
    nodes.push_back(std::make_unique<chromaset::lab::SimNode>(*lab, host));
  std::printf("ready %lu %lu", chromaset::lab::FdInode(lab->SwitchNetnsFd()),
              chromaset::lab::FdInode(lab->ControllerNetnsFd()));
  for (const int host : hosts) std::printf(" %lu", chromaset::lab::FdInode(lab->NodeNetnsFd(host)));
  std::printf("\n");
  std::fflush(stdout);
  for (;;) ::pause();
}

int PollAndList() {
  // Only ever inside a lab: the namespace must hold nothing but lo and the lab link.
  const int self = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
  std::string whyNot;
  if (::if_nametoindex(chromaset::lab::kLabLink) == 0) whyNot = "no lab link";
  if (self < 0 || !whyNot.empty() ||
      !chromaset::lab::CheckIsolated(self, {chromaset::lab::kLabLink}, whyNot)) {
    std::fprintf(stderr, "lab_tests --poll-and-list: not inside a lab: %s\n", whyNot.c_str());
    return 2;
  }
  ::close(self);
  chromaset::lab::ScopedFd socket(chromaset::lab::OpenArtNetSocket());
  if (socket.get() < 0 || !chromaset::lab::SendDatagram(socket.get(), chromaset::lab::kBroadcast,
                                                        chromaset::test::MakeArtPoll())) {
    std::perror("lab_tests --poll-and-list");
    return 3;
  }
  for (const chromaset::lab::Datagram& d :
       chromaset::lab::ReceiveDatagrams(socket.get(), 100, std::chrono::milliseconds(500))) {
    if (chromaset::test::ArtNetOpCode(d.bytes) != chromaset::test::kTestOpPollReply ||
        d.bytes.size() < 108) {
      continue;
    }
    const char* name = reinterpret_cast<const char*>(d.bytes.data() + 44);
    std::printf("%s %02x%02x %.*s\n", chromaset::lab::FormatIpv4(d.from).c_str(), d.bytes[24],
                d.bytes[25], static_cast<int>(strnlen(name, 64)), name);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--hold-lab") == 0) return HoldLab(argc, argv);
  if (argc == 2 && std::strcmp(argv[1], "--poll-and-list") == 0) return PollAndList();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
