// Chromaset: an Art-Net RGBW colour controller in one dialog window.
#include <QApplication>

#include "application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);  // the application name comes from the executable
  QApplication::setApplicationVersion(QStringLiteral(CHROMASET_VERSION));
  // Ties the window to the installed desktop entry (task bar icon and name).
  QGuiApplication::setDesktopFileName(QStringLiteral(CHROMASET_APP_ID));
  chromaset::ArtNetLink link;
  chromaset::SettingsStore settings;
  return chromaset::RunChromaset(link, {}, &settings);
}
