#pragma once

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

// Stand-in shell scripts first on PATH (or alone on it: then scripts name other programs by full
// path), and XDG_DATA_HOME in the folder's data/, for the life of the object.
class FakePrograms {
 public:
  explicit FakePrograms(bool only = false);

  void Add(const std::string& name, const std::string& script);
  // A program that writes its arguments, one per line, to <name>.args and exits with the code.
  void AddRecorder(const std::string& name, int exitCode = 0);
  std::string ArgsOf(const std::string& name) const;  // "" when the recorder did not run

  std::filesystem::path Folder() const { return m_dir.path() / "bin"; }
  const TempDir& Dir() const { return m_dir; }

 private:
  TempDir m_dir;
  ScopedEnv m_path;
  ScopedEnv m_dataHome;
};
