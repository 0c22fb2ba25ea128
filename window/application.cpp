#include "application.h"

#include <memory>

#include "autosave.h"
#include "favourites_bar.h"
#include "window_placement.h"

namespace chromaset {

InitOptions StartOptions(InitOptions options, const Settings& settings) {
  if (!settings.waitAtStart) {
    options.discoveryWait = std::chrono::milliseconds(0);
    options.searchInBackground = true;
  }
  return options;
}

int RunChromaset(ArtNetLink& link, const InitOptions& options, SettingsStore* store) {
  // The poll goes out first: the settings are read and the window built while nodes answer.
  if (!StartArtNet(link, options.showFailure)) return 1;
  Settings settings = store != nullptr ? store->Load() : Settings{};
  auto dialog = std::make_unique<CWheelDlg>(link);
  dialog->Devices().Restore(settings);
  // The remembered rig; without one, the one fixture at the remembered patch.
  if (store == nullptr || !RestoreRig(*dialog, RigPathBeside(store->Path()))) {
    dialog->Output().SetPatch(settings.patch);
  }
  dialog->Output().SetKeepAlive(settings.keepAlive);
  dialog->Output().SetRateLimit(settings.rateLimit);
  dialog->Output().SetSync(settings.artSync);
  dialog->Output().SetRouting(settings.routeToOutputs);
  dialog->Favourites().SetStored(settings.favourites);
  if (!dialog->OnInitDialog(StartOptions(options, settings))) {
    // The socket is closed; nothing further goes out.
    link.Close();
    return 1;
  }
  const auto* placement = new WindowPlacement(*dialog, settings.windowPosition);
  AutoSave* saving =
      store != nullptr ? new AutoSave(*dialog, *store, *placement, settings) : nullptr;
  dialog->exec();
  if (saving != nullptr) saving->SaveNow();
  return 0;
}

}  // namespace chromaset
