// The lab tests' main. Besides running the tests it has one helper mode, used by the test that
// kills a process holding a lab:
//   lab_tests --hold-lab H...   makes a lab with nodes H..., prints "ready" and the inodes of its
//                               namespaces on one line, then waits to be killed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "lab.h"
#include "sim_node.h"

namespace {

unsigned long Inode(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<unsigned long>(st.st_ino) : 0;
}

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
  std::printf("ready %lu %lu", Inode(lab->SwitchNetnsFd()), Inode(lab->ControllerNetnsFd()));
  for (const int host : hosts) std::printf(" %lu", Inode(lab->NodeNetnsFd(host)));
  std::printf("\n");
  std::fflush(stdout);
  for (;;) ::pause();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--hold-lab") == 0) return HoldLab(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
