#include "lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace chromaset::lab {

constexpr const char* kThreadNetns = "/proc/thread-self/ns/net";
const std::vector<std::uint8_t> kProbe{'l', 'a', 'b', '?'};  // echoed by the node namespace
using Clock = std::chrono::steady_clock;

sockaddr_in SocketAddress(const Ipv4& ip, std::uint16_t port) {
  sockaddr_in a{AF_INET, htons(port), {}, {}};
  std::memcpy(&a.sin_addr, ip.data(), 4);
  return a;
}

std::string FormatIpv4(const Ipv4& a) {
  char text[INET_ADDRSTRLEN];
  return ::inet_ntop(AF_INET, a.data(), text, sizeof text);
}

bool InCi() { return std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true"; }

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto end = Clock::now() + timeout;
  while (!condition() && Clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return condition();
}

// `ip -batch` in the calling thread's namespace (the shell and ip start in it), for 30 s at most.
bool RunIp(const std::string& script) {
  return std::system(
             ("PATH=$PATH:/usr/sbin:/sbin timeout 30 ip -batch - <<'END'\n" + script + "END\n")
                 .c_str()) == 0;
}

int MakeNetns(const std::string& script, std::string& whyNot) {
  int fd = -1;
  // unshare moves only the calling thread: a short-lived one makes the namespace.
  std::thread([&] {
    whyNot = "ip -batch failed (or took over 30 s) in a lab namespace";
    if (::unshare(CLONE_NEWNET) != 0)
      whyNot = std::string("cannot make a network namespace (") + std::strerror(errno) +
               "); run as root or under scripts/isolated";
    else if (RunIp(script))
      fd = ::open(kThreadNetns, O_RDONLY | O_CLOEXEC);
  }).join();
  return fd;
}

bool CheckIsolated(int netnsFd, std::string& whyNot) {
  struct stat caller = {}, its = {};
  if (::stat(kThreadNetns, &caller) != 0 || ::fstat(netnsFd, &its) != 0 ||
      its.st_ino == caller.st_ino)
    return whyNot = "it is the caller's own namespace (or cannot be told apart)", false;
  std::thread([&] {
    whyNot = "cannot enter the namespace to check it";
    if (::setns(netnsFd, CLONE_NEWNET) != 0) return;
    whyNot.clear();
    struct if_nameindex* links = ::if_nameindex();
    for (const struct if_nameindex* l = links; l != nullptr && l->if_index != 0; ++l)
      if (l->if_name != std::string("lo") && l->if_name != std::string(kLabLink))
        whyNot = std::string("it holds the link ") + l->if_name;
    if (links != nullptr) ::if_freenameindex(links);
    // IPv4 routes only: every IPv6 route is on lo or lab0 once those are the only links.
    std::ifstream v4("/proc/thread-self/net/route");
    std::string device, rest;
    while (whyNot.empty() && v4 >> device && std::getline(v4, rest))
      if (device != kLabLink && device != "Iface")
        whyNot = "it has an IPv4 route through " + device;
    if (links == nullptr || !v4.is_open()) whyNot = "cannot list its links and routes";
  }).join();
  return whyNot.empty();
}

int OpenArtNetSocket(std::uint16_t port, bool sharing) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), on = 1;
  const sockaddr_in any = SocketAddress({0, 0, 0, 0}, port);
  auto set = [&](int level, int option) {
    return ::setsockopt(fd, level, option, &on, sizeof on) != 0;
  };
  if (fd < 0 || (sharing && (set(SOL_SOCKET, SO_REUSEADDR) || set(SOL_SOCKET, SO_REUSEPORT))) ||
      set(SOL_SOCKET, SO_BROADCAST) || set(IPPROTO_IP, IP_PKTINFO) ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  return fd;
}

void ScopedFd::reset(int next) {
  if (fd >= 0) ::close(fd);
  fd = next;
}

// Aborts rather than go on in the wrong namespace.
void Enter(int netnsFd) {
  if (netnsFd >= 0 && ::setns(netnsFd, CLONE_NEWNET) == 0) return;
  std::perror("lab: cannot move between namespaces; stopping rather than use the wrong network");
  std::abort();
}

Scope::Scope(int netnsFd) : m_previous{::open(kThreadNetns, O_RDONLY | O_CLOEXEC)} {
  Enter(m_previous.fd < 0 ? -1 : netnsFd);
}

Scope::~Scope() { Enter(m_previous.fd); }

Lab::~Lab() {
  m_stopping = true;
  if (m_thread.joinable()) m_thread.join();
}

std::unique_ptr<Lab> Lab::Create(const std::vector<int>& nodeHosts, std::string& whyNot) {
  auto lab = std::make_unique<Lab>();
  // The veth's far end is made straight inside the node namespace: it never exists in ours.
  std::string nodes = "link set lo up\n", up = "link set lab0 up\nroute add default dev lab0\n";
  for (const int h : nodeHosts)
    nodes += "addr add " + FormatIpv4(HostAddress(h)) + "/8 brd + dev lab0\n";
  if ((lab->nodes.fd = MakeNetns("", whyNot)) < 0 ||
      (lab->controller.fd =
           MakeNetns("link set lo up\nlink add lab0 type veth peer name lab0 "
                     "netns /proc/" +
                         std::to_string(::getpid()) + "/fd/" + std::to_string(lab->nodes.fd) +
                         "\naddr add 2.0.0.1/8 brd + dev lab0\n" + up,
                     whyNot)) < 0)
    return nullptr;
  std::optional<Scope> inNodes(std::in_place, lab->nodes.fd);  // 255.255.255.255 needs a route
  if (!RunIp(nodes + up))
    return whyNot = "ip -batch failed (or took over 30 s) in a lab namespace", nullptr;
  inNodes.reset();
  if (!CheckIsolated(lab->controller.fd, whyNot) || !CheckIsolated(lab->nodes.fd, whyNot))
    return whyNot = "a lab namespace is not isolated: " + whyNot, nullptr;
  inNodes.emplace(lab->nodes.fd);  // no socket before the isolation is proven
  lab->m_socket.fd = OpenArtNetSocket();
  inNodes.reset();
  lab->m_thread = std::thread([lab = lab.get()] { lab->Serve(); });
  // A fresh veth drops what is sent before the kernel has seen its carrier: broadcast probes
  // until the node namespace echoes one.
  const Scope inController(lab->controller.fd);
  const ScopedFd probe{OpenArtNetSocket(47999)};
  const sockaddr_in everyone = SocketAddress(kBroadcast, test::kTestArtNetPort);
  pollfd echo{probe.fd, POLLIN, 0};
  for (int tries = 500; !nodeHosts.empty() && tries > 0; --tries) {
    ::sendto(probe.fd, kProbe.data(), kProbe.size(), 0,
             reinterpret_cast<const sockaddr*>(&everyone), sizeof everyone);
    if (lab->m_socket.fd >= 0 && probe.fd >= 0 && ::poll(&echo, 1, 20) > 0) return lab;
  }
  whyNot = "the lab's sockets cannot be opened or its veth did not come up";
  return nodeHosts.empty() && lab->m_socket.fd >= 0 ? std::move(lab) : nullptr;
}

bool Lab::Send(const Ipv4& from, const Ipv4& to, std::uint16_t port,
               const std::vector<std::uint8_t>& bytes) const {
  sockaddr_in destination = SocketAddress(to, port);
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  iovec part{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
  msghdr m{&destination, sizeof destination, &part, 1, control, sizeof control, 0};
  cmsghdr* c = CMSG_FIRSTHDR(&m);
  *c = cmsghdr{CMSG_LEN(sizeof(in_pktinfo)), IPPROTO_IP, IP_PKTINFO};
  std::memcpy(CMSG_DATA(c) + offsetof(in_pktinfo, ipi_spec_dst), from.data(), 4);  // the source
  return ::sendmsg(m_socket.fd, &m, 0) == static_cast<ssize_t>(bytes.size());
}

// Receives each datagram with its sender and (IP_PKTINFO) its destination and hands it on.
void Lab::Serve() {
  static std::uint8_t buffer[65536];
  for (Datagram d; !m_stopping;) {
    pollfd ready{m_socket.fd, POLLIN, 0};  // 20 ms: how soon a stop is noticed
    sockaddr_in from{};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    iovec part{buffer, sizeof buffer};
    msghdr m{&from, sizeof from, &part, 1, control, sizeof control, 0};
    const ssize_t n = ::poll(&ready, 1, 20) > 0 ? ::recvmsg(m_socket.fd, &m, MSG_DONTWAIT) : -1;
    if (n < 0 || CMSG_FIRSTHDR(&m) == nullptr) continue;
    std::memcpy(d.to.data(), CMSG_DATA(CMSG_FIRSTHDR(&m)) + offsetof(in_pktinfo, ipi_addr), 4);
    std::memcpy(d.from.data(), &from.sin_addr, 4);
    d.fromPort = ntohs(from.sin_port);
    d.bytes.assign(buffer, buffer + n);
    d.at = Clock::now();
    if (d.bytes == kProbe) Send({}, d.from, d.fromPort, d.bytes);
    const bool everyone = d.to == kBroadcast || d.to == Ipv4{2, 255, 255, 255};
    std::vector<Datagram> replies;
    const std::lock_guard<std::mutex> hold(m_lock);  // also keeps the replying nodes alive
    for (SimNode* sim : m_sims)
      if (d.bytes != kProbe && (everyone || d.to == sim->Address())) sim->Deliver(d, replies);
    std::stable_sort(replies.begin(), replies.end(), [](auto& a, auto& b) { return a.at < b.at; });
    for (const Datagram& reply : replies) {
      std::this_thread::sleep_until(reply.at);
      Send(reply.from, reply.to, test::kTestArtNetPort, reply.bytes);
    }
  }
}

SimNode::SimNode(const Lab& lab, int host, ReplyConfig config)
    : m_lab(lab), m_host(host), m_config(std::move(config)) {
  const std::lock_guard<std::mutex> hold(lab.m_lock);
  lab.m_sims.push_back(this);
}

SimNode::~SimNode() {
  const std::lock_guard<std::mutex> hold(m_lab.m_lock);
  std::erase(m_lab.m_sims, this);
}

void SimNode::Deliver(const Datagram& d, std::vector<Datagram>& replies) {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_received.push_back(d);
  if (test::ArtNetOpCode(d.bytes) != test::kTestOpPoll || !m_config.answer) return;
  test::PollReply reply(m_config.ip.value_or(Address()));
  reply.Set(test::kAtEsta24, m_config.esta24).Set(test::kAtEsta25, m_config.esta25);
  test::PutText(&reply.bytes[test::kAtShortName], test::kShortNameWidth,
                "Sim " + std::to_string(m_host));
  reply.SetLongName(m_config.longName.value_or("Simulated node " + FormatIpv4(Address())));
  // Art-Net sends replies to port 6454 of the poll's sender.
  const auto answer = [&] {
    replies.push_back(
        {Address(), test::kTestArtNetPort, d.from, reply.Vector(), d.at + m_config.delay});
  };
  if (m_config.ports.empty()) answer();
  for (const test::ReplyPorts& ports : m_config.ports) reply.SetPorts(ports), answer();
}

void SimNode::SetReplyConfig(const ReplyConfig& config) {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_config = config;
}

std::vector<Datagram> SimNode::Received(std::uint16_t opCode) const {
  const std::lock_guard<std::mutex> hold(m_lock);
  std::vector<Datagram> some = m_received;
  std::erase_if(some,
                [&](auto& d) { return opCode != 0 && test::ArtNetOpCode(d.bytes) != opCode; });
  return some;
}

void SimNode::ClearReceived() {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_received.clear();
}

}  // namespace chromaset::lab
