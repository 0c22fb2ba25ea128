// Chromaset: an Art-Net RGBW colour controller in one dialog window.
#include <QApplication>

#include "application.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);  // the application name comes from the executable
  QApplication::setApplicationVersion(QStringLiteral(CHROMASET_VERSION));
  chromaset::ArtNetLink link;
  return chromaset::RunChromaset(link);
}
