// The command line without a window: `chromaset` starts this program when given options. Qt Core
// alone, so it needs no display and loads no GUI or X library.
#include <QCoreApplication>

#include "headless.h"

int main(int argc, char* argv[]) {
  const QCoreApplication app(argc, argv);
  // The name the user started, whatever this program's file is called.
  QCoreApplication::setApplicationName(QStringLiteral("chromaset"));
  return chromaset::RunCommandLine(QCoreApplication::arguments(),
                                   QStringLiteral(CHROMASET_VERSION));
}
