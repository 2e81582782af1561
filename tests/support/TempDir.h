#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes. With chdirInto, it is also the working folder for its lifetime (the old one comes back).
class TempDir {
 public:
  explicit TempDir(bool chdirInto = false);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

 private:
  std::filesystem::path m_path;
  std::filesystem::path m_oldCwd;  // empty without chdirInto
};

// Sets an environment variable for the life of the object (restoring the old value after).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string m_name;
  std::optional<std::string> m_old;
};

// Whole contents of a file as bytes ("" when it cannot be read).
std::string ReadFileBytes(const std::filesystem::path& p);
// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::filesystem::path& p, const std::string& bytes);

// Runs fn in a child process whose files may grow to at most maxFileBytes (writes beyond fail
// with EFBIG, as on a full disk) and returns fn's result, or -1 when the child did not end
// normally. For tests of what a half-done write leaves behind.
int RunWithFileSizeLimit(size_t maxFileBytes, const std::function<int()>& fn);
