#include "artnet_link.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

namespace chromaset {
namespace {

// After a receive error other than an interrupt, wait this long so a persistent error cannot
// keep a core busy.
constexpr auto kReceiveErrorBackOff = std::chrono::milliseconds(10);

sockaddr_in ArtNetAddress(const Ipv4Bytes& address) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(kArtNetPort);
  // The bytes are first octet first, which is network order: copy them as they are.
  std::memcpy(&to.sin_addr.s_addr, address.data(), address.size());
  return to;
}

bool SendDatagram(int socket, const std::uint8_t* data, std::size_t size,
                  const Ipv4Bytes& destination) {
  const sockaddr_in to = ArtNetAddress(destination);
  const ssize_t sent =
      ::sendto(socket, data, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof(to));
  return sent >= 0;
}

}  // namespace

void ReadLocalAddresses(LocalAddressTable& table) {
  table = LocalAddressTable{};
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) return;
  std::size_t count = 0;
  for (const ifaddrs* entry = list; entry != nullptr && count < table.size();
       entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    sockaddr_in address{};
    std::memcpy(&address, entry->ifa_addr, sizeof(address));
    std::memcpy(table[count].data(), &address.sin_addr.s_addr, 4);
    ++count;
  }
  ::freeifaddrs(list);
}

ArtNetLink::~ArtNetLink() { Close(); }

bool ArtNetLink::OpenArtNetEndpoint() {
  if (IsOpen()) return true;
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_port = htons(kArtNetPort);
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  // No address-reuse option: while another program holds the port, opening fails.
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0) {
    ::close(fd);
    return false;
  }

  // Linux refuses a one-byte value; a refusal only makes broadcasts fail later at sendto.
  const int on = 1;
  (void)::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));

  ReadLocalAddresses(m_localAddresses);
  m_stopping.store(false, std::memory_order_release);
  m_socket = fd;
  return true;
}

bool ArtNetLink::StartReceiver() {
  if (!IsOpen() || m_receiver.joinable()) return false;
  try {
    m_receiver = std::thread(&ArtNetLink::ArtNetReceiverThread, this);
  } catch (const std::system_error&) {
    return false;  // no thread: the table simply stays as it is
  }
  return true;
}

bool ArtNetLink::SendArtPoll() {
  if (!IsOpen()) return false;
  const std::size_t size = BuildArtPoll(m_sendBuffer);
  m_polledAt = std::chrono::steady_clock::now();
  return SendDatagram(m_socket, m_sendBuffer, size, Ipv4Bytes{255, 255, 255, 255});
}

bool ArtNetLink::SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) {
  if (frame == nullptr || frame->Length > kDmxChannels || !IsOpen()) return false;
  const std::size_t size = BuildArtDmx(*frame, m_sendBuffer, sizeof(m_sendBuffer));
  if (size == 0) return false;
  return SendDatagram(m_socket, m_sendBuffer, size, destination);
}

bool ArtNetLink::SendArtSync() {
  if (!IsOpen()) return false;
  const std::size_t size = BuildArtSync(m_sendBuffer);
  return SendDatagram(m_socket, m_sendBuffer, size, Ipv4Bytes{255, 255, 255, 255});
}

void ArtNetLink::Close() {
  m_stopping.store(true, std::memory_order_release);
  if (m_receiver.joinable()) {
    // Wakes the receiver out of a blocked recvfrom; Linux does this for unconnected UDP too
    // (the call itself reports ENOTCONN).
    ::shutdown(m_socket, SHUT_RDWR);
    if (m_receiver.get_id() == std::this_thread::get_id()) return;  // cannot join itself
    m_receiver.join();
  }
  if (m_socket >= 0) {
    ::close(m_socket);
    m_socket = -1;
  }
}

void ArtNetLink::ReceiveArtNetPacket(std::uint8_t* buffer, std::size_t capacity) {
  if (!IsOpen() || buffer == nullptr || capacity == 0) return;
  ssize_t received;
  do {
    sockaddr_in from{};
    socklen_t fromLength = sizeof(from);
    received =
        ::recvfrom(m_socket, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
  } while (received < 0 && errno == EINTR && !m_stopping.load(std::memory_order_acquire));

  if (received < 0 && !m_stopping.load(std::memory_order_acquire)) {
    std::this_thread::sleep_for(kReceiveErrorBackOff);
  }
  // A datagram longer than the buffer arrives cut to its first capacity bytes.
  if (received > static_cast<ssize_t>(capacity)) received = static_cast<ssize_t>(capacity);
  HandleReceived(received, buffer);
}

void ArtNetLink::HandleReceived(long n, const std::uint8_t* buffer) {
  // An error or an empty datagram leaves the table alone: the buffer still holds an earlier
  // datagram that must not be applied twice.
  if (n <= 0 || buffer == nullptr) return;
  ProcessDatagram(buffer, static_cast<std::size_t>(n), m_nodeTable, m_portTable,
                  std::chrono::steady_clock::now());
}

void ArtNetLink::ArtNetReceiverThread() {
  while (!m_stopping.load(std::memory_order_acquire)) {
    ReceiveArtNetPacket(m_receiveBuffer, sizeof(m_receiveBuffer));
  }
}

}  // namespace chromaset
