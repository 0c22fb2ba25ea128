// Holds UDP port 6454 (as another Art-Net program would) and runs a command while it does:
//   udp_port_holder COMMAND [ARG...]
// Only ever run inside the lab's controller namespace.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>

int main(int /*argc*/, char** argv) {
  const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in address{AF_INET, htons(6454), {htonl(INADDR_ANY)}, {}};
  if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    std::perror("udp_port_holder: bind 6454");
    return 2;
  }
  if (argv[1] != nullptr) ::execvp(argv[1], argv + 1);
  std::perror("udp_port_holder: exec");
  return 2;
}
