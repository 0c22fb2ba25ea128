// chromaset: with options, the command line without a window (Qt Core only, so neither a
// display nor the GUI and X libraries are needed or loaded); without options, the window
// program, started in this process.
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "headless.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Beside this executable in the build tree; CHROMASET_WINDOW_INSTALLED (relative to it) once
// installed.
std::string WindowProgram() {
  char self[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
  dir = dir.substr(0, dir.rfind('/') + 1);
  const std::string sibling = dir + "chromaset-window";
  return ::access(sibling.c_str(), X_OK) == 0 ? sibling : dir + CHROMASET_WINDOW_INSTALLED;
}

}  // namespace

int main(int argc, char* argv[]) {
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
  const std::string window = WindowProgram();
  ::execv(window.c_str(), argv);
  std::fprintf(stderr, "chromaset: cannot start the window %s: %s\n", window.c_str(),
               std::strerror(errno));
  return 1;
}
