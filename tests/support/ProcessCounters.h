#pragma once
// What this process holds, from /proc: open descriptors and resident memory.

#include <cstddef>
#include <fstream>

#include <dirent.h>
#include <unistd.h>

namespace vantro::test {

inline std::size_t OpenDescriptors() {
  std::size_t n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

inline std::size_t ResidentKilobytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::size_t>(sysconf(_SC_PAGESIZE)) / 1024;
}

}  // namespace vantro::test
