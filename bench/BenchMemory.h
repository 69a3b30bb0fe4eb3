#pragma once
// Peak resident memory for the benchmarks: reset before a run, read after it.
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <fstream>
#include <string>

namespace rulecraft::bench {

// Lets the peak resident size start again from the current one (Linux 4.0 and later), after handing the
// memory that earlier runs freed back to the system where the allocator can.
inline void ResetPeakMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
  if (std::FILE* File = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", File);
    std::fclose(File);
  }
}

// VmHWM in KiB, or 0 where /proc is not there.
inline double PeakMemoryKiB() {
  std::ifstream Status("/proc/self/status");
  std::string Line;
  while (std::getline(Status, Line))
    if (Line.rfind("VmHWM:", 0) == 0) return std::stod(Line.substr(6));
  return 0.0;
}

}  // namespace rulecraft::bench
