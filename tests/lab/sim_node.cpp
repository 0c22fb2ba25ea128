#include "sim_node.h"

#include "lab_sockets.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace chromaset::lab {
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
}

SimNode::SimNode(const Lab& lab, int host, ReplyConfig config)
    : m_host(host), m_config(std::move(config)) {
  if (lab.NodeNetnsFd(host) < 0) {
    m_error = "host " + std::to_string(host) + " is not a node of the lab";
    return;
  }
  int error = 0;
  {
    // The socket belongs to the namespace it is made in; the thread returns at once.
    const Lab::Scope inNode = lab.EnterNode(host);
    m_socket = OpenArtNetSocket();
    error = errno;
  }
  if (m_socket < 0) {
    m_error = std::string("node socket set-up: ") + std::strerror(error);
    return;
  }
  m_thread = std::thread([this] { ReceiveLoop(); });
}

SimNode::~SimNode() {
  if (m_socket < 0) return;
  {
    std::lock_guard<std::mutex> hold(m_lock);
    m_stopping = true;
  }
  m_stopSignal.notify_all();
  // Wakes the blocked receive, which then returns 0.
  ::shutdown(m_socket, SHUT_RDWR);
  m_thread.join();
  ::close(m_socket);
}

void SimNode::ReceiveLoop() {
  std::vector<std::uint8_t> buffer(65536);
  for (;;) {
    Datagram datagram;
    const long n = ReceiveDatagram(m_socket, buffer, datagram);
    if (m_stopping) return;
    if (n < 0) {
      if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    const bool isPoll = test::ArtNetOpCode(datagram.bytes) == test::kTestOpPoll;

    std::unique_lock<std::mutex> hold(m_lock);
    m_received.push_back(datagram);
    if (!isPoll) continue;
    ++m_polls;
    if (!m_config.answer) continue;
    const std::vector<std::uint8_t> reply = ReplyBytesLocked();
    if (m_stopSignal.wait_for(hold, m_config.delay, [this] { return m_stopping.load(); })) return;
    ++m_replies;
    hold.unlock();
    // Unchecked: a lost reply shows in the test as a node that never answered.
    SendDatagram(m_socket, datagram.from, reply, datagram.fromPort);
  }
}

std::vector<std::uint8_t> SimNode::ReplyBytesLocked() const {
  if (!m_config.raw.empty()) return m_config.raw;
  test::PollReplyFields fields;
  fields.ip = m_config.ip.value_or(HostAddress(m_host));
  fields.port = m_config.port;
  fields.esta24 = m_config.esta24;
  fields.esta25 = m_config.esta25;
  fields.shortName = m_config.shortName.value_or("Sim " + std::to_string(m_host));
  fields.longName = m_config.longName.value_or("Simulated node " + FormatIpv4(HostAddress(m_host)));
  fields.mac = m_config.mac.value_or(
      std::array<std::uint8_t, 6>{0x02, 0x4C, 0x41, 0x42, 0x00, static_cast<std::uint8_t>(m_host)});
  fields.status1 = m_config.status1;
  fields.status2 = m_config.status2;
  fields.length = m_config.length;
  return test::MakeArtPollReply(fields);
}

std::vector<std::uint8_t> SimNode::ReplyBytes() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return ReplyBytesLocked();
}

void SimNode::SetReplyConfig(const ReplyConfig& config) {
  std::lock_guard<std::mutex> hold(m_lock);
  m_config = config;
}

std::vector<Datagram> SimNode::Received() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_received;
}

std::vector<Datagram> SimNode::DmxFrames() const {
  std::lock_guard<std::mutex> hold(m_lock);
  std::vector<Datagram> frames;
  for (const Datagram& d : m_received) {
    if (test::ArtNetOpCode(d.bytes) == test::kTestOpDmx) frames.push_back(d);
  }
  return frames;
}

std::size_t SimNode::PollsSeen() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_polls;
}

std::size_t SimNode::RepliesSent() const {
  std::lock_guard<std::mutex> hold(m_lock);
  return m_replies;
}

void SimNode::ClearReceived() {
  std::lock_guard<std::mutex> hold(m_lock);
  m_received.clear();
  m_polls = 0;
  m_replies = 0;
}

bool SimNode::SendTo(const Ipv4& to, std::uint16_t port, const std::uint8_t* data,
                     std::size_t size) {
  return m_socket >= 0 && SendDatagram(m_socket, to, data, size, port);
}

}  // namespace chromaset::lab
