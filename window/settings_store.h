// What Chromaset remembers between runs, and where: an INI file in the user's configuration
// folder ($XDG_CONFIG_HOME/chromaset/chromaset.conf, by default ~/.config/chromaset/).
#pragma once

#include <QPoint>
#include <QString>

#include <array>
#include <optional>
#include <vector>

#include "artnet_link.h"
#include "dmx_patch.h"

namespace chromaset {

inline constexpr int kFavourites = 8;
inline constexpr int kMaxAddedNodes = 8;

// Every remembered setting; the defaults are what a first start does.
struct Settings {
  DmxPatch patch;
  bool keepAlive = false;
  bool rateLimit = false;
  bool waitAtStart = true;
  bool routeToOutputs = false;  // each universe to the nodes that output it
  bool artSync = false;
  std::vector<Ipv4Bytes> addedNodes;  // at most kMaxAddedNodes, each a usable node address
  std::array<std::optional<Rgbw>, kFavourites> favourites{};
  std::vector<Ipv4Bytes> tickedDevices;  // in menu order
  bool broadcastTicked = true;
  std::optional<QPoint> windowPosition;
  bool operator==(const Settings&) const = default;
};

class SettingsStore {
 public:
  // The file at path; the default is the per-user place.
  explicit SettingsStore(QString path = DefaultPath());

  static QString DefaultPath();
  const QString& Path() const { return m_path; }

  // The settings in the file. A missing file gives the defaults silently; an unreadable or
  // corrupt file gives the defaults, and each value that is missing its form or range gives
  // its own default, with one line on stderr naming the file or the key; a bad entry of a list
  // drops only itself, with a line naming it.
  Settings Load();
  // Writes settings when they differ from what was last loaded or saved; true when written.
  // No file is ever made for settings equal to the defaults a missing file gave.
  bool Save(const Settings& settings);

 private:
  QString m_path;
  Settings m_known;        // what the file holds as far as this store knows
  bool m_rewrite = false;  // the file is corrupt: replace it rather than merge into it
};

}  // namespace chromaset
