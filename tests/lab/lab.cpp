#include "lab.h"

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace chromaset::lab {
namespace {

constexpr const char* kThreadNetns = "/proc/thread-self/ns/net";
constexpr std::uint16_t kProbePort = 47999;  // a port no test binds
using Clock = std::chrono::steady_clock;

std::string Errno(const std::string& what) { return what + ": " + std::strerror(errno); }

unsigned long ThreadNetnsInode() {
  struct stat st {};
  return ::stat(kThreadNetns, &st) == 0 ? st.st_ino : 0;
}

sockaddr_in SocketAddress(const Ipv4& ip, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  std::memcpy(&a.sin_addr, ip.data(), 4);
  return a;
}

// One datagram with its sender and, from IP_PKTINFO, its destination; false when none waits.
bool ReceiveDatagram(int fd, Datagram& d) {
  static thread_local std::uint8_t buffer[65536];
  sockaddr_in from{};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  iovec part{buffer, sizeof buffer};
  msghdr m{&from, sizeof from, &part, 1, control, sizeof control, 0};
  const ssize_t n = ::recvmsg(fd, &m, MSG_DONTWAIT);
  if (n < 0) return false;
  d.at = Clock::now();
  std::memcpy(d.from.data(), &from.sin_addr, 4);
  d.fromPort = ntohs(from.sin_port);
  for (cmsghdr* c = CMSG_FIRSTHDR(&m); c != nullptr; c = CMSG_NXTHDR(&m, c)) {
    if (c->cmsg_type == IP_PKTINFO) {
      std::memcpy(d.to.data(), CMSG_DATA(c) + offsetof(in_pktinfo, ipi_addr), 4);
    }
  }
  d.bytes.assign(buffer, buffer + n);
  return true;
}

}  // namespace

std::string FormatIpv4(const Ipv4& a) {
  return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
         std::to_string(a[3]);
}

bool InCi() { return std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true"; }

std::string OneLine(std::string text) {
  std::replace(text.begin(), text.end(), '\n', ' ');
  return text;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  for (const auto end = Clock::now() + timeout; !condition();) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

int MakeNetns(std::string& whyNot) {
  int fd = -1;
  // unshare moves only the calling thread: a short-lived one makes the namespace.
  std::thread([&] {
    if (::unshare(CLONE_NEWNET) != 0) {
      whyNot = Errno("cannot make a network namespace") + "; run as root or under scripts/isolated";
    } else if ((fd = ::open(kThreadNetns, O_RDONLY | O_CLOEXEC)) < 0) {
      whyNot = Errno("cannot open a new namespace");
    }
  }).join();
  return fd;
}

bool RunIpBatch(int netnsFd, const std::string& script, std::string& whyNot) {
  int in[2];
  whyNot = "cannot feed ip its script";
  if (netnsFd < 0 || script.size() > 4096 || ::pipe2(in, O_CLOEXEC) != 0) return false;
  const bool written = ::write(in[1], script.data(), script.size()) == ssize_t(script.size());
  ::close(in[1]);
  const pid_t child = written ? ::fork() : -1;
  if (child == 0) {  // async-signal-safe calls only; the namespace first, so ip never runs in ours
    if (::setns(netnsFd, CLONE_NEWNET) != 0 || ::dup2(in[0], 0) < 0) ::_exit(126);
    for (const char* ip : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
      ::execl(ip, "ip", "-batch", "-", nullptr);
    }
    ::_exit(127);
  }
  ::close(in[0]);
  int status = -1;
  while (child > 0 && ::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (child > 0)
    whyNot = "ip -batch failed in a lab namespace (status " + std::to_string(status) + ")";
  return false;
}

bool CheckIsolated(int netnsFd, std::string& whyNot) {
  const unsigned long caller = ThreadNetnsInode();
  std::string why = "cannot enter the namespace to check it";
  std::thread([&] {
    if (::setns(netnsFd, CLONE_NEWNET) != 0) return;
    why = "it is the caller's own namespace";
    if (ThreadNetnsInode() == caller) return;
    why.clear();
    if (struct if_nameindex* links = ::if_nameindex()) {
      for (const struct if_nameindex* l = links; l->if_index != 0; ++l) {
        const std::string name = l->if_name;
        if (name != "lo" && name != kLabLink)
          why = "it holds a link that is not the lab's: " + name;
      }
      ::if_freenameindex(links);
    }
    std::ifstream v4("/proc/thread-self/net/route"), v6("/proc/thread-self/net/ipv6_route");
    std::string line, device;
    if (!v4) why = "cannot read its routes";
    while (why.empty() && std::getline(v4, line) && std::istringstream(line) >> device) {
      if (device != kLabLink && device != "Iface") why = "it has an IPv4 route through " + device;
    }
    while (why.empty() && std::getline(v6, line)) {
      device = line.substr(line.rfind(' ') + 1);
      if (device != "lo" && device != kLabLink) why = "it has an IPv6 route through " + device;
    }
  }).join();
  whyNot = why;
  return why.empty();
}

int OpenArtNetSocket(std::uint16_t port, bool sharing) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  const sockaddr_in any = SocketAddress({0, 0, 0, 0}, port);
  auto set = [&](int level, int option) { return ::setsockopt(fd, level, option, &on, sizeof on); };
  if (fd < 0 || (sharing && (set(SOL_SOCKET, SO_REUSEADDR) || set(SOL_SOCKET, SO_REUSEPORT))) ||
      set(SOL_SOCKET, SO_BROADCAST) || set(IPPROTO_IP, IP_PKTINFO) ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    const int error = errno;
    if (fd >= 0) ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

void ScopedFd::reset(int fd) {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
}

Lab::Scope::Scope(int netnsFd) : m_previous(::open(kThreadNetns, O_RDONLY | O_CLOEXEC)) {
  if (m_previous < 0 || ::setns(netnsFd, CLONE_NEWNET) != 0) {
    std::perror("lab: cannot enter a lab namespace; stopping rather than use the wrong network");
    std::abort();
  }
}

Lab::Scope::~Scope() {
  if (m_previous < 0) return;
  if (::setns(m_previous, CLONE_NEWNET) != 0) {
    std::perror("lab: cannot leave a lab namespace");
    std::abort();
  }
  ::close(m_previous);
}

bool Lab::HasNode(int host) const {
  return std::find(m_hosts.begin(), m_hosts.end(), host) != m_hosts.end();
}

Lab::~Lab() {
  m_stopping = true;
  if (m_thread.joinable()) m_thread.join();
  for (const int fd : {m_socket, m_nodes, m_controller}) {
    if (fd >= 0) ::close(fd);
  }
}

std::unique_ptr<Lab> Lab::Create(std::vector<int> nodeHosts, std::string& whyNot) {
  for (const int h : nodeHosts) {
    if (h < 2 || h > 254 || std::count(nodeHosts.begin(), nodeHosts.end(), h) != 1) {
      whyNot = "node hosts must be distinct numbers 2..254";
      return nullptr;
    }
  }
  std::unique_ptr<Lab> lab(new Lab());
  lab->m_hosts = std::move(nodeHosts);
  if (lab->Build(whyNot)) return lab;
  whyNot = OneLine(whyNot);
  return nullptr;
}

bool Lab::Build(std::string& whyNot) {
  if ((m_controller = MakeNetns(whyNot)) < 0 || (m_nodes = MakeNetns(whyNot)) < 0) return false;
  // The veth's far end is made straight inside the node namespace; it never exists elsewhere.
  std::string controller = "link add lab0 type veth peer name lab0 netns /proc/" +
                           std::to_string(::getpid()) + "/fd/" + std::to_string(m_nodes) +
                           "\naddr add 2.0.0.1/8 brd + dev lab0\n";
  std::string nodes;
  for (const int h : m_hosts)
    nodes += "addr add " + FormatIpv4(HostAddress(h)) + "/8 brd + dev lab0\n";
  // A send to 255.255.255.255 needs a route.
  const std::string up = "link set lo up\nlink set lab0 up\nroute add default dev lab0\n";
  if (!RunIpBatch(m_controller, controller + up, whyNot) ||
      !RunIpBatch(m_nodes, nodes + up, whyNot)) {
    return false;
  }
  for (const int fd : {m_controller, m_nodes}) {
    if (!CheckIsolated(fd, whyNot))
      return whyNot = "a lab namespace is not isolated: " + whyNot, false;
  }
  int probes[2];
  for (const int i : {0, 1}) {
    const Scope inside(i == 0 ? m_controller : m_nodes);
    probes[i] = OpenArtNetSocket(kProbePort);
  }
  const ScopedFd controllerProbe(probes[0]), nodeProbe(probes[1]);
  {
    const Scope inside(m_nodes);
    m_socket = OpenArtNetSocket();
  }
  if (m_socket < 0 || probes[0] < 0 || probes[1] < 0)
    return whyNot = "cannot open the lab's sockets", false;
  // A fresh veth drops what is sent before the kernel has seen its carrier: probe until the node
  // side has echoed a broadcast of the controller.
  const sockaddr_in everyone = SocketAddress(kBroadcast, kProbePort);
  bool connected = m_hosts.empty();
  for (const auto end = Clock::now() + std::chrono::seconds(10);
       !connected && Clock::now() < end;) {
    ::sendto(probes[0], "probe", 5, 0, reinterpret_cast<const sockaddr*>(&everyone),
             sizeof everyone);
    pollfd wait{probes[1], POLLIN, 0};
    Datagram d;
    if (::poll(&wait, 1, 20) > 0 && ReceiveDatagram(probes[1], d)) {
      const sockaddr_in back = SocketAddress(d.from, d.fromPort);
      ::sendto(probes[1], "echo", 4, 0, reinterpret_cast<const sockaddr*>(&back), sizeof back);
    }
    wait = {probes[0], POLLIN, 0};
    while (!connected && ::poll(&wait, 1, 20) > 0 && ReceiveDatagram(probes[0], d)) {
      connected = d.bytes == std::vector<std::uint8_t>{'e', 'c', 'h', 'o'};
    }
  }
  if (!connected) return whyNot = "the lab's veth did not come up in time", false;
  m_thread = std::thread([this] { Serve(); });
  return true;
}

bool Lab::Send(const Ipv4& from, const Ipv4& to, std::uint16_t port,
               const std::vector<std::uint8_t>& bytes) const {
  sockaddr_in destination = SocketAddress(to, port);
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
  iovec part{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
  msghdr m{&destination, sizeof destination, &part, 1, control, sizeof control, 0};
  cmsghdr* c = CMSG_FIRSTHDR(&m);
  c->cmsg_level = IPPROTO_IP;
  c->cmsg_type = IP_PKTINFO;
  c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
  // The source address is the simulated node's own.
  std::memcpy(CMSG_DATA(c) + offsetof(in_pktinfo, ipi_spec_dst), from.data(), 4);
  return ::sendmsg(m_socket, &m, 0) == static_cast<ssize_t>(bytes.size());
}

void Lab::Serve() {
  while (!m_stopping) {
    int wait = 50;  // ms; also how soon a stop is noticed
    {
      const std::lock_guard<std::mutex> hold(m_lock);
      for (auto p = m_pending.begin(); p != m_pending.end();) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(p->due - Clock::now());
        if (left.count() > 0) {
          wait = std::min(wait, static_cast<int>(left.count()));
          ++p;
        } else {
          Send(p->from, p->to, p->port, p->bytes);
          p = m_pending.erase(p);
        }
      }
    }
    pollfd ready{m_socket, POLLIN, 0};
    Datagram d;
    if (::poll(&ready, 1, wait) <= 0 || !ReceiveDatagram(m_socket, d)) continue;
    const bool everyone = d.to == kBroadcast || d.to == Ipv4{2, 255, 255, 255};
    const std::lock_guard<std::mutex> hold(m_lock);
    for (SimNode* sim : m_sims) {
      if (!everyone && d.to != sim->Address()) continue;
      if (auto reply = sim->Deliver(d)) m_pending.push_back(std::move(*reply));
    }
  }
}

SimNode::SimNode(const Lab& lab, int host, ReplyConfig config)
    : m_lab(lab), m_host(host), m_config(std::move(config)) {
  if (!lab.HasNode(host)) {
    m_error = "host " + std::to_string(host) + " is not a node of the lab";
    return;
  }
  const std::lock_guard<std::mutex> hold(lab.m_lock);
  lab.m_sims.push_back(this);
}

SimNode::~SimNode() {
  const std::lock_guard<std::mutex> hold(m_lab.m_lock);
  std::erase(m_lab.m_sims, this);
  std::erase_if(m_lab.m_pending, [&](const Lab::Pending& p) { return p.from == Address(); });
}

std::optional<Lab::Pending> SimNode::Deliver(const Datagram& d) {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_received.push_back(d);
  if (test::ArtNetOpCode(d.bytes) != test::kTestOpPoll || !m_config.answer) return std::nullopt;
  std::vector<std::uint8_t> bytes = m_config.raw;
  if (bytes.empty()) {
    test::PollReply reply(m_config.ip.value_or(Address()));
    reply.Set(test::kAtEsta24, m_config.esta24).Set(test::kAtEsta25, m_config.esta25);
    test::PutText(&reply.bytes[test::kAtShortName], test::kShortNameWidth,
                  m_config.shortName.value_or("Sim " + std::to_string(m_host)));
    reply.SetLongName(m_config.longName.value_or("Simulated node " + FormatIpv4(Address())));
    reply.length = std::clamp<std::size_t>(m_config.length, 1, reply.bytes.size());
    bytes = reply.Vector();
  }
  return Lab::Pending{d.at + m_config.delay, Address(), d.from, d.fromPort, std::move(bytes)};
}

void SimNode::SetReplyConfig(const ReplyConfig& config) {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_config = config;
}

std::vector<Datagram> SimNode::Received() const {
  const std::lock_guard<std::mutex> hold(m_lock);
  return m_received;
}

std::vector<Datagram> SimNode::DmxFrames() const {
  std::vector<Datagram> frames = Received();
  std::erase_if(frames,
                [](const Datagram& d) { return test::ArtNetOpCode(d.bytes) != test::kTestOpDmx; });
  return frames;
}

std::size_t SimNode::PollsSeen() const {
  const std::vector<Datagram> all = Received();
  return std::count_if(all.begin(), all.end(), [](const Datagram& d) {
    return test::ArtNetOpCode(d.bytes) == test::kTestOpPoll;
  });
}

void SimNode::ClearReceived() {
  const std::lock_guard<std::mutex> hold(m_lock);
  m_received.clear();
}

bool SimNode::SendTo(const Ipv4& to, std::uint16_t port,
                     const std::vector<std::uint8_t>& bytes) const {
  return Ok() && m_lab.Send(Address(), to, port, bytes);
}

}  // namespace chromaset::lab
