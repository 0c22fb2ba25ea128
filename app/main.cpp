// chromaset: a launcher without Qt, so that neither start pays for loading a library it does not
// use. With options it becomes the command line (Qt Core only: no display, GUI or X libraries);
// without options, the window program. Both are started in this process.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// Beside this executable in the build tree; in CHROMASET_LIBEXEC_RELATIVE (from this
// executable's folder) once installed.
std::string Program(const char* name) {
  char self[4096] = {};
  const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  std::string dir = n > 0 ? std::string(self, static_cast<std::size_t>(n)) : std::string();
  dir = dir.substr(0, dir.rfind('/') + 1);
  const std::string sibling = dir + name;
  if (::access(sibling.c_str(), X_OK) == 0) return sibling;
  return dir + CHROMASET_LIBEXEC_RELATIVE + "/" + name;
}

int Become(const char* name, char* argv[]) {
  const std::string program = Program(name);
  ::execv(program.c_str(), argv);
  std::fprintf(stderr, "chromaset: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc > 1) return Become("chromaset-cli", argv);
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs(
        "chromaset: no display (DISPLAY and WAYLAND_DISPLAY are not set); "
        "see 'chromaset --help' to use it without a window\n",
        stderr);
    return 1;
  }
  return Become("chromaset-window", argv);
}
