#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

// A folder of stand-in programs put first on PATH (or alone on it) for the life of the object.
// Each program is a shell script (with PATH alone on the fake folder, scripts name other
// programs by their full path); XDG_DATA_HOME is the folder's data/. The old PATH and
// XDG_DATA_HOME come back afterwards.
class FakePrograms {
 public:
  explicit FakePrograms(bool only = false);

  // Adds a program whose body is the given shell script lines.
  void Add(const std::string& name, const std::string& script);
  // Adds a program that writes its arguments, one per line, to <name>.args and exits with code.
  void AddRecorder(const std::string& name, int exitCode = 0);
  // The arguments the recorder got ("" when it did not run).
  std::string ArgsOf(const std::string& name) const;

  std::filesystem::path Folder() const { return m_dir.path() / "bin"; }
  const TempDir& Dir() const { return m_dir; }

 private:
  TempDir m_dir;
  ScopedEnv m_path;
  ScopedEnv m_dataHome;
};
