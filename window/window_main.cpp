// The Chromaset window: an Art-Net RGBW colour controller in one dialog. `chromaset` starts
// this program when it is given no options and a display is there.
#include <QApplication>

#include "application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The name the user started, whatever this program's file is called (message box titles).
  QApplication::setApplicationName(QStringLiteral("chromaset"));
  QApplication::setApplicationVersion(QStringLiteral(CHROMASET_VERSION));
  // Ties the window to the installed desktop entry (task bar icon and name).
  QGuiApplication::setDesktopFileName(QStringLiteral(CHROMASET_APP_ID));
  chromaset::ArtNetLink link;
  chromaset::SettingsStore settings;
  return chromaset::RunChromaset(link, {}, &settings);
}
