// --fixtures: the definitions of the fixture library that match a search, as text for people
// (one definition a line, its modes indented below) or for scripts (one JSON array).
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

#include "fixture_library.h"

namespace chromaset {

// The entries found (indexes into library.Entries()): "Manufacturer/Model", then each mode as
//   "  4-Channel Mode: 4 channels" or "  Dimmer: 1 channel; cannot be coloured: <reason>".
QString FormatFixtureText(const FixtureLibrary& library, const std::vector<int>& found);
// One JSON array of objects: definition, manufacturer, model, path and modes, each mode with its
// name, channelCount, colourable, refusal (when not) and channels (name; role, fine and a fixed
// channel's value when colourable).
QString FormatFixtureJson(const FixtureLibrary& library, const std::vector<int>& found);

// Loads folders and lists what text finds. Lines for stderr go to errors: one per bad file
// ("PATH: reason"), and one when no definition was found at all or none matches.
QString ListFixtures(const QStringList& folders, const QString& text, bool json,
                     QStringList& errors);

}  // namespace chromaset
