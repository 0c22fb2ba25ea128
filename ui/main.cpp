// Chromaset: an Art-Net RGBW colour controller in one dialog window, or without a window when
// given options.
#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "application.h"
#include "headless.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

}  // namespace

int main(int argc, char* argv[]) {
  // Decided before any application object exists: options never load a display plugin.
  if (argc > 1) {
    const QCoreApplication app(argc, argv);
    return chromaset::RunCommandLine(QCoreApplication::arguments(),
                                     QStringLiteral(CHROMASET_VERSION));
  }
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs(
        "chromaset: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
        "see 'chromaset --help' to use it without a window\n",
        stderr);
    return 1;
  }
  QApplication app(argc, argv);  // the application name comes from the executable
  QApplication::setApplicationVersion(QStringLiteral(CHROMASET_VERSION));
  // Ties the window to the installed desktop entry (task bar icon and name).
  QGuiApplication::setDesktopFileName(QStringLiteral(CHROMASET_APP_ID));
  chromaset::ArtNetLink link;
  return chromaset::RunChromaset(link);
}
