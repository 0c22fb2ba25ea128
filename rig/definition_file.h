// Reading one fixture definition file (.qxf, XML) with Qt's stream reader. Files come from the
// installed library, the user's folder or anywhere ("Import definition..."), so each is checked:
// well-formed, not over 1 MB, no entity declarations, nesting at most 32 deep, every channel a
// mode names defined, no mode over 512 channels.
#pragma once

#include <QByteArray>
#include <QString>

#include "fixture_definition.h"

namespace chromaset {

inline constexpr qint64 kMaxDefinitionBytes = qint64{1024} * 1024;

// False with reason (one line, e.g. "not well-formed XML at line 3, column 7: ...", "mode
// \"8 Ch\" names channel \"Strobe\", which the file does not define"); out is then unchanged.
bool ReadDefinition(const QByteArray& xml, FixtureDefinition& out, QString& reason);
// The same for a file; reason does not name the file (the caller puts it first).
bool LoadDefinitionFile(const QString& path, FixtureDefinition& out, QString& reason);

}  // namespace chromaset
