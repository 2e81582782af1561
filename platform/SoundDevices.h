#pragma once

#include <string>
#include <vector>

// The sound devices as the window and the settings dialog see them: the names the sound layer
// lists for playing and for recording (see PSoundChannel: the server's order, monitors left out of
// the recording list), and the rule that turns a stored device index into a name.

std::vector<std::string> GetPlayDeviceNames();
std::vector<std::string> GetRecordDeviceNames();

// The name at index when the index is within the list; otherwise the first name; with no names at
// all the empty name (which opens the default device). A negative index is outside the list.
std::string SelectDeviceName(const std::vector<std::string>& names, int index);

// SelectDeviceName over the current play or record list.
std::string GetPlayDeviceNameByIndex(int index);
std::string GetRecordDeviceNameByIndex(int index);
