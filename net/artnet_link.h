// The Art-Net link: the one UDP socket on port 6454, the host's own addresses, the receiver
// thread that fills the node table, and the senders of ArtPoll and ArtDmx.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <thread>

#include "artnet_packets.h"
#include "node_table.h"
#include "port_table.h"

namespace chromaset {

// What the window and the command line say when the endpoint cannot be opened.
inline constexpr char kNetworkFailureText[] =
    "Connection to network failed!\nCheck if Netforge or Luxforge is running.";

inline constexpr std::size_t kLocalAddresses = 10;
using LocalAddressTable = std::array<Ipv4Bytes, kLocalAddresses>;

// Where ArtDmx frames (and the ArtSync after them) go. The window sends through this so its
// rules can be checked without a socket.
class ArtDmxSender {
 public:
  virtual ~ArtDmxSender() = default;
  virtual bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) = 0;
  // One ArtSync to 255.255.255.255: the nodes output the frames they hold together.
  virtual bool SendArtSync() = 0;
};

class ArtNetLink final : public ArtDmxSender {
 public:
  ArtNetLink() = default;
  ~ArtNetLink() override;  // stops the receiver and closes the socket
  ArtNetLink(const ArtNetLink&) = delete;
  ArtNetLink& operator=(const ArtNetLink&) = delete;

  // Opens the socket bound to INADDR_ANY:6454 with broadcasting on and records the host's
  // IPv4 addresses. False when the socket cannot be made or bound; the socket is then closed.
  bool OpenArtNetEndpoint();
  // Starts the receiver thread (once, only on an open link). True when it was started.
  bool StartReceiver();
  // Broadcasts the one ArtPoll to 255.255.255.255:6454.
  bool SendArtPoll();
  // When the last ArtPoll went out: answers are counted from then.
  std::chrono::steady_clock::time_point PolledAt() const { return m_polledAt; }
  // Sends frame as one ArtDmx to destination:6454. False for no frame, Length > 512, a closed
  // link or a send error.
  bool SendArtDmx(const DmxFrame* frame, const Ipv4Bytes& destination) override;
  bool SendArtSync() override;
  // Stops the receiver (shutdown + join) and closes the socket. Idempotent. Call it from the
  // thread that owns the link, never from the receiver.
  void Close();

  // One receive into buffer and its processing (the receiver thread's loop body). Interrupted
  // receives are retried; after any other error it pauses briefly and processes nothing.
  void ReceiveArtNetPacket(std::uint8_t* buffer, std::size_t capacity);
  // Processing of one recvfrom result: only n > 0 bytes are looked at.
  void HandleReceived(long n, const std::uint8_t* buffer);

  bool IsOpen() const { return m_socket >= 0; }
  int Socket() const { return m_socket; }
  NodeTable& Nodes() { return m_nodeTable; }
  const NodeTable& Nodes() const { return m_nodeTable; }
  PortTable& Ports() { return m_portTable; }
  const PortTable& Ports() const { return m_portTable; }
  const LocalAddressTable& LocalAddresses() const { return m_localAddresses; }

 private:
  void ArtNetReceiverThread();

  int m_socket = -1;                                     // ArtNetSocket
  std::uint8_t m_sendBuffer[kPacketBufferSize] = {};     // ArtSendBuffer, UI thread only
  std::uint8_t m_receiveBuffer[kPacketBufferSize] = {};  // ReceiveBuffer, receiver thread only
  NodeTable m_nodeTable;
  PortTable m_portTable;
  LocalAddressTable m_localAddresses{};
  std::thread m_receiver;
  std::atomic<bool> m_stopping{false};
  std::chrono::steady_clock::time_point m_polledAt{};
};

// Fills table with the host's IPv4 addresses that are up and not loopback, in the order the
// system lists them, at most kLocalAddresses; the rest stay 0.0.0.0.
void ReadLocalAddresses(LocalAddressTable& table);

}  // namespace chromaset
