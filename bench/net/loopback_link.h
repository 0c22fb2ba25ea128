// The send benchmarks' one link: opened on first use, and only in a network namespace that
// holds nothing but loopback (scripts/isolated makes one), so no datagram can leave it.
#pragma once

#include <benchmark/benchmark.h>
#include <ifaddrs.h>

#include <cstring>
#include <memory>
#include <string>

#include "artnet_link.h"

namespace chromaset {

// True when every interface of this namespace is loopback, so no datagram can leave it.
inline bool OnlyLoopback(std::string& why) {
  ifaddrs* list = nullptr;
  if (::getifaddrs(&list) != 0) {
    why = "cannot list interfaces";
    return false;
  }
  bool onlyLo = true;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (std::strcmp(entry->ifa_name, "lo") != 0) {
      why = std::string("interface ") + entry->ifa_name + " present; run under scripts/isolated";
      onlyLo = false;
      break;
    }
  }
  ::freeifaddrs(list);
  return onlyLo;
}

// One link for all send benchmarks, opened on first use inside the isolated namespace; null
// (and the benchmark marked skipped with the reason) when it cannot be opened there.
inline ArtNetLink* SharedLinkOrSkip(benchmark::State& state) {
  static std::string reason;
  static std::unique_ptr<ArtNetLink> link = [] {
    std::string local;
    if (!OnlyLoopback(local)) {
      reason = local;
      return std::unique_ptr<ArtNetLink>();
    }
    auto opened = std::make_unique<ArtNetLink>();
    if (!opened->OpenArtNetEndpoint()) {
      reason = "cannot bind UDP port 6454";
      return std::unique_ptr<ArtNetLink>();
    }
    return opened;
  }();
  if (!link) state.SkipWithError(reason.c_str());
  return link.get();
}

}  // namespace chromaset
