#include "lab.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace chromaset::lab {
namespace {

constexpr const char* kBridge = "labbr";
constexpr const char* kThreadNetns = "/proc/thread-self/ns/net";

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// The switch namespace's end of host h's veth.
std::string SwitchPort(int host) { return "labh" + std::to_string(host); }

const char* IpProgram() {
  static const char* const path = [] {
    for (const char* candidate : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"}) {
      if (::access(candidate, X_OK) == 0) return candidate;
    }
    return static_cast<const char*>(nullptr);
  }();
  return path;
}

// A memory file with text in it, positioned at its start (-1 on failure).
int MemoryFile(const char* name, const std::string& text) {
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) return -1;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ::close(fd);
      return -1;
    }
    done += static_cast<std::size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string ReadAll(int fd) {
  std::string text;
  ::lseek(fd, 0, SEEK_SET);
  char chunk[512];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof(chunk));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(chunk, static_cast<std::size_t>(n));
  }
  return text;
}

bool IsAllowed(const std::string& name, const std::vector<std::string>& allowed) {
  return std::find(allowed.begin(), allowed.end(), name) != allowed.end();
}

// The checks of CheckIsolated, run on a thread that is already inside the namespace.
bool CheckFromInside(unsigned long expectedInode, const std::vector<std::string>& allowedLinks,
                     std::string& whyNot) {
  if (expectedInode == 0 || CurrentNetnsInode() != expectedInode) {
    whyNot = "could not enter the namespace to check it";
    return false;
  }
  struct if_nameindex* links = ::if_nameindex();
  if (links == nullptr) {
    whyNot = Errno("cannot list the links (if_nameindex)");
    return false;
  }
  std::string foreign;
  for (const struct if_nameindex* entry = links; entry->if_index != 0; ++entry) {
    const std::string name = entry->if_name;
    if (name != "lo" && !IsAllowed(name, allowedLinks))
      foreign += (foreign.empty() ? "" : ",") + name;
  }
  ::if_freenameindex(links);
  if (!foreign.empty()) {
    whyNot = "the namespace holds a link that is not the lab's: " + foreign;
    return false;
  }

  // IPv4 routes (main table): every one must leave through a lab link, never through lo or
  // anything else.
  std::ifstream route("/proc/thread-self/net/route");
  if (!route) {
    whyNot = "cannot read /proc/thread-self/net/route";
    return false;
  }
  std::string line;
  std::getline(route, line);  // header
  while (std::getline(route, line)) {
    std::istringstream fields(line);
    std::string device;
    fields >> device;
    if (device.empty()) continue;
    if (!IsAllowed(device, allowedLinks)) {
      whyNot = "the namespace has an IPv4 route through " + device + ": " + OneLine(line);
      return false;
    }
  }
  // IPv6 routes of all tables (the file is absent when IPv6 is off): lo carries the local ones.
  std::ifstream route6("/proc/thread-self/net/ipv6_route");
  while (route6 && std::getline(route6, line)) {
    std::istringstream fields(line);
    std::string field;
    std::string device;
    while (fields >> field) device = field;
    if (device.empty()) continue;
    if (device != "lo" && !IsAllowed(device, allowedLinks)) {
      whyNot = "the namespace has an IPv6 route through " + device;
      return false;
    }
  }
  return true;
}

// Probes run on their own port, so nothing a test binds later ever sees them.
constexpr std::uint16_t kProbePort = 47999;
constexpr auto kConnectTimeout = std::chrono::seconds(10);

sockaddr_in ProbeAddress(std::uint32_t hostOrderAddress) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(kProbePort);
  address.sin_addr.s_addr = htonl(hostOrderAddress);
  return address;
}

// A non-blocking UDP socket on the probe port in the namespace of netnsFd (-1 on failure).
int ProbeSocket(int netnsFd) {
  int fd = -1;
  {
    const Lab::Scope inside(netnsFd);
    fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  }
  if (fd < 0) return -1;
  const int on = 1;
  const sockaddr_in any = ProbeAddress(INADDR_ANY);
  if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof(any)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

std::string FormatIpv4(const Ipv4& address) {
  return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." +
         std::to_string(address[2]) + "." + std::to_string(address[3]);
}

unsigned long FdInode(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<unsigned long>(st.st_ino) : 0;
}

unsigned long CurrentNetnsInode() {
  struct stat st {};
  return ::stat(kThreadNetns, &st) == 0 ? static_cast<unsigned long>(st.st_ino) : 0;
}

bool InCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && std::strcmp(ci, "true") == 0;
}

std::string OneLine(const std::string& text) {
  std::string line = text;
  std::replace(line.begin(), line.end(), '\n', ' ');
  std::replace(line.begin(), line.end(), '\r', ' ');
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string NetnsPath(int netnsFd) {
  return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(netnsFd);
}

int MakeNetns(std::string& whyNot) {
  const unsigned long callerInode = CurrentNetnsInode();
  int fd = -1;
  std::string reason;
  // unshare() moves only the calling thread, so a short-lived thread makes the namespace and
  // hands back a descriptor; the caller never leaves its own.
  std::thread maker([&] {
    if (::unshare(CLONE_NEWNET) != 0) {
      reason = Errno("cannot create a network namespace (unshare CLONE_NEWNET)") +
               "; run as root or under scripts/isolated";
      return;
    }
    fd = ::open(kThreadNetns, O_RDONLY | O_CLOEXEC);
    if (fd < 0) reason = Errno("cannot open the new namespace");
  });
  maker.join();
  if (fd < 0) {
    whyNot = reason;
    return -1;
  }
  const unsigned long inode = FdInode(fd);
  if (callerInode == 0 || inode == 0 || inode == callerInode) {
    ::close(fd);
    whyNot = "the new namespace cannot be told apart from the caller's";
    return -1;
  }
  return fd;
}

bool RunIpBatch(int netnsFd, const std::string& script, std::string& whyNot) {
  const char* ip = IpProgram();
  if (ip == nullptr) {
    whyNot = "the ip program (iproute2) is not installed";
    return false;
  }
  if (netnsFd < 0) {
    whyNot = "no namespace to configure";
    return false;
  }
  const int input = MemoryFile("lab-ip-script", script);
  const int errors = MemoryFile("lab-ip-errors", "");
  if (input < 0 || errors < 0) {
    whyNot = Errno("memfd_create");
    if (input >= 0) ::close(input);
    if (errors >= 0) ::close(errors);
    return false;
  }
  char arg0[] = "ip";
  char arg1[] = "-batch";
  char arg2[] = "-";
  char* const argv[] = {arg0, arg1, arg2, nullptr};

  const pid_t child = ::fork();
  if (child == 0) {
    // Only async-signal-safe calls until exec. The namespace comes first: ip must never run
    // in ours.
    if (::setns(netnsFd, CLONE_NEWNET) != 0) ::_exit(126);
    if (::dup2(input, 0) < 0 || ::dup2(errors, 1) < 0 || ::dup2(errors, 2) < 0) ::_exit(126);
    ::execv(ip, argv);
    ::_exit(127);
  }
  ::close(input);
  if (child < 0) {
    whyNot = Errno("fork");
    ::close(errors);
    return false;
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string output = ReadAll(errors);
  ::close(errors);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 126) {
    whyNot = "cannot enter the lab namespace to configure it";
  } else if (WIFEXITED(status) && WEXITSTATUS(status) == 127) {
    whyNot = std::string("cannot run ") + ip;
  } else {
    const std::string first = output.substr(0, output.find('\n'));
    whyNot = "ip failed (status " + std::to_string(status) + "): " + OneLine(first);
  }
  return false;
}

bool CheckIsolated(int netnsFd, const std::vector<std::string>& allowedLinks, std::string& whyNot) {
  const unsigned long inode = FdInode(netnsFd);
  bool ok = false;
  std::string reason;
  std::thread checker([&] {
    if (::setns(netnsFd, CLONE_NEWNET) != 0) {
      reason = Errno("cannot enter the namespace to check it (setns)");
      return;
    }
    ok = CheckFromInside(inode, allowedLinks, reason);
  });
  checker.join();
  if (!ok) whyNot = reason;
  return ok;
}

Lab::Scope::Scope(int netnsFd) {
  m_previous = ::open(kThreadNetns, O_RDONLY | O_CLOEXEC);
  if (m_previous < 0 || ::setns(netnsFd, CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "lab: %s; stopping rather than using the wrong network\n",
                 Errno("cannot enter a lab namespace").c_str());
    std::abort();
  }
}

Lab::Scope::Scope(Scope&& other) noexcept : m_previous(other.m_previous) { other.m_previous = -1; }

Lab::Scope::~Scope() {
  if (m_previous < 0) return;
  if (::setns(m_previous, CLONE_NEWNET) != 0) {
    std::fprintf(stderr, "lab: %s\n", Errno("cannot leave a lab namespace").c_str());
    std::abort();
  }
  ::close(m_previous);
}

Lab::Scope Lab::EnterController() const { return Scope(m_controller); }

Lab::Scope Lab::EnterNode(int host) const {
  const int fd = NodeNetnsFd(host);
  if (fd < 0) {
    std::fprintf(stderr, "lab: host %d is not a node of this lab\n", host);
    std::abort();
  }
  return Scope(fd);
}

int Lab::NodeNetnsFd(int host) const {
  for (std::size_t i = 0; i < m_nodeHosts.size(); ++i) {
    if (m_nodeHosts[i] == host) return m_nodes[i];
  }
  return -1;
}

Lab::~Lab() {
  for (const int fd : m_nodes) ::close(fd);
  if (m_controller >= 0) ::close(m_controller);
  if (m_switch >= 0) ::close(m_switch);
}

std::unique_ptr<Lab> Lab::Create(const std::vector<int>& nodeHosts, std::string& whyNot) {
  std::set<int> seen;
  for (const int host : nodeHosts) {
    if (host < 2 || host > 254 || !seen.insert(host).second) {
      whyNot = "node hosts must be distinct numbers 2..254 (got " + std::to_string(host) + ")";
      return nullptr;
    }
  }
  std::unique_ptr<Lab> lab(new Lab());
  lab->m_nodeHosts = nodeHosts;
  if (!lab->Build(whyNot)) return nullptr;
  return lab;
}

bool Lab::Build(std::string& whyNot) {
  if ((m_switch = MakeNetns(whyNot)) < 0) return false;
  if ((m_controller = MakeNetns(whyNot)) < 0) return false;
  for (std::size_t i = 0; i < m_nodeHosts.size(); ++i) {
    const int fd = MakeNetns(whyNot);
    if (fd < 0) return false;
    m_nodes.push_back(fd);
  }

  std::vector<std::pair<int, int>> hosts{{kControllerHost, m_controller}};
  for (std::size_t i = 0; i < m_nodeHosts.size(); ++i)
    hosts.emplace_back(m_nodeHosts[i], m_nodes[i]);

  // The switch: a bridge with one veth per host; each veth's other end goes straight into its
  // host's namespace, so it never exists anywhere else.
  std::string wiring = "link set lo up\nlink add " + std::string(kBridge) + " type bridge\n" +
                       "link set " + kBridge + " up\n";
  for (const auto& [host, fd] : hosts) {
    const std::string port = SwitchPort(host);
    wiring += "link add " + port + " type veth peer name " + kLabLink + " netns " + NetnsPath(fd) +
              "\nlink set " + port + " master " + kBridge + "\nlink set " + port + " up\n";
  }
  if (!RunIpBatch(m_switch, wiring, whyNot)) {
    whyNot = "cannot wire the lab: " + whyNot;
    return false;
  }
  for (const auto& [host, fd] : hosts) {
    const std::string address = FormatIpv4(HostAddress(host));
    const std::string setup = "link set lo up\naddr add " + address + "/8 brd + dev " + kLabLink +
                              "\nlink set " + kLabLink + " up\nroute add default dev " + kLabLink +
                              "\n";
    if (!RunIpBatch(fd, setup, whyNot)) {
      whyNot = "cannot configure host " + address + ": " + whyNot;
      return false;
    }
  }
  for (const auto& [host, fd] : hosts) {
    if (!CheckIsolated(fd, {kLabLink}, whyNot)) {
      whyNot = "host " + FormatIpv4(HostAddress(host)) + " is not isolated: " + whyNot;
      return false;
    }
  }
  return WaitUntilConnected(whyNot);
}

bool Lab::WaitUntilConnected(std::string& whyNot) const {
  // A veth carries nothing until the kernel has noticed its carrier (asynchronously, after
  // "up"): until then a send is silently dropped. So the controller broadcasts a probe until
  // every node has echoed it, which proves every link in both directions.
  const int controller = ProbeSocket(m_controller);
  std::vector<int> nodes;
  for (const int fd : m_nodes) nodes.push_back(ProbeSocket(fd));
  const bool opened = controller >= 0 && std::find(nodes.begin(), nodes.end(), -1) == nodes.end();

  std::set<int> echoed;
  const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
  auto nextProbe = std::chrono::steady_clock::now();
  const char probe[] = "lab-probe";
  const char echo[] = "lab-echo";
  while (opened && echoed.size() < m_nodeHosts.size()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) break;
    if (now >= nextProbe) {
      const sockaddr_in everyone = ProbeAddress(INADDR_BROADCAST);
      ::sendto(controller, probe, sizeof(probe), 0, reinterpret_cast<const sockaddr*>(&everyone),
               sizeof(everyone));
      nextProbe = now + std::chrono::milliseconds(20);
    }
    std::vector<pollfd> waits{{controller, POLLIN, 0}};
    for (const int fd : nodes) waits.push_back({fd, POLLIN, 0});
    ::poll(waits.data(), waits.size(), 5);
    char text[32];
    for (const int fd : nodes) {
      sockaddr_in from{};
      socklen_t size = sizeof(from);
      while (::recvfrom(fd, text, sizeof(text), 0, reinterpret_cast<sockaddr*>(&from), &size) ==
             static_cast<ssize_t>(sizeof(probe))) {
        ::sendto(fd, echo, sizeof(echo), 0, reinterpret_cast<const sockaddr*>(&from), size);
        size = sizeof(from);
      }
    }
    sockaddr_in from{};
    socklen_t size = sizeof(from);
    ssize_t got = 0;
    while ((got = ::recvfrom(controller, text, sizeof(text), 0, reinterpret_cast<sockaddr*>(&from),
                             &size)) >= 0) {
      const std::uint32_t address = ntohl(from.sin_addr.s_addr);
      if (got == static_cast<ssize_t>(sizeof(echo)) && std::memcmp(text, echo, sizeof(echo)) == 0 &&
          (address >> 8) == 0x020000) {
        echoed.insert(static_cast<int>(address & 0xFF));
      }
      size = sizeof(from);
    }
  }
  if (controller >= 0) ::close(controller);
  for (const int fd : nodes) {
    if (fd >= 0) ::close(fd);
  }
  if (!opened) {
    whyNot = Errno("cannot open a probe socket in the lab");
    return false;
  }
  if (echoed.size() < m_nodeHosts.size()) {
    std::string silent;
    for (const int host : m_nodeHosts) {
      if (echoed.count(host) == 0) silent += " " + FormatIpv4(HostAddress(host));
    }
    whyNot = "the lab's links did not come up in time; no echo from" + silent;
    return false;
  }
  return true;
}

}  // namespace chromaset::lab
