#include "tests/support/FakePrograms.h"

#include <cstdlib>

namespace fs = std::filesystem;

FakePrograms::FakePrograms(bool only)
    : m_path("PATH", Folder().string() + (only || !std::getenv("PATH") ? "" : std::string(":") + std::getenv("PATH"))),
      m_dataHome("XDG_DATA_HOME", (m_dir / "data").string()) {
  fs::create_directories(Folder());
}

void FakePrograms::Add(const std::string& name, const std::string& script) {
  WriteFileBytes(Folder() / name, "#!/bin/sh\n" + script + "\n");
  fs::permissions(Folder() / name, fs::perms::owner_all);
}

void FakePrograms::AddRecorder(const std::string& name, int exitCode) {
  const fs::path args = m_dir.path() / (name + ".args");
  Add(name, "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + args.string() + ".tmp'; /bin/mv '" + args.string() +
                ".tmp' '" + args.string() + "'; exit " + std::to_string(exitCode));
}

std::string FakePrograms::ArgsOf(const std::string& name) const {
  return ReadFileBytes(m_dir.path() / (name + ".args"));
}
