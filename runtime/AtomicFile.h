#pragma once

#include <string>
#include <sys/types.h>

// Replaces the file at path with exactly these bytes, atomically: the bytes go to a new temporary
// file in the same folder, which is flushed to disk and then renamed over the old file. A failure
// at any point leaves the old file as it was (and no temporary file behind). The new file gets
// the given permission bits. Returns false when the file could not be replaced; error (if given)
// then says why.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, mode_t mode = 0644,
                           std::string* error = nullptr);

// Reads the whole file into bytes. Returns false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
