#pragma once

#include <filesystem>
#include <string>

// The per-user data folder: $XDG_DATA_HOME/vantro-dialer, or ~/.local/share/vantro-dialer.
std::filesystem::path UserDataFolder();

// The folder that holds the files shipped with the program (dtmf/*.wav, data1/banner.gif).
// $VANTRO_SHARE_DIR when set, else <program folder>/../share/vantro-dialer when it exists, else
// the source tree's res/ folder the program was built from.
std::filesystem::path SharedFilesFolder(const std::filesystem::path &programPath);

// Makes folder the working folder: creates it and its data1/ and dtmf/ folders, and copies each
// shipped file that is not there yet. Returns false (with a reason) when the folder cannot be
// made or entered; a shipped file that cannot be copied is left out.
bool PrepareWorkingFolder(const std::filesystem::path &folder,
                          const std::filesystem::path &shipped, std::string *error);
