// The command line's jobs without a window: --list and --send on a real Art-Net link.
#pragma once

#include <QStringList>

#include "command_line.h"

namespace chromaset {

// Parses arguments and runs the job; returns the exit status. Output goes to stdout, errors to
// stderr. Nothing opens a socket before every option has been checked.
int RunCommandLine(const QStringList& arguments, const QString& version);

}  // namespace chromaset
