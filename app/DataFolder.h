#pragma once

#include <filesystem>
#include <string>

// The per-user data folder: $XDG_DATA_HOME/vantro-dialer, or ~/.local/share/vantro-dialer (the
// home folder from $HOME, else the user's entry in the password database).
std::filesystem::path UserDataFolder();

// The folder that holds the files shipped with the program (dtmf/*.wav, data1/banner.gif):
// $VANTRO_SHARE_DIR when set, else the first of these folders that exists:
//  - <program folder>/../share/vantro-dialer, where an install puts them, whatever its prefix;
//  - the source tree's res/ folder, when the program runs from the build folder it was built in;
//  - vantro-dialer/ in each folder of $XDG_DATA_DIRS (by default /usr/local/share:/usr/share).
// Empty when there is none.
std::filesystem::path SharedFilesFolder(const std::filesystem::path& programPath);

// Makes folder the working folder: creates it and its data1/ and dtmf/ folders, and copies each
// shipped file that is not there yet (nothing when shipped is empty). Returns false (with a
// reason) when the folder cannot be made or entered; a shipped file that cannot be copied is
// left out.
bool PrepareWorkingFolder(const std::filesystem::path& folder, const std::filesystem::path& shipped,
                          std::string* error);
