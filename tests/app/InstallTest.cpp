// This build installed with `cmake --install` into temporary prefixes: every file in its place
// and nothing else, a desktop entry the desktop's validator accepts whatever characters the
// prefix has, and the installed dialer started from that entry with a fresh home folder.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <QImage>
#include <gtest/gtest.h>

#include "platform/DialogUnits.h"
#include "res/SignInLayout.h"
#include "tests/support/Programs.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const char* const kTones[] = {"key1", "key2", "key3", "key4",  "key5",    "key6",
                              "key7", "key8", "key9", "key10", "keystar", "keyhash"};
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const std::string kSourceRes = VANTRO_TEST_SOURCE_RES_DIR;

struct Output {
  int exitCode = -1;
  std::string text;
};

// Runs a program to its end and collects what it printed.
Output RunProgram(const std::vector<std::string>& args, const Environment& env = CurrentEnvironment()) {
  TempDir dir;
  Output out;
  const pid_t pid = Spawn(args, env, dir / "output");
  int status = 0;
  if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return out;
  out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  out.text = ReadFileBytes(dir / "output");
  return out;
}

// The regular files under a folder, by their paths relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); it != fs::recursive_directory_iterator(); it.increment(ec))
    if (it->is_regular_file()) files.insert(fs::relative(it->path(), root).generic_string());
  return files;
}

// The keys of a desktop entry's [Desktop Entry] group.
std::map<std::string, std::string> DesktopEntryKeys(const fs::path& file) {
  std::map<std::string, std::string> keys;
  std::istringstream in(ReadFileBytes(file));
  std::string line, group;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[')
      group = line;
    else if (group == "[Desktop Entry]" && line.find('=') != std::string::npos)
      keys[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
  }
  return keys;
}

// An X server of the test's own on a free display; no display when Xvfb cannot be started.
class XServer {
 public:
  XServer() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    // Xvfb writes its display number to descriptor 3 once it takes connections.
    m_pid = Spawn({"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, CurrentEnvironment(),
                  "/dev/null", {}, fds[1]);
    ::close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (m_pid > 0 && ::poll(&p, 1, 30000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty()) m_display = ":" + number;
  }
  ~XServer() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
  }
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  const std::string& Display() const { return m_display; }

 private:
  pid_t m_pid = 0;
  std::string m_display;
};

// The process running a program, found by its executable (0 when there is none).
pid_t ProcessOf(const fs::path& program) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::error_code e;
    if (fs::read_symlink(entry.path() / "exe", e) == program) return pid_t(std::stoi(name));
  }
  return 0;
}

// The id of a window on the screen whose `xwininfo -tree` line matches; empty when none is.
std::string ViewableWindow(const std::string& display, const std::regex& line) {
  const Output tree = RunProgram({"xwininfo", "-display", display, "-root", "-tree"});
  std::istringstream in(tree.text);
  std::smatch m;
  for (std::string text; std::getline(in, text);)
    if (std::regex_search(text, m, line) &&
        RunProgram({"xwininfo", "-display", display, "-id", m[1]}).text.find("IsViewable") != std::string::npos)
      return m[1];
  return {};
}

class Install : public ::testing::Test {
 protected:
  // Installs the build into <temporary folder>/<name>; empty when that failed.
  fs::path InstallInto(const std::string& name) {
    const fs::path prefix = m_dir / name;
    const Output r = RunProgram({CMAKE_PROGRAM, "--install", VANTRO_TEST_BUILD_DIR, "--prefix", prefix.string()});
    EXPECT_EQ(r.exitCode, 0) << r.text;
    return r.exitCode == 0 ? prefix : fs::path();
  }

  TempDir m_dir;
};

}  // namespace

TEST_F(Install, PutsEveryFileInItsPlaceWithADesktopEntryValidWhateverThePrefix) {
  std::set<std::string> expected;
  std::istringstream programs(VANTRO_INSTALLED_PROGRAMS);
  for (std::string program; std::getline(programs, program, ',');) expected.insert("bin/" + program);
  EXPECT_TRUE(expected.count("bin/vantro-dialer"));
  for (const char* tone : kTones) expected.insert("share/vantro-dialer/dtmf/" + std::string(tone) + ".wav");
  expected.insert("share/vantro-dialer/data1/banner.gif");
  expected.insert("share/applications/vantro-dialer.desktop");
  for (int size : kIconSizes)
    expected.insert("share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                    "/apps/vantro-dialer.png");

  // Characters a desktop entry's command line must quote, escape or double. (CMake's own
  // install takes no backslash in a prefix.)
  for (const std::string name : {"usr", "pre fix$1%'\""}) {
    SCOPED_TRACE(name);
    const fs::path prefix = InstallInto(name);
    ASSERT_FALSE(prefix.empty());
    EXPECT_EQ(FilesUnder(prefix), expected);
    for (const std::string& file : expected) {
      if (file.starts_with("bin/")) {
        EXPECT_EQ(::access((prefix / file).c_str(), X_OK), 0) << file;
      }
    }
    // The shipped files are the source tree's, byte for byte.
    for (const std::string& file : FilesUnder(prefix / "share/vantro-dialer"))
      EXPECT_TRUE(ReadFileBytes(prefix / "share/vantro-dialer" / file) == ReadFileBytes(kSourceRes + "/" + file))
          << file;
    // Each icon has the size its folder says, with a transparent outside.
    for (int size : kIconSizes) {
      const std::string folder = std::to_string(size) + "x" + std::to_string(size);
      const QImage icon(
          QString::fromStdString((prefix / "share/icons/hicolor" / folder / "apps/vantro-dialer.png").string()));
      EXPECT_EQ(icon.size(), QSize(size, size)) << folder;
      EXPECT_EQ(icon.pixelColor(0, 0).alpha(), 0) << folder;
    }

    const fs::path entry = prefix / "share/applications/vantro-dialer.desktop";
    const Output v = RunProgram({"desktop-file-validate", entry.string()});
    ASSERT_NE(v.exitCode, -1) << "desktop-file-validate is missing: run scripts/deps.sh";
    EXPECT_EQ(v.exitCode, 0) << v.text;
    EXPECT_EQ(v.text, "");  // not even a hint
    // The icon it names is the one installed; its command is the installed program.
    auto keys = DesktopEntryKeys(entry);
    EXPECT_TRUE(fs::exists(prefix / "share/icons/hicolor/48x48/apps" / (keys["Icon"] + ".png")));
    if (name == "usr") {
      EXPECT_EQ(keys["Exec"], (prefix / "bin/vantro-dialer").string());
    }
  }
}

// The dialer installed under a prefix with a space, quotes and a dollar, started as
// the desktop starts it (gio launch of its desktop entry) with nothing of the build around: it
// seeds its data folder from the installed files and asks for the account. Under Xvfb the
// sign-in dialog must be on the screen; without Xvfb it runs off-screen and must keep running.
TEST_F(Install, TheInstalledDialerStartsFromItsDesktopEntryWithAFreshHome) {
  const fs::path prefix = InstallInto("pre fix$1'\"");
  ASSERT_FALSE(prefix.empty());
  // Mark the installed key tone 1, so that the seeded copy shows where it came from.
  const fs::path shared = prefix / "share/vantro-dialer";
  const std::string marked = ReadFileBytes(shared / "dtmf/key2.wav");
  WriteFileBytes(shared / "dtmf/key1.wav", marked);

  const fs::path home = m_dir / "home", runtime = m_dir / "runtime";
  fs::create_directories(home);
  fs::create_directories(m_dir / "no-data-dirs");
  fs::create_directory(runtime);
  ::chmod(runtime.c_str(), 0700);
  XServer x;
  Environment env = {"PATH=" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""), "HOME=" + home.string(),
                     "XDG_DATA_HOME=" + (home / "data").string(), "XDG_DATA_DIRS=" + (m_dir / "no-data-dirs").string(),
                     "XDG_RUNTIME_DIR=" + runtime.string()};
  if (x.Display().empty())
    env.push_back("QT_QPA_PLATFORM=offscreen");
  else
    env.insert(env.end(), {"DISPLAY=" + x.Display(), "QT_QPA_PLATFORM=xcb"});
  for (const char* pass : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "PULSE_SERVER"})
    if (const char* value = std::getenv(pass)) env.push_back(std::string(pass) + "=" + value);

  // gio ends once the dialer runs; the dialer then becomes this process's child.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  const fs::path log = m_dir / "dialer.log";
  const fs::path entry = prefix / "share/applications/vantro-dialer.desktop";
  const pid_t gio = Spawn({"gio", "launch", entry.string()}, env, log, m_dir.path());
  ASSERT_GT(gio, 0) << "gio is missing: run scripts/deps.sh";
  int status = 0;
  ASSERT_EQ(::waitpid(gio, &status, 0), gio);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFileBytes(log);
  const fs::path program = fs::canonical(prefix / "bin/vantro-dialer");
  ChildGuard dialer;
  ASSERT_TRUE(WaitFor(30s, [&] { return (dialer.pid = ProcessOf(program)) > 0; })) << ReadFileBytes(log);
  auto running = [&] { return ::waitpid(dialer.pid, &status, WNOHANG) == 0; };

  const fs::path data = home / "data/vantro-dialer";
  const std::set<std::string> shippedFiles = FilesUnder(shared);
  EXPECT_TRUE(WaitFor(60s, [&] { return FilesUnder(data) == shippedFiles || !running(); }));
  EXPECT_EQ(FilesUnder(data), shippedFiles);
  EXPECT_TRUE(ReadFileBytes(data / "dtmf/key1.wav") == marked);
  EXPECT_TRUE(ReadFileBytes(data / "data1/banner.gif") == ReadFileBytes(shared / "data1/banner.gif"));

  if (!x.Display().empty()) {
    // The sign-in dialog: a window of the program's at the dialog's own size, on the screen.
    const QSize size(DluToPixelsX(kSignInWidth), DluToPixelsY(kSignInHeight));
    const std::regex line(
        "(0x[0-9a-f]+) \"[^\"]*\": \\(\"vantro-dialer\" "
        "\"vantro-dialer\"\\) +" +
        std::to_string(size.width()) + "x" + std::to_string(size.height()) + "\\+");
    std::string window;
    WaitFor(60s, [&] {
      window = ViewableWindow(x.Display(), line);
      return !window.empty() || !running();
    });
    EXPECT_FALSE(window.empty()) << "no sign-in dialog on the screen\n" << ReadFileBytes(log);
  } else {
    std::this_thread::sleep_for(2s);  // waits in the sign-in dialog off-screen
  }

  EXPECT_TRUE(running()) << ReadFileBytes(log);
  EXPECT_FALSE(fs::exists(data / "data1/Dialer.property"));  // nothing stored before signing in
  EXPECT_EQ(ReadFileBytes(log).find("vantro-dialer:"), std::string::npos) << ReadFileBytes(log);
}
