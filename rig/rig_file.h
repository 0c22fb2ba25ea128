// Rig files: a rig as JSON, read and written with Qt Core only:
//   {"chromasetRig": 1, "fixtures": [{"name": "Par 1", "universe": "0:0:0", "address": 1,
//     "layout": "RGBW", "colour": [255, 128, 0, 0]}]}
// "colour" (R, G, B, W) is optional and 0 when absent.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "rig.h"

namespace chromaset {

// Reads a whole rig: every fixture must meet the rules, else false with error naming the
// fixture (position from 1 and name) and the field, e.g.
//   fixture 2 ("Par 2"): address: 510 leaves no room for 4 channels
// and out is unchanged.
bool ReadRig(const QByteArray& json, Rig& out, QString& error);
// As ReadRig, but a fixture that breaks the rules drops only itself (one message each in
// dropped); false only when nothing usable is left (out unchanged).
bool ReadRigLeniently(const QByteArray& json, Rig& out, QStringList& dropped);
QByteArray WriteRig(const Rig& rig);

// The same for files: errors start with the file's path. Saving is atomic (QSaveFile).
bool LoadRigFile(const QString& path, Rig& out, QString& error);
bool SaveRigFile(const QString& path, const Rig& rig, QString& error);

}  // namespace chromaset
