#include "tests/support/Programs.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

extern char** environ;

using namespace std::chrono_literals;

Environment CurrentEnvironment() {
  Environment env;
  for (char** e = environ; *e; ++e) env.emplace_back(*e);
  return env;
}

pid_t Spawn(const std::vector<std::string>& args, const Environment& env, const std::filesystem::path& outputFile,
            const std::filesystem::path& workingFolder, const std::filesystem::path& errorFile) {
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (errorFile.empty())
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
  else
    posix_spawn_file_actions_addopen(&actions, 2, errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!workingFolder.empty()) posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

bool WaitFor(std::chrono::seconds limit, const std::function<bool()>& done) {
  for (auto end = std::chrono::steady_clock::now() + limit; std::chrono::steady_clock::now() < end;
       std::this_thread::sleep_for(100ms))
    if (done()) return true;
  return done();
}

ChildGuard::~ChildGuard() {
  if (pid <= 0 || ::waitpid(pid, nullptr, WNOHANG) != 0) return;
  ::kill(pid, SIGTERM);
  if (!WaitFor(10s, [&] { return ::waitpid(pid, nullptr, WNOHANG) != 0; })) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}
