// This build installed with `cmake --install` into temporary prefixes: every file in its place and
// nothing else, a desktop entry the desktop's validator accepts whatever characters the prefix has,
// and the installed dialer started from that entry with a fresh home folder.
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/Programs.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Runs a program to its end: its exit code (-1 when it did not exit) and what it printed.
std::pair<int, std::string> RunToEnd(const std::vector<std::string>& args, const Environment& env) {
  TempDir dir;
  const pid_t pid = Spawn(args, env, dir / "output");
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return {-1, ReadFileBytes(dir / "output")};
  return {WEXITSTATUS(status), ReadFileBytes(dir / "output")};
}

// The regular files under a folder, by their paths relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), root).generic_string());
  return files;
}

// The process running a program, found by its executable (0 when there is none).
pid_t ProcessOf(const fs::path& program) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    std::error_code e;
    if (fs::read_symlink(entry.path() / "exe", e) == program) return pid_t(std::stoi(entry.path().filename()));
  }
  return 0;
}

class Install : public ::testing::Test {
 protected:
  // Installs the build into <temporary folder>/<name>.
  fs::path InstallInto(const std::string& name) {
    const fs::path prefix = m_dir / name;
    const auto [code, output] = RunToEnd(
        {CMAKE_PROGRAM, "--install", VANTRO_TEST_BUILD_DIR, "--prefix", prefix.string()}, CurrentEnvironment());
    EXPECT_EQ(code, 0) << output;
    return prefix;
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(Install, PutsEveryFileInItsPlaceWithADesktopEntryValidWhateverThePrefix) {
  const int iconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
  std::set<std::string> expected = {"share/applications/vantro-dialer.desktop"};
  std::istringstream programs(VANTRO_INSTALLED_PROGRAMS);
  for (std::string program; std::getline(programs, program, ',');) expected.insert("bin/" + program);
  EXPECT_TRUE(expected.count("bin/vantro-dialer"));
  for (const char* folder : {"dtmf", "data1"})
    for (const std::string& file : FilesUnder(fs::path(VANTRO_TEST_SOURCE_RES_DIR) / folder))
      expected.insert("share/vantro-dialer/" + std::string(folder) + "/" + file);
  for (int size : iconSizes)
    expected.insert("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                    "/apps/vantro-dialer.png");

  // Characters a desktop entry's command line must quote, escape or double (CMake's own install
  // takes no backslash in a prefix).
  for (const std::string name : {"usr", "pre fix$1%'\""}) {
    SCOPED_TRACE(name);
    const fs::path prefix = InstallInto(name);
    ASSERT_EQ(FilesUnder(prefix), expected);
    for (const std::string& file : expected) {
      EXPECT_TRUE(!file.starts_with("bin/") || ::access((prefix / file).c_str(), X_OK) == 0) << file;
      EXPECT_TRUE(!file.starts_with("share/vantro-dialer/") ||
                  ReadFileBytes(prefix / file) == ReadFileBytes(VANTRO_TEST_SOURCE_RES_DIR + file.substr(19)))
          << file;
    }

    const fs::path entry = prefix / "share/applications/vantro-dialer.desktop";
    const auto [code, complaints] = RunToEnd({"desktop-file-validate", entry.string()}, CurrentEnvironment());
    ASSERT_NE(code, -1) << "desktop-file-validate is missing: run scripts/deps.sh";
    EXPECT_EQ(code, 0) << complaints;
    EXPECT_EQ(complaints, "");  // not even a hint
    // The icon it names is the one installed; its command is the installed program.
    const std::string text = ReadFileBytes(entry);
    std::smatch icon;
    ASSERT_TRUE(std::regex_search(text, icon, std::regex("\nIcon=([^\n]*)")));
    EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/48x48/apps" / (icon[1].str() + ".png")));
    EXPECT_TRUE(name != "usr" ||
                text.find("\nExec=" + (prefix / "bin/vantro-dialer").string() + "\n") != std::string::npos)
        << text;
  }
}

// Started as the desktop starts it (gio launch of its desktop entry) with nothing of the build around,
// the installed dialer seeds its data folder from the installed files and waits in the sign-in dialog.
TEST_F(Install, TheInstalledDialerStartsFromItsDesktopEntryWithAFreshHome) {
  const fs::path prefix = InstallInto("pre fix$1'\"");
  // Mark the installed key tone 1, so that the seeded copy shows where it came from.
  const fs::path shared = prefix / "share/vantro-dialer";
  WriteFileBytes(shared / "dtmf/key1.wav", ReadFileBytes(shared / "dtmf/key2.wav"));

  const fs::path home = m_dir / "home", runtime = m_dir / "runtime";
  fs::create_directories(home);
  fs::create_directories(m_dir / "no-data-dirs");
  fs::create_directory(runtime);
  ::chmod(runtime.c_str(), 0700);
  Environment env = {"PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""),
                     "HOME=" + home.string(),
                     "XDG_DATA_HOME=" + (home / "data").string(),
                     "XDG_DATA_DIRS=" + (m_dir / "no-data-dirs").string(),
                     "XDG_RUNTIME_DIR=" + runtime.string(),
                     "QT_QPA_PLATFORM=offscreen"};
  for (const char* pass : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "PULSE_SERVER"})
    if (const char* value = std::getenv(pass)) env.push_back(std::string(pass) + "=" + value);

  // gio ends once the dialer runs; the dialer then becomes this process's child.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  const fs::path log = m_dir / "dialer.log";
  const pid_t gio = Spawn({"gio", "launch", (prefix / "share/applications/vantro-dialer.desktop").string()}, env, log);
  ASSERT_GT(gio, 0) << "gio is missing: run scripts/deps.sh";
  int status = 0;
  ASSERT_EQ(::waitpid(gio, &status, 0), gio);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileBytes(log);
  const fs::path program = fs::canonical(prefix / "bin/vantro-dialer");
  ChildGuard dialer;
  ASSERT_TRUE(WaitFor(30s, [&] { return (dialer.pid = ProcessOf(program)) > 0; })) << ReadFileBytes(log);
  auto running = [&] { return ::waitpid(dialer.pid, nullptr, WNOHANG) == 0; };

  const fs::path data = home / "data/vantro-dialer";
  EXPECT_TRUE(WaitFor(60s, [&] { return FilesUnder(data) == FilesUnder(shared) || !running(); }));
  EXPECT_EQ(FilesUnder(data), FilesUnder(shared));
  EXPECT_TRUE(ReadFileBytes(data / "dtmf/key1.wav") == ReadFileBytes(shared / "dtmf/key2.wav"));
  std::this_thread::sleep_for(2s);  // in the sign-in dialog
  EXPECT_TRUE(running()) << ReadFileBytes(log);
  EXPECT_FALSE(fs::exists(data / "data1/Dialer.property"));  // nothing stored before signing in
  EXPECT_EQ(ReadFileBytes(log).find("vantro-dialer:"), std::string::npos) << ReadFileBytes(log);
}
