// The nodes that answered --list, as rows and as text for people (aligned columns) or for
// scripts (one JSON array).
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "artnet_link.h"
#include "node_table.h"
#include "port_table.h"

namespace chromaset {

struct NodeRow {
  QString ip;
  std::uint16_t estaCode = 0;  // as stored: reply byte 24 * 256 + byte 25
  QString shortName;           // the field's bytes up to the first zero, read as Latin-1
  QString longName;
  bool driven = false;        // Chromaset drives its manufacturer code
  bool localNetwork = false;  // the window would offer it for unicast
  QStringList outputs;        // its output Port-Addresses as "0:0:1", ascending
};

// The answering nodes of snapshot in slot order (answer order), judged against local, this
// computer's first address; outputs from ports (none without it).
std::vector<NodeRow> NodeRows(const NodeSnapshot& snapshot, const Ipv4Bytes& local,
                              const PortTable* ports = nullptr);

// A heading and one line per node, columns aligned; control characters in names shown as '?'.
QString FormatNodeTable(const std::vector<NodeRow>& rows);
// One JSON array of objects: ip, esta, shortName, longName, driven, localNetwork, outputs.
QString FormatNodeJson(const std::vector<NodeRow>& rows);

}  // namespace chromaset
