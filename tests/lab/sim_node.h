// A simulated Art-Net node on one lab host: bound to 0.0.0.0:6454 in its own namespace, it
// answers every ArtPoll with a configurable ArtPollReply and records every datagram it gets.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "art_packets.h"
#include "lab.h"

namespace chromaset::lab {

struct ReplyConfig {
  std::optional<Ipv4> ip;  // reported address; default the node's own 2.0.0.h
  std::uint16_t port = test::kTestArtNetPort;
  std::uint8_t esta24 = 0x1A;
  std::uint8_t esta25 = 0x2C;
  std::optional<std::string> shortName;            // default "Sim h"
  std::optional<std::string> longName;             // default "Simulated node 2.0.0.h"
  std::optional<std::array<std::uint8_t, 6>> mac;  // default 02:4C:41:42:00:h
  std::uint8_t status1 = 0;
  std::uint8_t status2 = 0;
  std::size_t length = test::kTestReplyLength;  // 1..1024
  std::vector<std::uint8_t> raw;                // when not empty, sent instead, byte for byte
  std::chrono::milliseconds delay{0};           // between the poll's arrival and the answer
  bool answer = true;                           // false: polls are recorded but not answered
};

// One received datagram.
struct Datagram {
  Ipv4 from{};
  std::uint16_t fromPort = 0;
  Ipv4 to{};  // destination address of the IP header, e.g. 255.255.255.255 for a broadcast
  std::vector<std::uint8_t> bytes;
  std::chrono::steady_clock::time_point at;
};

// Polls condition every millisecond or so until it holds or timeout passes.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout);

class SimNode {
 public:
  SimNode(const Lab& lab, int host, ReplyConfig config = {});
  ~SimNode();  // stops the receiver (shutdown + join) and closes the socket
  SimNode(const SimNode&) = delete;
  SimNode& operator=(const SimNode&) = delete;

  // False (with Error()) when the socket could not be opened and bound in the node namespace.
  bool Ok() const { return m_socket >= 0; }
  const std::string& Error() const { return m_error; }
  int Host() const { return m_host; }
  Ipv4 Address() const { return HostAddress(m_host); }
  int Socket() const { return m_socket; }

  void SetReplyConfig(const ReplyConfig& config);
  // The bytes the node answers a poll with now.
  std::vector<std::uint8_t> ReplyBytes() const;

  std::vector<Datagram> Received() const;
  std::vector<Datagram> DmxFrames() const;  // the received ArtDmx only
  std::size_t PollsSeen() const;
  std::size_t RepliesSent() const;
  void ClearReceived();

  bool WaitFor(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) const {
    return WaitUntil(condition, timeout);
  }

  // Sends raw bytes from this node's port 6454 (garbage, unsolicited replies, broadcasts).
  bool SendTo(const Ipv4& to, std::uint16_t port, const std::uint8_t* data, std::size_t size);
  bool SendTo(const Ipv4& to, std::uint16_t port, const std::vector<std::uint8_t>& bytes) {
    return SendTo(to, port, bytes.data(), bytes.size());
  }

 private:
  void ReceiveLoop();
  std::vector<std::uint8_t> ReplyBytesLocked() const;

  const int m_host;
  int m_socket = -1;
  std::string m_error;
  std::atomic<bool> m_stopping{false};
  mutable std::mutex m_lock;
  std::condition_variable m_stopSignal;
  ReplyConfig m_config;
  std::vector<Datagram> m_received;
  std::size_t m_polls = 0;
  std::size_t m_replies = 0;
  std::thread m_thread;
};

}  // namespace chromaset::lab
