#pragma once
// Starting the programs under test as processes of their own, and waiting on them.

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using Environment = std::vector<std::string>;  // "NAME=value" entries

Environment CurrentEnvironment();

// Starts a program (looked up on PATH) with its output going to outputFile and its errors to
// errorFile (when none is given, to outputFile as well); 0 when it cannot be started.
pid_t Spawn(const std::vector<std::string>& args, const Environment& env, const std::filesystem::path& outputFile,
            const std::filesystem::path& workingFolder = {}, const std::filesystem::path& errorFile = {});

// Asks done every tenth of a second until it holds or the limit has passed; its last answer.
bool WaitFor(std::chrono::seconds limit, const std::function<bool()>& done);

// Ends a process that became this process's child, when the test is done with it.
struct ChildGuard {
  pid_t pid = 0;
  ~ChildGuard();
};
