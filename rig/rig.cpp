#include "rig.h"

#include <algorithm>
#include <cstring>

namespace chromaset {

namespace {

constexpr int kLastChannel = static_cast<int>(kDmxChannels);

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

std::string RangeReason(const char* field, int value, int high) {
  return std::string(field) + " must be 0-" + std::to_string(high) + ", not " +
         std::to_string(value);
}

// Code points of a UTF-8 name, or -1 when it is not well-formed UTF-8 (a truncated or
// overlong sequence, a surrogate, past U+10FFFF).
int CountCodePoints(std::string_view text) {
  int count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    std::uint32_t code = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code = lead & 0x07U;
    } else if (lead >= 0xE0) {
      length = 3;
      code = lead & 0x0FU;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2;
      code = lead & 0x1FU;
    } else if (lead >= 0x80) {
      return -1;
    }
    if (lead >= 0xF5 || i + length > text.size()) return -1;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0U) != 0x80U) return -1;
      code = (code << 6) | (next & 0x3FU);
    }
    const std::uint32_t least = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0;
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return -1;
    i += length;
    ++count;
  }
  return count;
}

bool CheckName(const std::string& name, std::string& reason) {
  const int length = CountCodePoints(name);
  if (length < 0) {
    reason = "name: is not valid UTF-8";
    return false;
  }
  if (length < 1 || length > kMaxFixtureName) {
    reason = "name: must have 1 to 32 characters, not " + std::to_string(length);
    return false;
  }
  // A control character would break the one-line lists the name appears in.
  const bool control = std::any_of(name.begin(), name.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
  });
  if (control) {
    reason = "name: must not hold control characters such as a line break";
    return false;
  }
  return true;
}

bool CheckPlace(const Fixture& fixture, std::string& reason) {
  const DmxPatch& patch = fixture.patch;
  if (!InRange(patch.net, 0, kMaxNet)) {
    reason = "universe: " + RangeReason("Net", patch.net, kMaxNet);
    return false;
  }
  if (!InRange(patch.subNet, 0, kMaxSubNet)) {
    reason = "universe: " + RangeReason("Sub-Net", patch.subNet, kMaxSubNet);
    return false;
  }
  if (!InRange(patch.universe, 0, kMaxUniverse)) {
    reason = "universe: " + RangeReason("Universe", patch.universe, kMaxUniverse);
    return false;
  }
  if (!InRange(patch.start, 1, kLastChannel)) {
    reason = "address: must be 1-512, not " + std::to_string(patch.start);
    return false;
  }
  const int count = fixture.layout.Count();
  if (count < 1) {
    reason = "layout: has no channels";
    return false;
  }
  if (count > kLastChannel - patch.start + 1) {
    reason = "address: " + std::to_string(patch.start) + " leaves no room for " +
             std::to_string(count) + " channels";
    return false;
  }
  return true;
}

std::string UniverseText(const DmxPatch& patch) {
  return std::to_string(patch.net) + ":" + std::to_string(patch.subNet) + ":" +
         std::to_string(patch.universe);
}

bool Overlap(const Fixture& a, const Fixture& b) {
  return PortAddress(a.patch) == PortAddress(b.patch) && a.patch.start <= b.LastChannel() &&
         b.patch.start <= a.LastChannel();
}

}  // namespace

Fixture DefaultFixture() {
  Fixture fixture;
  fixture.name = "Fixture 1";
  std::string unused;
  ParseLayout("RGBW", fixture.layout, unused);
  return fixture;
}

Rig::Rig() : m_fixtures{DefaultFixture()}, m_portAddresses{PortAddress(m_fixtures[0].patch)} {}

bool Rig::Check(const Fixture& fixture, int index, std::string& reason) const {
  if (!InRange(index, 0, Count())) {
    reason = "there is no fixture " + std::to_string(index + 1);
    return false;
  }
  if (!CheckName(fixture.name, reason) || !CheckPlace(fixture, reason)) return false;
  for (int i = 0; i < Count(); ++i) {
    const Fixture& other = At(i);
    if (i == index || !Overlap(fixture, other)) continue;
    reason = "address: channels " + std::to_string(fixture.patch.start) + "-" +
             std::to_string(fixture.LastChannel()) + " overlap fixture " + std::to_string(i + 1) +
             " (\"" + other.name + "\") at " + std::to_string(other.patch.start) + "-" +
             std::to_string(other.LastChannel()) + " on universe " + UniverseText(other.patch);
    return false;
  }
  return true;
}

bool Rig::Add(const Fixture& fixture, std::string& reason) {
  if (Count() >= kMaxFixtures) {
    reason = "the rig is full: it holds at most 512 fixtures";
    return false;
  }
  if (!Check(fixture, Count(), reason)) return false;
  m_fixtures.push_back(fixture);
  m_portAddresses.push_back(PortAddress(fixture.patch));
  return true;
}

bool Rig::Replace(int index, const Fixture& fixture, std::string& reason) {
  if (!InRange(index, 0, Count() - 1)) {
    reason = "there is no fixture " + std::to_string(index + 1);
    return false;
  }
  if (!Check(fixture, index, reason)) return false;
  m_fixtures[static_cast<std::size_t>(index)] = fixture;
  m_portAddresses[static_cast<std::size_t>(index)] = PortAddress(fixture.patch);
  return true;
}

void Rig::Remove(int index) {
  if (Count() <= 1 || !InRange(index, 0, Count() - 1)) return;
  m_fixtures.erase(m_fixtures.begin() + index);
  m_portAddresses.erase(m_portAddresses.begin() + index);
}

void Rig::Clear() {
  m_fixtures.clear();
  m_portAddresses.clear();
}

void Rig::SetColour(int index, const Rgbw& colour) {
  if (InRange(index, 0, Count() - 1)) m_fixtures[static_cast<std::size_t>(index)].colour = colour;
}

int Rig::NextFreeAddress(int channels) const {
  if (!InRange(channels, 1, kLastChannel)) return 0;
  if (m_fixtures.empty()) return 1;
  // Right after the last fixture; when an earlier fixture already sits there, past it, so the
  // address offered is always free.
  Fixture probe;
  probe.patch = m_fixtures.back().patch;
  probe.patch.start = m_fixtures.back().LastChannel() + 1;
  probe.layout.channels.resize(static_cast<std::size_t>(channels));
  for (bool moved = true; moved;) {
    moved = false;
    if (probe.LastChannel() > kLastChannel) return 0;
    for (const Fixture& other : m_fixtures) {
      if (Overlap(probe, other)) {
        probe.patch.start = other.LastChannel() + 1;
        moved = true;
      }
    }
  }
  return probe.patch.start;
}

std::vector<int> Rig::Universes() const {
  std::vector<int> universes = m_portAddresses;
  std::sort(universes.begin(), universes.end());
  universes.erase(std::unique(universes.begin(), universes.end()), universes.end());
  return universes;
}

void Rig::WriteFrame(int portAddress, DmxFrame& frame) const {
  frame.Length = static_cast<std::uint16_t>(kDmxChannels);
  frame.Net = static_cast<std::uint8_t>((portAddress >> 8) & 0x7F);
  frame.SubUni = static_cast<std::uint8_t>(portAddress & 0xFF);
  std::memset(frame.Data, 0, sizeof frame.Data);
  const int* ports = m_portAddresses.data();
  const int count = Count();
  for (int i = 0; i < count; ++i)
    if (ports[i] == portAddress) WriteFixture(i, frame);
}

void Rig::WriteFixture(int index, DmxFrame& frame) const {
  if (!InRange(index, 0, Count() - 1)) return;
  // Every fixture in the rig passed Check: its channels lie within the frame.
  const Fixture& fixture = At(index);
  RenderChannels(fixture.layout, fixture.colour, frame.Data + (fixture.patch.start - 1));
}

bool AddSeveral(Rig& rig, const Fixture& prototype, int count, std::string& reason) {
  if (count < 1) {
    reason = "count: must be at least 1";
    return false;
  }
  if (count > kMaxFixtures - rig.Count()) {
    reason = "count: the rig holds " + std::to_string(rig.Count()) + " fixtures and at most " +
             std::to_string(kMaxFixtures) + ", so " + std::to_string(count) + " more do not fit";
    return false;
  }
  const int channels = prototype.layout.Count();
  const long long last =
      static_cast<long long>(prototype.patch.start) + static_cast<long long>(count) * channels - 1;
  if (channels > 0 && prototype.patch.start >= 1 && last > kLastChannel) {
    reason = "address: " + std::to_string(count) + " fixtures of " + std::to_string(channels) +
             " channels from " + std::to_string(prototype.patch.start) +
             " on would need channels up to " + std::to_string(last) + "; a universe ends at 512";
    return false;
  }
  Rig grown = rig;
  Fixture fixture = prototype;
  for (int i = 0; i < count; ++i) {
    fixture.name = prototype.name + " " + std::to_string(i + 1);
    fixture.patch.start = prototype.patch.start + i * channels;
    if (!grown.Add(fixture, reason)) {
      reason.insert(0, "fixture \"" + fixture.name + "\": ");
      return false;
    }
  }
  rig = std::move(grown);
  return true;
}

}  // namespace chromaset
