// Opening the Art-Net endpoint for the window, and the message when that fails.
#include <QCoreApplication>
#include <QMessageBox>

#include "ids.h"
#include "wheel_dlg.h"

namespace chromaset {

void ShowFailureMessageBox(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, parent);
  box.exec();
}

bool StartArtNet(ArtNetLink& link, const FailureMessageFn& showFailure) {
  if (!link.OpenArtNetEndpoint()) {
    const QString title = QCoreApplication::applicationName();
    const QString text = QString::fromUtf8(kNetworkFailureText);
    if (showFailure) {
      showFailure(nullptr, title, text);
    } else {
      ShowFailureMessageBox(nullptr, title, text);
    }
    return false;
  }
  link.StartReceiver();
  link.SendArtPoll();
  return true;
}

}  // namespace chromaset
