// Build-time tool: writes the manual page or the bash completion made from the option table
// that --help shows, so neither can drift from the program.
//   chromaset_manpage man|bash VERSION OUTPUT
#include <QString>
#include <cstdio>
#include <cstring>

#include "command_line.h"

int main(int argc, char* argv[]) {
  if (argc != 4) return 2;
  const QString version = QString::fromLocal8Bit(argv[2]);
  const QString text =
      std::strcmp(argv[1], "bash") == 0 ? chromaset::BashCompletion() : chromaset::ManPage(version);
  const QByteArray bytes = text.toUtf8();
  FILE* out = std::fopen(argv[3], "w");
  if (out == nullptr) return 1;
  const auto size = static_cast<std::size_t>(bytes.size());
  const bool written = std::fwrite(bytes.constData(), 1, size, out) == size;
  return std::fclose(out) == 0 && written ? 0 : 1;
}
