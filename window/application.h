// The program around the main dialog: from the network link to the exit status.
#pragma once

#include "settings_store.h"
#include "wheel_dlg.h"

namespace chromaset {

// Runs Chromaset on link inside a QApplication: the dialog's initialisation, then the dialog
// until it ends. Returns the exit status: 0 after the dialog, 1 when the network could not be
// started (the message has been shown and no window opened). With a store, the settings are
// loaded before the start and saved, when changed, after the dialog ends.
int RunChromaset(ArtNetLink& link, const InitOptions& options = {}, SettingsStore* store = nullptr);

// The options of a start with settings: without "Wait for nodes at start" the window comes at
// once and the answers are awaited in the background.
InitOptions StartOptions(InitOptions options, const Settings& settings);

}  // namespace chromaset
