// The isolated test network: a lab of anonymous network namespaces joined by one bridge, in
// which socket tests (and the lab runner) talk Art-Net without any packet reaching a real
// network. The namespaces are held only by file descriptors of this process, so they vanish
// with it, however it ends.
//
//   controller 2.0.0.1/8  --veth--+
//   node 2.0.0.h/8        --veth--+-- bridge (in a "switch" namespace of its own)
//
// Each host sees only `lo` and its end of the veth, named kLabLink, with a default route
// through it (a send to 255.255.255.255 needs one).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace chromaset::lab {

inline constexpr const char* kLabLink = "lab0";  // each host's end of its veth
inline constexpr int kControllerHost = 1;        // 2.0.0.1

using Ipv4 = std::array<std::uint8_t, 4>;  // first octet first
inline Ipv4 HostAddress(int host) { return {2, 0, 0, static_cast<std::uint8_t>(host)}; }
std::string FormatIpv4(const Ipv4& address);

// The inode of the network namespace the calling thread is in (0 when it cannot be read).
unsigned long CurrentNetnsInode();
// The inode of what fd refers to (a namespace descriptor: its identity); 0 on failure.
unsigned long FdInode(int fd);

// Checks, from inside the namespace of netnsFd, that it holds no link but `lo` and the names in
// allowedLinks and that every route leaves through one of allowedLinks (IPv6 may also use
// `lo`). False with a one-line reason otherwise.
bool CheckIsolated(int netnsFd, const std::vector<std::string>& allowedLinks, std::string& whyNot);

// Makes a fresh, empty network namespace and returns a descriptor holding it (-1 and a reason
// on failure). It lives as long as the descriptor or anything inside it.
int MakeNetns(std::string& whyNot);

// Runs `ip -batch -` with script on its standard input inside the namespace of netnsFd (the
// calling process's own namespace is never used). False with ip's first error line otherwise.
bool RunIpBatch(int netnsFd, const std::string& script, std::string& whyNot);

// "/proc/<pid>/fd/<fd>": a path other processes (ip) can open to reach one of our namespaces.
std::string NetnsPath(int netnsFd);

class Lab {
 public:
  // Controller host 2.0.0.1/8 and one node host 2.0.0.<h>/8 per entry of nodeHosts (2..254,
  // distinct), all on one bridge; nullptr and a one-line reason when the lab cannot be made or
  // is not isolated.
  static std::unique_ptr<Lab> Create(const std::vector<int>& nodeHosts, std::string& whyNot);
  ~Lab();
  Lab(const Lab&) = delete;
  Lab& operator=(const Lab&) = delete;

  // RAII: moves the calling thread into a lab namespace (setns) and back when it ends. A thread
  // that cannot be moved aborts the process rather than go on in the wrong namespace.
  class Scope {
   public:
    explicit Scope(int netnsFd);
    ~Scope();
    Scope(Scope&& other) noexcept;
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    Scope& operator=(Scope&&) = delete;

   private:
    int m_previous = -1;  // the namespace to return to
  };
  Scope EnterController() const;
  Scope EnterNode(int host) const;

  int ControllerNetnsFd() const { return m_controller; }
  int SwitchNetnsFd() const { return m_switch; }  // holds the bridge; no host lives there
  int NodeNetnsFd(int host) const;                // -1 for a host that is not in the lab

 private:
  Lab() = default;
  bool Build(std::string& whyNot);
  bool WaitUntilConnected(std::string& whyNot) const;

  int m_switch = -1;
  int m_controller = -1;
  std::vector<int> m_nodeHosts;
  std::vector<int> m_nodes;  // descriptors, parallel to m_nodeHosts
};

// True when the environment variable CI is "true": a lab test that cannot run then fails.
bool InCi();
// whyNot on one line, for a skip or failure message.
std::string OneLine(const std::string& text);

}  // namespace chromaset::lab

// In a gtest body: makes `lab` (a std::unique_ptr<Lab>) or skips with the reason on one line;
// under CI=true it fails instead, so CI always runs every lab test.
//   CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
#define CHROMASET_LAB_OR_SKIP(labVar, ...)                                                       \
  std::string labVar##WhyNot;                                                                    \
  auto labVar = ::chromaset::lab::Lab::Create(std::vector<int> __VA_ARGS__, labVar##WhyNot);     \
  if (!labVar) {                                                                                 \
    if (::chromaset::lab::InCi()) {                                                              \
      GTEST_FAIL() << "lab unavailable under CI: " << ::chromaset::lab::OneLine(labVar##WhyNot); \
    } else {                                                                                     \
      GTEST_SKIP() << "lab unavailable: " << ::chromaset::lab::OneLine(labVar##WhyNot);          \
    }                                                                                            \
  }                                                                                              \
  static_assert(true, "")
