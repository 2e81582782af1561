#pragma once

#include <atomic>
#include <chrono>
#include <string>

// Downloads url (http or https) to the file at path. The whole transfer must end before the
// deadline, counted from the call; a transfer that stalls or runs longer is cancelled. Only a
// complete download with a success status replaces the file (atomically); anything else leaves
// the old file, or no file, as it was. Bodies larger than maxBytes are refused.
//
// When cancel (if given) becomes true the transfer ends within a tenth of a second, as a failure.
//
// It runs its own event loop and may be called from any thread except the user-interface thread.
bool DownloadFile(const std::string& url, const std::string& path,
                  std::chrono::milliseconds deadline = std::chrono::seconds(30), long long maxBytes = 8 * 1024 * 1024,
                  const std::atomic<bool>* cancel = nullptr);
