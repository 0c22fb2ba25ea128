#include "application.h"

#include <memory>

namespace chromaset {

int RunChromaset(ArtNetLink& link, const InitOptions& options) {
  auto dialog = std::make_unique<CWheelDlg>(link);
  if (!dialog->OnInitDialog(options)) {
    // The socket is closed; nothing further goes out.
    link.Close();
    return 1;
  }
  dialog->exec();
  return 0;
}

}  // namespace chromaset
