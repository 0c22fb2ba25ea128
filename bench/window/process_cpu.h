// CPU time this process has used so far (user and system, all threads), in seconds: what an
// idle benchmark divides by the wall-clock time it waited.
#pragma once

#include <sys/resource.h>

inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}
