#include "app/DataFolder.h"

#include <cstdlib>
#include <system_error>

namespace fs = std::filesystem;

fs::path UserDataFolder()
{
    const char *xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg && fs::path(xdg).is_absolute())
        return fs::path(xdg) / "vantro-dialer";
    const char *home = std::getenv("HOME");
    return fs::path(home && *home ? home : "/tmp") / ".local" / "share" / "vantro-dialer";
}

fs::path SharedFilesFolder(const fs::path &programPath)
{
    if (const char *env = std::getenv("VANTRO_SHARE_DIR"); env && *env)
        return fs::path(env);
    std::error_code ec;
    fs::path installed = programPath.parent_path() / ".." / "share" / "vantro-dialer";
    if (fs::is_directory(installed, ec))
        return fs::weakly_canonical(installed, ec);
    return fs::path(VANTRO_SOURCE_RES_DIR);
}

bool PrepareWorkingFolder(const fs::path &folder, const fs::path &shipped, std::string *error)
{
    std::error_code ec;
    for (const fs::path &p : {folder, folder / "data1", folder / "dtmf"}) {
        fs::create_directories(p, ec);
        if (ec) {
            if (error)
                *error = "cannot create " + p.string() + ": " + ec.message();
            return false;
        }
    }
    fs::current_path(folder, ec);
    if (ec) {
        if (error)
            *error = "cannot enter " + folder.string() + ": " + ec.message();
        return false;
    }
    // Seed what the program ships; a file the user already has is never replaced.
    auto seed = [&](const fs::path &from, const fs::path &to) {
        std::error_code e;
        if (!fs::exists(to, e) && fs::is_regular_file(from, e))
            fs::copy_file(from, to, e);
    };
    for (const char *name : {"key1", "key2", "key3", "key4", "key5", "key6", "key7", "key8",
                             "key9", "key10", "keystar", "keyhash"})
        seed(shipped / "dtmf" / (std::string(name) + ".wav"),
             folder / "dtmf" / (std::string(name) + ".wav"));
    seed(shipped / "data1" / "banner.gif", folder / "data1" / "banner.gif");
    return true;
}
