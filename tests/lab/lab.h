// The isolated test network: two anonymous network namespaces joined by one veth pair, in which
// socket tests (and the lab runner) talk Art-Net without any packet reaching a real network.
//
//   controller 2.0.0.1/8  lab0 ==veth== lab0  2.0.0.h/8, every node address (node namespace)
//
// The namespaces are held only by descriptors of this process, so they vanish with it however
// it ends. One socket in the node namespace serves every SimNode, dispatching by destination.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "art_packets.h"

namespace chromaset::lab {

inline constexpr const char* kLabLink = "lab0";
using Ipv4 = std::array<std::uint8_t, 4>;  // first octet first
inline constexpr Ipv4 kBroadcast{255, 255, 255, 255};
inline Ipv4 HostAddress(int host) { return {2, 0, 0, static_cast<std::uint8_t>(host)}; }
std::string FormatIpv4(const Ipv4& a);
bool InCi();  // CI=true: a lab test that cannot run fails instead of skipping

// A fresh network namespace held by the returned descriptor, `ip -batch` script run inside it and
// nowhere else (-1 and why on failure).
int MakeNetns(const std::string& script, std::string& whyNot);
// Checked from inside: not the caller's namespace, no link but lo and lab0, every IPv4 route
// through lab0 (IPv6 also lo). False with a one-line reason otherwise.
bool CheckIsolated(int netnsFd, std::string& whyNot);

// A UDP socket of the calling thread's namespace bound to 0.0.0.0:port, broadcasting and
// reporting destinations (IP_PKTINFO); sharing adds SO_REUSEADDR and SO_REUSEPORT. -1 on failure.
int OpenArtNetSocket(std::uint16_t port = test::kTestArtNetPort, bool sharing = false);
struct ScopedFd {
  int fd = -1;
  ~ScopedFd() { reset(); }
  void reset(int next = -1);
};

struct Datagram {
  Ipv4 from{};
  std::uint16_t fromPort = 0;
  Ipv4 to{};  // the IP header's destination, e.g. 255.255.255.255 for a broadcast
  std::vector<std::uint8_t> bytes;
  std::chrono::steady_clock::time_point at;
};
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

// Moves the calling thread into a namespace and back when it ends; aborts rather than go on in
// the wrong one.
struct Scope {
  explicit Scope(int netnsFd);
  ~Scope();
  ScopedFd m_previous;
};

class SimNode;
struct Lab {
  // Controller 2.0.0.1 and nodes 2.0.0.h (2..254, distinct, else ip fails); nullptr and a one-line
  // reason when the lab cannot be made or is not isolated.
  static std::unique_ptr<Lab> Create(const std::vector<int>& nodeHosts, std::string& whyNot);
  ~Lab();
  Scope EnterController() const { return Scope(controller.fd); }
  ScopedFd controller, nodes;  // the namespaces
  void Serve();
  bool Send(const Ipv4& from, const Ipv4& to, std::uint16_t port,
            const std::vector<std::uint8_t>& bytes) const;

  ScopedFd m_socket;
  mutable std::mutex m_lock;  // guards m_sims
  mutable std::vector<SimNode*> m_sims;
  std::atomic<bool> m_stopping{false};
  std::thread m_thread;
};

struct ReplyConfig {
  std::optional<Ipv4> ip;  // reported address; default the node's own
  std::uint8_t esta24 = 0x1A, esta25 = 0x2C;
  std::optional<std::string> longName;  // default "Simulated node 2.0.0.h"
  std::chrono::milliseconds delay{0};   // between the poll and the answer
  bool answer = true;                   // false: polls are recorded, not answered
  // One reply per entry (a node of many ports answers once per BindIndex); none: one reply
  // without ports.
  std::vector<test::ReplyPorts> ports;
};

// A simulated Art-Net node at 2.0.0.host: records what reaches it and answers each ArtPoll.
class SimNode {
 public:
  SimNode(const Lab& lab, int host, ReplyConfig config = {});
  ~SimNode();

  Ipv4 Address() const { return HostAddress(m_host); }
  void SetReplyConfig(const ReplyConfig& config);
  std::vector<Datagram> Received(std::uint16_t opCode = 0) const;  // 0: all
  std::vector<Datagram> DmxFrames() const { return Received(test::kTestOpDmx); }
  std::size_t PollsSeen() const { return Received(test::kTestOpPoll).size(); }
  void ClearReceived();
  bool WaitFor(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(3)) const {
    return WaitUntil(condition, timeout);
  }
  // Sends from this node's address, port 6454.
  bool SendTo(const Ipv4& to, std::uint16_t port, const std::vector<std::uint8_t>& bytes) const {
    return m_lab.Send(Address(), to, port, bytes);
  }

 private:
  friend struct Lab;
  // Records d; a poll's reply (from this node, due at `at`) goes into replies.
  void Deliver(const Datagram& d, std::vector<Datagram>& replies);

  const Lab& m_lab;
  const int m_host;
  mutable std::mutex m_lock;
  ReplyConfig m_config;
  std::vector<Datagram> m_received;
};

}  // namespace chromaset::lab

// In a gtest body: makes `lab` or skips with the reason on one line (fails under CI=true).
//   CHROMASET_LAB_OR_SKIP(lab, {5, 6, 7});
#define CHROMASET_LAB_OR_SKIP(labVar, ...)                                                        \
  std::string labVar##WhyNot;                                                                     \
  auto labVar = ::chromaset::lab::Lab::Create(std::vector<int> __VA_ARGS__, labVar##WhyNot);      \
  if (!labVar) {                                                                                  \
    if (::chromaset::lab::InCi()) GTEST_FAIL() << "lab unavailable under CI: " << labVar##WhyNot; \
    GTEST_SKIP() << "lab unavailable: " << labVar##WhyNot;                                        \
  }                                                                                               \
  static_assert(true, "")
