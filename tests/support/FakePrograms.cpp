#include "tests/support/FakePrograms.h"

#include <fstream>

namespace fs = std::filesystem;

FakePrograms::FakePrograms(bool only) {
  fs::create_directories(Folder());
  const char* path = std::getenv("PATH");
  m_oldPath = path ? path : "";
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  m_hadDataHome = dataHome != nullptr;
  m_oldDataHome = dataHome ? dataHome : "";
  const std::string newPath = only ? Folder().string() : Folder().string() + ":" + m_oldPath;
  setenv("PATH", newPath.c_str(), 1);
  setenv("XDG_DATA_HOME", (m_dir.path() / "data").c_str(), 1);
}

FakePrograms::~FakePrograms() {
  setenv("PATH", m_oldPath.c_str(), 1);
  if (m_hadDataHome)
    setenv("XDG_DATA_HOME", m_oldDataHome.c_str(), 1);
  else
    unsetenv("XDG_DATA_HOME");
}

void FakePrograms::Add(const std::string& name, const std::string& script) {
  const fs::path p = Folder() / name;
  {
    std::ofstream out(p);
    out << "#!/bin/sh\n" << script << "\n";
  }
  fs::permissions(p, fs::perms::owner_all);
}

void FakePrograms::AddRecorder(const std::string& name, int exitCode) {
  const fs::path args = m_dir.path() / (name + ".args");
  Add(name, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + args.string() + ".tmp'; /bin/mv '" + args.string() +
                ".tmp' '" + args.string() + "'; exit " + std::to_string(exitCode));
}

std::string FakePrograms::ArgsOf(const std::string& name) const {
  return ReadFileBytes(m_dir.path() / (name + ".args"));
}
