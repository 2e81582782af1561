#include "tests/support/FakePrograms.h"

#include <fstream>

namespace fs = std::filesystem;

namespace {

std::string PathWith(const fs::path& folder, bool only) {
  const char* path = std::getenv("PATH");
  return only || !path ? folder.string() : folder.string() + ":" + path;
}

}  // namespace

FakePrograms::FakePrograms(bool only)
    : m_path("PATH", PathWith(m_dir.path() / "bin", only)), m_dataHome("XDG_DATA_HOME", (m_dir / "data").string()) {
  fs::create_directories(Folder());
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
