// The frames of --send --rig: a rig file's fixtures given the colour and the whole frame of each
// universe that holds one, built by the rig's own rule so the command line puts the same bytes
// on the wire as the window does for that rig.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "artnet_packets.h"
#include "dmx_patch.h"
#include "fixture_library.h"

namespace chromaset {

// Loads the rig file at path, gives colour to the fixtures called names (every fixture when
// names is empty; the others keep their stored colour) and puts into frames the frame of each
// universe holding one of them, in ascending Port-Address order. A fixture of "definition" and
// "mode" alone is resolved from the fixture library of libraryFolders, read only then. False
// with error, one line naming the file and the fixture and field, or the name the file does not
// hold; frames is then empty.
bool BuildRigFrames(const QString& path, const QStringList& names, const Rgbw& colour,
                    std::vector<DmxFrame>& frames, QString& error,
                    const QStringList& libraryFolders = FixtureLibrary::DefaultFolders());

}  // namespace chromaset
