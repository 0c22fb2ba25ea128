// The lab's plain sockets (OpenArtNetSocket, ScopedFd) live in lab.h; this name stays for its
// users.
#pragma once

#include "lab.h"
