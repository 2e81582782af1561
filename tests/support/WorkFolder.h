#pragma once

#include <filesystem>

#include "tests/support/TempDir.h"

// The program's working folder for a test: a fresh temporary folder, made the working folder for
// the object's lifetime, with the empty data1/ in which the program keeps its files.
class WorkFolder : public TempDir {
 public:
  WorkFolder() : TempDir(true) { std::filesystem::create_directory(path() / "data1"); }
};
