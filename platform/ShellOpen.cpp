#include "ShellOpen.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace {

// The argument vector of a spawn: pointers into argv, ending with a null pointer.
std::vector<char*> ArgumentVector(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  return args;
}

// Starts argv; on success stores the child's pid.
int Spawn(const std::vector<std::string>& argv, pid_t* pid) {
  if (argv.empty() || argv[0].empty()) return SE_ERR_FNF;
  std::vector<char*> args = ArgumentVector(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  const int rc = posix_spawnp(pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  switch (rc) {
    case 0: return 33;
    case ENOENT: return SE_ERR_FNF;
    case ENOTDIR: return SE_ERR_PNF;
    case EACCES:
    case EPERM: return SE_ERR_ACCESSDENIED;
    case ENOEXEC: return SE_ERR_BADFORMAT;
    case ENOMEM: return SE_ERR_OOM;
    default: return SE_ERR_OOM_RESOURCES;
  }
}

// Collects the child's exit when it comes, without anybody waiting for it.
void ReapLater(pid_t pid) {
  std::thread([pid] {
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

bool HasScheme(const std::string& address) {
  const auto colon = address.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  for (size_t i = 0; i < colon; ++i) {
    const char c = address[i];
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.')) return false;
  }
  if (!std::isalpha(static_cast<unsigned char>(address[0]))) return false;
  // "host:8080/path" is a host and a port, not a scheme.
  size_t i = colon + 1;
  while (i < address.size() && std::isdigit(static_cast<unsigned char>(address[i]))) ++i;
  return !(i > colon + 1 && (i == address.size() || address[i] == '/'));
}

// Output of a command, its first line, or "" when it fails.
std::string FirstLineOf(const std::vector<std::string>& argv) {
  int pipefd[2];
  if (::pipe(pipefd) != 0) return {};
  std::vector<char*> args = ArgumentVector(argv);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipefd[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipefd[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipefd[1]);
  std::string out;
  if (rc == 0) {
    char buf[512];
    ssize_t n;
    while (out.size() < 4096 && (n = ::read(pipefd[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    int status;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) out.clear();
  }
  ::close(pipefd[0]);
  const auto nl = out.find('\n');
  return nl == std::string::npos ? out : out.substr(0, nl);
}

std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> folders;
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  if (dataHome && *dataHome)
    folders.push_back(std::string(dataHome) + "/applications");
  else if (home && *home)
    folders.push_back(std::string(home) + "/.local/share/applications");
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
  std::string dir;
  while (std::getline(list, dir, ':'))
    if (!dir.empty()) folders.push_back(dir + "/applications");
  return folders;
}

// The Exec= value of the [Desktop Entry] group of a desktop file, or "".
std::string ExecLineOf(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  bool inEntry = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[')
      inEntry = line == "[Desktop Entry]";
    else if (inEntry && line.rfind("Exec", 0) == 0) {
      size_t i = 4;
      while (i < line.size() && line[i] == ' ') ++i;
      if (i < line.size() && line[i] == '=') {
        ++i;
        while (i < line.size() && line[i] == ' ') ++i;
        return line.substr(i);
      }
    }
  }
  return {};
}

// Splits a command line into words the way desktop entries quote them: blanks separate words,
// double quotes group, and inside quotes a backslash escapes the next character.
std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '\\' && i + 1 < text.size())
        word.push_back(text[++i]);
      else if (c == '"')
        quoted = false;
      else
        word.push_back(c);
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word.push_back(c);
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

}  // namespace

int ShellOpen(const std::string& rawAddress) {
  std::string address = rawAddress;
  struct stat st {};
  if (!HasScheme(address) && ::stat(address.c_str(), &st) != 0 && !address.empty()) address = "http://" + address;
  pid_t pid = 0;
  const int started = Spawn({"xdg-open", address}, &pid);
  if (started <= 32) return started == SE_ERR_FNF ? SE_ERR_NOASSOC : started;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kShellOpenWaitMs);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return SHELL_OPEN_OK;
    if (std::chrono::steady_clock::now() >= deadline) {
      // Still running: it has handed the address to a program that keeps it open.
      ReapLater(pid);
      return SHELL_OPEN_OK;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!WIFEXITED(status)) return SE_ERR_OOM_RESOURCES;
  switch (WEXITSTATUS(status)) {
    case 0: return SHELL_OPEN_OK;
    case 1:                          // the address was not accepted
    case 2: return SE_ERR_FNF;       // a file that does not exist
    default: return SE_ERR_NOASSOC;  // no program for it, or the program failed
  }
}

std::string DefaultHtmlHandlerCommand() {
  const std::string id = FirstLineOf({"xdg-mime", "query", "default", "text/html"});
  if (id.empty() || id.find('/') != std::string::npos) return {};
  for (const std::string& folder : ApplicationFolders()) {
    // A desktop file id may stand for a file in a subfolder: "vendor-app.desktop" is also
    // "vendor/app.desktop".
    std::string candidate = id;
    for (;;) {
      const std::string exec = ExecLineOf(folder + "/" + candidate);
      if (!exec.empty()) return exec;
      const auto dash = candidate.find('-');
      if (dash == std::string::npos) break;
      candidate[dash] = '/';
    }
  }
  return {};
}

std::vector<std::string> HandlerArguments(const std::string& execLine, const std::string& address) {
  static const char* const kPlaceholders[] = {"%u", "%U", "%f", "%F", "%1"};
  size_t cut = std::string::npos;
  for (const char* p : kPlaceholders) {
    const std::string quoted = std::string("\"") + p + "\"";
    size_t at = execLine.find(quoted);
    if (at == std::string::npos) at = execLine.find(p);
    if (at != std::string::npos && at < cut) cut = at;
  }
  std::string head = execLine.substr(0, cut);
  // Other field codes stand for things we do not have; "%%" is a percent sign.
  std::string clean;
  for (size_t i = 0; i < head.size(); ++i) {
    if (head[i] == '%' && i + 1 < head.size()) {
      if (head[i + 1] == '%') clean.push_back('%');
      ++i;
      continue;
    }
    clean.push_back(head[i]);
  }
  std::vector<std::string> argv = SplitWords(clean);
  argv.push_back(address);
  return argv;
}

int StartProgram(const std::vector<std::string>& argv) {
  pid_t pid = 0;
  const int rc = Spawn(argv, &pid);
  if (rc > 32) ReapLater(pid);
  return rc;
}
