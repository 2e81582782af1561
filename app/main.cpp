#include <cstdio>
#include <filesystem>
#include <string>

#include "app/CDialerApp.h"
#include "app/DataFolder.h"

int main(int argc, char** argv) {
  std::error_code ec;
  const std::filesystem::path program = std::filesystem::canonical("/proc/self/exe", ec);
  const std::filesystem::path shipped = SharedFilesFolder(program);
  if (shipped.empty())
    std::fprintf(stderr,
                 "vantro-dialer: the shipped key tones and banner are not found "
                 "(looked beside the program and in XDG_DATA_DIRS)\n");
  std::string error;
  if (!PrepareWorkingFolder(UserDataFolder(), shipped, &error))
    std::fprintf(stderr, "vantro-dialer: %s\n", error.c_str());

  CDialerApp app(argc, argv);
  app.InitInstance();
  return 0;
}
