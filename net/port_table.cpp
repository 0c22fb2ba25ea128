#include "port_table.h"

#include <algorithm>
#include <cstdio>

namespace chromaset {
namespace {

constexpr std::uint8_t kRootBindIndex = 1;

bool Silent(const PortEntry& entry, PortTime now) { return now - entry.lastReply >= kNodeSilence; }

}  // namespace

bool ReadPortEntry(const std::uint8_t* reply, std::size_t length, PortEntry& entry) {
  if (reply == nullptr || length < kReplyMinimumSize) return false;
  auto at = [&](std::size_t i) { return ReceivedByte(reply, length, i); };
  entry = PortEntry{};
  for (int i = 0; i < 4; ++i) entry.ip[static_cast<std::size_t>(i)] = at(kReplyOffsetIpAddress + i);
  const std::uint8_t bind = at(kReplyOffsetBindIndex);
  entry.bindIndex = bind == 0 ? kRootBindIndex : bind;
  const unsigned ports = at(kReplyOffsetNumPortsHi) * 256u + at(kReplyOffsetNumPortsLo);
  const unsigned universeBase =
      (at(kReplyOffsetNetSwitch) & 0x7Fu) << 8 | (at(kReplyOffsetSubSwitch) & 0x0Fu) << 4;
  for (unsigned port = 0; port < std::min(ports, unsigned{kPortsPerReply}); ++port) {
    if ((at(kReplyOffsetPortTypes + port) & kPortTypeOutput) == 0) continue;
    entry.outputs[static_cast<std::size_t>(entry.outputCount++)] =
        static_cast<std::uint16_t>(universeBase | (at(kReplyOffsetSwOut + port) & 0x0Fu));
  }
  return true;
}

std::array<char, 12> PortAddressText(int portAddress) {
  std::array<char, 12> text{};
  (void)std::snprintf(text.data(), text.size(), "%d:%d:%d", (portAddress >> 8) & 0x7F,
                      (portAddress >> 4) & 0x0F, portAddress & 0x0F);
  return text;
}

PortTable::Update PortTable::ApplyPollReply(const std::uint8_t* reply, std::size_t length,
                                            PortTime now) {
  PortEntry heard;
  if (!ReadPortEntry(reply, length, heard)) return Update::kIgnored;
  heard.lastReply = now;

  std::lock_guard<std::mutex> guard(m_lock);
  PortEntry* const end = m_entries.data() + m_used;
  PortEntry* target = std::find_if(m_entries.data(), end, [&](const PortEntry& e) {
    return e.ip == heard.ip && e.bindIndex == heard.bindIndex;
  });
  bool changed = true;
  if (target != end) {
    changed = Silent(*target, now) || target->outputCount != heard.outputCount ||
              target->outputs != heard.outputs;
  } else if (m_used < m_entries.size()) {
    ++m_used;
  } else {
    // Full: the entry silent longest may give way, a node still heard never does.
    target = std::min_element(
        m_entries.begin(), m_entries.end(),
        [](const PortEntry& a, const PortEntry& b) { return a.lastReply < b.lastReply; });
    if (!Silent(*target, now)) {
      if (m_dropped++ == 0) {
        (void)std::fprintf(
            stderr,
            "chromaset: more than %zu Art-Net ports answered; the ones after that are "
            "not sent to\n",
            kPortEntries);
      }
      return Update::kDropped;
    }
  }
  *target = heard;
  if (!changed) return Update::kRefreshed;
  ++m_generation;
  return Update::kChanged;
}

void PortTable::Snapshot(std::vector<PortEntry>& out) const {
  std::lock_guard<std::mutex> guard(m_lock);
  out.assign(m_entries.begin(), m_entries.begin() + static_cast<std::ptrdiff_t>(m_used));
}

std::vector<int> PortTable::OutputsOf(const Ipv4Bytes& ip) const {
  std::vector<int> outputs;
  {
    std::lock_guard<std::mutex> guard(m_lock);
    for (std::size_t i = 0; i < m_used; ++i) {
      const PortEntry& entry = m_entries[i];
      if (entry.ip != ip) continue;
      outputs.insert(outputs.end(), entry.outputs.begin(),
                     entry.outputs.begin() + entry.outputCount);
    }
  }
  std::sort(outputs.begin(), outputs.end());
  outputs.erase(std::unique(outputs.begin(), outputs.end()), outputs.end());
  return outputs;
}

std::uint64_t PortTable::Generation() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_generation;
}

std::size_t PortTable::Dropped() const {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_dropped;
}

void ProcessDatagram(const std::uint8_t* data, std::size_t length, NodeTable& nodes,
                     PortTable& ports, PortTime now) {
  if (RecogniseArtNet(data, length) != kOpPollReply) return;
  nodes.ApplyPollReply(data, length);
  ports.ApplyPollReply(data, length, now);
}

}  // namespace chromaset
