// Writes the shipped key tones and the click into a res/ folder: tonegen [res folder]
#include <cstdio>
#include <filesystem>
#include <string>

#include "runtime/PWAVFile.h"
#include "tools/tonegen/ToneSet.h"

int main(int argc, char** argv) {
  const std::filesystem::path res = argc > 1 ? argv[1] : VANTRO_SOURCE_RES_DIR;
  int failures = 0;
  for (const ShippedSound& s : ShippedSounds()) {
    const std::filesystem::path file = res / s.path;
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::string why;
    if (PWAVFile::Write(file.string(), s.sound, &why)) {
      std::printf("%s\n", file.c_str());
    } else {
      std::fprintf(stderr, "tonegen: %s: %s\n", file.c_str(), why.c_str());
      ++failures;
    }
  }
  return failures ? 1 : 0;
}
