// The window's rig: the fixtures, which of them the controls set (the selection), and the
// signals the parts that show or send them follow. Every change of the rig goes through here.
#pragma once

#include <QObject>

#include <string>
#include <vector>

#include "rig.h"

namespace chromaset {

// Which of R, G, B, W a colour change sets.
enum ColourChannels : unsigned {
  kSetRed = 1,
  kSetGreen = 2,
  kSetBlue = 4,
  kSetWhite = 8,
  kSetRgb = 7,
  kSetAll = 15,
};

class RigModel : public QObject {
  Q_OBJECT

 public:
  explicit RigModel(QObject* parent = nullptr);

  const Rig& Current() const { return m_rig; }
  // The selected fixtures' indices, ascending; never empty.
  const std::vector<int>& Selection() const { return m_selection; }
  bool IsSelected(int index) const;
  // The colour the controls show: the first selected fixture's.
  const Rgbw& SelectedColour() const { return m_rig.At(m_selection.front()).colour; }

  // Indices out of range are left out; an empty selection is ignored.
  void Select(std::vector<int> indices);
  void SelectAll();

  // Edits of the rig; each refusal leaves everything as it was and says why. A new fixture
  // is selected alone.
  bool Add(const Fixture& fixture, std::string& reason);
  bool AddSeveral(const Fixture& prototype, int count, std::string& reason);
  bool Replace(int index, const Fixture& fixture, std::string& reason);
  // Removes these fixtures; the rig keeps at least one (the first of them stays when they are
  // all). The selection becomes the fixture before the first removed one.
  void Remove(const std::vector<int>& indices);
  // A whole new rig (a rig file); the first fixture is selected, or all when all were.
  void Load(const Rig& rig);

  // Every fixture black, as at a start; no signal (the caller rebuilds what it shows).
  void ClearColours();
  // Sets the channels of the selected fixtures' colours to colour's; true when any changed.
  bool SetSelectedColour(unsigned channels, const Rgbw& colour);

 signals:
  // Fixtures added, removed, moved or re-laid out: universes and frames must be rebuilt.
  // loaded: a whole new rig (a rig file), whose stored colours all go out.
  void Changed(bool loaded = false);
  // The selected fixtures' colours changed (SetSelectedColour).
  void ColoursChanged();
  void SelectionChanged();

 private:
  Rig m_rig;
  std::vector<int> m_selection{0};
};

}  // namespace chromaset
