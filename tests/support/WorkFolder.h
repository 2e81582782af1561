#pragma once

#include "tests/support/TempDir.h"

// A fresh temporary folder made the working folder for the object's life, with an empty data1/.
class WorkFolder : public TempDir {
 public:
  WorkFolder() : TempDir(true) { std::filesystem::create_directory(path() / "data1"); }
};
