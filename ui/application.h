// The program around the main dialog: from the network link to the exit status.
#pragma once

#include "wheel_dlg.h"

namespace chromaset {

// Runs Chromaset on link inside a QApplication: the dialog's initialisation, then the dialog
// until it ends. Returns the exit status: 0 after the dialog, 1 when the network could not be
// started (the message has been shown and no window opened).
int RunChromaset(ArtNetLink& link, const InitOptions& options = {});

}  // namespace chromaset
