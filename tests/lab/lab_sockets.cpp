#include "lab_sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace chromaset::lab {
namespace {

Ipv4 ToIpv4(in_addr address) {
  Ipv4 bytes{};
  std::memcpy(bytes.data(), &address.s_addr, 4);  // network order is first octet first
  return bytes;
}

}  // namespace

ScopedFd::~ScopedFd() { reset(); }

void ScopedFd::reset(int fd) {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = fd;
}

int OpenArtNetSocket(std::uint16_t port, bool sharing) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(port);
  any.sin_addr.s_addr = htonl(INADDR_ANY);
  if ((sharing && (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0 ||
                   ::setsockopt(fd, SOL_SOCKET, SO_REUSEPORT, &on, sizeof(on)) != 0)) ||
      ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0 ||
      ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on)) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof(any)) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

bool SendDatagram(int fd, const Ipv4& to, const std::uint8_t* data, std::size_t size,
                  std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  std::memcpy(&address.sin_addr.s_addr, to.data(), 4);
  for (;;) {
    if (::sendto(fd, data, size, 0, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) >=
        0) {
      return true;
    }
    if (errno != EINTR) return false;
  }
}

long ReceiveDatagram(int fd, std::vector<std::uint8_t>& buffer, Datagram& out) {
  sockaddr_in from{};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
  iovec part{buffer.data(), buffer.size()};
  msghdr message{};
  message.msg_name = &from;
  message.msg_namelen = sizeof(from);
  message.msg_iov = &part;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof(control);
  const ssize_t n = ::recvmsg(fd, &message, 0);
  if (n < 0) return n;
  out.at = std::chrono::steady_clock::now();
  out.from = ToIpv4(from.sin_addr);
  out.fromPort = ntohs(from.sin_port);
  out.to = Ipv4{};
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
      in_pktinfo info{};
      std::memcpy(&info, CMSG_DATA(c), sizeof(info));
      out.to = ToIpv4(info.ipi_addr);
    }
  }
  const std::size_t kept = std::min(static_cast<std::size_t>(n), buffer.size());
  out.bytes.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept));
  return n;
}

std::vector<Datagram> ReceiveDatagrams(int fd, std::size_t count,
                                       std::chrono::milliseconds timeout) {
  std::vector<Datagram> got;
  std::vector<std::uint8_t> buffer(65536);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (got.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd wait{fd, POLLIN, 0};
    const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    Datagram d;
    if (ReceiveDatagram(fd, buffer, d) >= 0) got.push_back(std::move(d));
  }
  return got;
}

}  // namespace chromaset::lab
