#include <cstdio>
#include <filesystem>
#include <string>

#include "app/CDialerApp.h"
#include "app/DataFolder.h"

int main(int argc, char **argv)
{
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::canonical("/proc/self/exe", ec);
    std::string error;
    if (!PrepareWorkingFolder(UserDataFolder(), SharedFilesFolder(program), &error))
        std::fprintf(stderr, "vantro-dialer: %s\n", error.c_str());

    CDialerApp app(argc, argv);
    app.InitInstance();
    return 0;
}
