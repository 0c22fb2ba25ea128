#include "node_table.h"

#include <cstring>

#include "artnet_packets.h"

namespace chromaset {
namespace {

constexpr std::size_t kNoSlot = kNodeSlots;

void CopyReceived(std::uint8_t* to, const std::uint8_t* reply, std::size_t length,
                  std::size_t offset, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) to[i] = ReceivedByte(reply, length, offset + i);
}

void CopyReceived(char* to, const std::uint8_t* reply, std::size_t length, std::size_t offset,
                  std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    to[i] = static_cast<char>(ReceivedByte(reply, length, offset + i));
  }
}

// Writes every filled field of record from the reply; the never-filled bytes stay as they are.
void WriteRecord(NodeRecord& record, const std::uint8_t* reply, std::size_t length) {
  auto at = [&](std::size_t i) { return ReceivedByte(reply, length, i); };
  CopyReceived(record.IpAddress, reply, length, kReplyOffsetIpAddress, 4);
  record.Port = static_cast<std::uint16_t>(at(kReplyOffsetPort) | at(kReplyOffsetPort + 1) << 8);
  record.Status1 = at(kReplyOffsetStatus1);
  // The first byte on the wire becomes the high byte: the filter accepts both orders.
  record.EstaMan =
      static_cast<std::uint16_t>(at(kReplyOffsetEstaManLo) * 256 + at(kReplyOffsetEstaManHi));
  CopyReceived(record.ShortName, reply, length, kReplyOffsetShortName, kReplyShortNameSize);
  CopyReceived(record.LongName, reply, length, kReplyOffsetLongName, kReplyLongNameSize);
  record.NumPorts = at(kReplyOffsetNumPortsLo);
  CopyReceived(record.PortTypes, reply, length, kReplyOffsetPortTypes, kReplyPortFieldSize);
  CopyReceived(record.GoodInput, reply, length, kReplyOffsetGoodInput, kReplyPortFieldSize);
  CopyReceived(record.GoodOutput, reply, length, kReplyOffsetGoodOutput, kReplyPortFieldSize);
  CopyReceived(record.SwIn, reply, length, kReplyOffsetSwIn, kReplyPortFieldSize);
  CopyReceived(record.SwOut, reply, length, kReplyOffsetSwOut, kReplyPortFieldSize);
  CopyReceived(record.Mac, reply, length, kReplyOffsetMac, kReplyMacSize);
  record.Status2 = at(kReplyOffsetStatus2);
}

}  // namespace

bool NodeTable::ApplyPollReply(const std::uint8_t* reply, std::size_t length) {
  if (reply == nullptr || length < kReplyMinimumSize) return false;

  std::uint8_t address[4];
  CopyReceived(address, reply, length, kReplyOffsetIpAddress, 4);
  const std::uint16_t port =
      static_cast<std::uint16_t>(reply[kReplyOffsetPort] | reply[kReplyOffsetPort + 1] << 8);

  std::lock_guard<std::mutex> guard(m_lock);
  std::size_t firstFree = kNoSlot;
  std::size_t match = kNoSlot;
  for (std::size_t slot = 0; slot < kNodeSlots; ++slot) {
    const NodeRecord& record = m_slots[slot];
    if (firstFree == kNoSlot && !IsInUse(record)) firstFree = slot;
    // Every slot counts here, in use or not: the first one holding the address wins.
    if (match == kNoSlot && std::memcmp(record.IpAddress, address, 4) == 0) match = slot;
  }

  const std::size_t target = match != kNoSlot ? match : firstFree;
  if (target == kNoSlot) return false;  // full, and the node is not one of ours
  // Writing Port 0 over a node in use would free its slot and hide every node after it.
  if (port == 0 && IsInUse(m_slots[target])) return false;

  WriteRecord(m_slots[target], reply, length);
  return true;
}

NodeRecord NodeTable::Record(std::size_t slot) const {
  if (slot >= kNodeSlots) return NodeRecord{};
  std::lock_guard<std::mutex> guard(m_lock);
  return m_slots[slot];
}

void NodeTable::Snapshot(NodeSnapshot& out) const {
  std::lock_guard<std::mutex> guard(m_lock);
  out = m_slots;
}

void ProcessDatagram(const std::uint8_t* data, std::size_t length, NodeTable& table) {
  if (RecogniseArtNet(data, length) != kOpPollReply) return;
  table.ApplyPollReply(data, length);
}

}  // namespace chromaset
