// Small socket helpers for lab tests: a controller-side Art-Net socket without the product's
// code, and timed receives that record the sender and the destination address.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "lab.h"
#include "sim_node.h"

namespace chromaset::lab {

inline constexpr Ipv4 kBroadcast{255, 255, 255, 255};

// Owns one descriptor.
class ScopedFd {
 public:
  explicit ScopedFd(int fd = -1) : m_fd(fd) {}
  ~ScopedFd();
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return m_fd; }
  void reset(int fd = -1);

 private:
  int m_fd;
};

// A UDP socket in the calling thread's namespace, bound to 0.0.0.0:port, with broadcasting and
// destination-address reporting on; with sharing, SO_REUSEADDR and SO_REUSEPORT are set before
// the bind. -1 with errno on failure.
int OpenArtNetSocket(std::uint16_t port = test::kTestArtNetPort, bool sharing = false);

// One datagram to to:port, retried on EINTR.
bool SendDatagram(int fd, const Ipv4& to, const std::uint8_t* data, std::size_t size,
                  std::uint16_t port = test::kTestArtNetPort);
inline bool SendDatagram(int fd, const Ipv4& to, const std::vector<std::uint8_t>& bytes,
                         std::uint16_t port = test::kTestArtNetPort) {
  return SendDatagram(fd, to, bytes.data(), bytes.size(), port);
}

// One receive into buffer, filling out (sender, destination, bytes, time). Returns recvmsg's
// result.
long ReceiveDatagram(int fd, std::vector<std::uint8_t>& buffer, Datagram& out);

// Up to count datagrams, waiting at most timeout in all.
std::vector<Datagram> ReceiveDatagrams(int fd, std::size_t count,
                                       std::chrono::milliseconds timeout);

}  // namespace chromaset::lab
