// A rig: up to 512 fixtures, each with a name, a place (Port-Address and start address), a
// channel layout and its own colour, and the 512-channel frame of every universe they use.
// The channels no fixture uses stay 0.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "artnet_packets.h"
#include "channel_layout.h"
#include "dmx_patch.h"

namespace chromaset {

inline constexpr int kMaxFixtures = 512;
inline constexpr int kMaxFixtureName = 32;  // characters (UTF-8 code points)

struct Fixture {
  std::string name;  // UTF-8, 1-32 characters
  DmxPatch patch;    // start = the first channel of the layout
  ChannelLayout layout;
  Rgbw colour{};
  // Where the layout came from when it was not typed: a definition of the fixture library.
  std::string manufacturer, model, mode;
  int LastChannel() const { return patch.start + layout.Count() - 1; }
};

// The fixture a rig starts with: "Fixture 1", RGBW, at 0:0:0, address 1, black.
Fixture DefaultFixture();

class Rig {
 public:
  Rig();  // the default rig: DefaultFixture() alone

  int Count() const { return static_cast<int>(m_fixtures.size()); }
  const Fixture& At(int index) const { return m_fixtures[static_cast<std::size_t>(index)]; }
  const std::vector<Fixture>& Fixtures() const { return m_fixtures; }

  // Whether fixture may stand at index (Count() for a new one) beside the others: its name,
  // its place in range, its last channel at most 512, no channel shared with another fixture
  // on its universe. False with reason (one sentence naming the field or the fixture it
  // overlaps); nothing changes.
  bool Check(const Fixture& fixture, int index, std::string& reason) const;
  bool Add(const Fixture& fixture, std::string& reason);  // also false when the rig is full
  bool Replace(int index, const Fixture& fixture, std::string& reason);
  void Remove(int index);  // the last fixture stays: a rig has at least one
  void Clear();            // no fixtures at all, before a whole rig is added
  void SetColour(int index, const Rgbw& colour);

  // The next free start address after the last fixture on its universe (for a new fixture of
  // channels channels); 0 when it does not fit there.
  int NextFreeAddress(int channels) const;

  // The Port-Addresses the fixtures use, ascending, each once.
  std::vector<int> Universes() const;
  // The whole frame of universe portAddress: every fixture on it, every other channel 0.
  void WriteFrame(int portAddress, DmxFrame& frame) const;
  // Only fixture index's channels in frame (which must be its universe's).
  void WriteFixture(int index, DmxFrame& frame) const;

 private:
  std::vector<Fixture> m_fixtures;
  // The Port-Address of each fixture, side by side, so a frame's scan of 512 fixtures reads 2 KB
  // instead of every Fixture.
  std::vector<int> m_portAddresses;
};

// "Name 1" ... "Name N": count fixtures like prototype from prototype.patch.start on, each right
// after the one before. False with reason when they do not fit (past 512, overlap, rig full);
// rig is then unchanged.
bool AddSeveral(Rig& rig, const Fixture& prototype, int count, std::string& reason);

}  // namespace chromaset
