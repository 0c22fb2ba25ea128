// Rig files: a rig as JSON, read and written with Qt Core only:
//   {"chromasetRig": 1, "fixtures": [{"name": "Par 1", "universe": "0:0:0", "address": 1,
//     "layout": "RGBW", "colour": [255, 128, 0, 0]}]}
// "colour" (R, G, B, W) is optional and 0 when absent. A fixture made from a definition of the
// fixture library names it and keeps the channels it resolved to, so the file works on a machine
// without the library:
//   {"name": "Par 1", "universe": "0:0:0", "address": 1, "definition": "Cameo/LED RGB PAR56 Can",
//    "mode": "4-Channel Mode (Red Dot)", "channels": ["R", "G", "B", "D"], "colour": [...]}
// "channels" items are R G B W C M Y D (lower case: that role's fine byte) or a value 0-255 (a
// fixed channel). A hand-written fixture may give "definition" and "mode" alone: its channels
// are then found in the library through a resolver.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

#include "rig.h"

namespace chromaset {

// The layout of mode of definition ("Manufacturer/Model"); false with error starting with the
// field, e.g. "definition: \"Cameo/Par\" is not in the fixture library".
using DefinitionResolver = std::function<bool(const QString& definition, const QString& mode,
                                              ChannelLayout& out, QString& error)>;

// Reads a whole rig: every fixture must meet the rules, else false with error naming the
// fixture (position from 1 and name) and the field, e.g.
//   fixture 2 ("Par 2"): address: 510 leaves no room for 4 channels
// and out is unchanged.
// Without a resolver a fixture of "definition" and "mode" alone is refused.
bool ReadRig(const QByteArray& json, Rig& out, QString& error,
             const DefinitionResolver& resolver = {});
// As ReadRig, but a fixture that breaks the rules drops only itself (one message each in
// dropped); false only when nothing usable is left (out unchanged).
bool ReadRigLeniently(const QByteArray& json, Rig& out, QStringList& dropped,
                      const DefinitionResolver& resolver = {});
QByteArray WriteRig(const Rig& rig);

// The same for files: errors start with the file's path. Saving is atomic (QSaveFile).
bool LoadRigFile(const QString& path, Rig& out, QString& error,
                 const DefinitionResolver& resolver = {});
bool SaveRigFile(const QString& path, const Rig& rig, QString& error);

}  // namespace chromaset
