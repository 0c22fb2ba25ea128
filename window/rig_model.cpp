#include "rig_model.h"

#include <algorithm>
#include <numeric>

namespace chromaset {

RigModel::RigModel(QObject* parent) : QObject(parent) {}

bool RigModel::IsSelected(int index) const {
  return std::binary_search(m_selection.begin(), m_selection.end(), index);
}

void RigModel::Select(std::vector<int> indices) {
  std::erase_if(indices, [this](int i) { return i < 0 || i >= m_rig.Count(); });
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  if (indices.empty() || indices == m_selection) return;
  m_selection = std::move(indices);
  emit SelectionChanged();
}

void RigModel::SelectAll() {
  std::vector<int> all(static_cast<std::size_t>(m_rig.Count()));
  for (int i = 0; i < m_rig.Count(); ++i) all[static_cast<std::size_t>(i)] = i;
  Select(std::move(all));
}

bool RigModel::Add(const Fixture& fixture, std::string& reason) {
  if (!m_rig.Add(fixture, reason)) return false;
  emit Changed();
  Select({m_rig.Count() - 1});
  return true;
}

bool RigModel::AddSeveral(const Fixture& prototype, int count, std::string& reason) {
  const int first = m_rig.Count();
  if (!chromaset::AddSeveral(m_rig, prototype, count, reason)) return false;
  emit Changed();
  std::vector<int> added;
  for (int i = first; i < m_rig.Count(); ++i) added.push_back(i);
  Select(std::move(added));
  return true;
}

bool RigModel::Replace(int index, const Fixture& fixture, std::string& reason) {
  if (index < 0 || index >= m_rig.Count()) {
    reason = "That fixture is no longer in the rig.";
    return false;
  }
  if (!m_rig.Replace(index, fixture, reason)) return false;
  emit Changed();
  return true;
}

void RigModel::Remove(const std::vector<int>& indices) {
  std::vector<int> sorted = indices;
  std::sort(sorted.begin(), sorted.end(), std::greater<>());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  std::erase_if(sorted, [this](int i) { return i < 0 || i >= m_rig.Count(); });
  if (sorted.empty()) return;
  // Every fixture: the first one stays, a rig is never empty.
  if (static_cast<int>(sorted.size()) >= m_rig.Count()) sorted.pop_back();
  if (sorted.empty()) return;
  for (int i : sorted) m_rig.Remove(i);
  m_selection = {std::clamp(sorted.back() - 1, 0, m_rig.Count() - 1)};
  emit Changed();
  emit SelectionChanged();
}

void RigModel::Load(const Rig& rig) {
  if (rig.Count() == 0) return;
  const bool all = static_cast<int>(m_selection.size()) == m_rig.Count() && m_rig.Count() > 1;
  m_rig = rig;
  // Set before either signal, so a one-fixture rig after "all" still reports its selection.
  m_selection.assign(all ? static_cast<std::size_t>(m_rig.Count()) : 1u, 0);
  std::iota(m_selection.begin(), m_selection.end(), 0);
  emit Changed(true);
  emit SelectionChanged();
}

void RigModel::ClearColours() {
  for (int i = 0; i < m_rig.Count(); ++i) m_rig.SetColour(i, Rgbw{});
}

bool RigModel::SetSelectedColour(unsigned channels, const Rgbw& colour) {
  bool changed = false;
  for (int index : m_selection) {
    Rgbw next = m_rig.At(index).colour;
    for (std::size_t c = 0; c < next.size(); ++c) {
      if ((channels & (1u << c)) != 0) next[c] = colour[c];
    }
    changed = changed || next != m_rig.At(index).colour;
    m_rig.SetColour(index, next);
  }
  if (changed) emit ColoursChanged();
  return changed;
}

}  // namespace chromaset
