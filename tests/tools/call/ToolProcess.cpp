#include "tests/tools/call/ToolProcess.h"

#include "tests/support/Programs.h"
#include "tests/support/TempDir.h"

#include <signal.h>
#include <sys/wait.h>

#include <sstream>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

ToolProcess::ToolProcess(const std::string& name, const std::vector<std::string>& args,
                         const std::filesystem::path& folder)
    : out_(folder / (name + ".out")), err_(folder / (name + ".err")) {
  std::vector<std::string> all{VANTRO_CALL_PROGRAM};
  all.insert(all.end(), args.begin(), args.end());
  pid_ = Spawn(all, CurrentEnvironment(), out_, {}, err_);
  if (pid_ <= 0) throw std::runtime_error("cannot start " + all[0]);
}

ToolProcess::~ToolProcess() {
  Signal(SIGKILL);
  if (!status_) ::waitpid(pid_, nullptr, 0);
}

std::vector<std::string> ToolProcess::Lines() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFileBytes(out_));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ToolProcess::Errors() const { return ReadFileBytes(err_); }

std::vector<std::string> ToolProcess::Events(const std::string& event) const {
  std::vector<std::string> found = Lines();
  std::erase_if(found, [&](const std::string& line) { return JsonField(line, "event") != event; });
  return found;
}

std::vector<std::string> ToolProcess::EventNames() const {
  std::vector<std::string> names = Lines();
  for (auto& line : names) line = JsonField(line, "event");
  return names;
}

std::optional<std::string> ToolProcess::WaitForEvent(const std::string& event, std::chrono::milliseconds limit,
                                                     const std::string& also) const {
  for (const auto end = std::chrono::steady_clock::now() + limit;; std::this_thread::sleep_for(20ms)) {
    for (const auto& line : Events(event))
      if (line.find(also) != std::string::npos) return line;
    if (std::chrono::steady_clock::now() >= end) return std::nullopt;
  }
}

std::optional<int> ToolProcess::Wait(std::chrono::milliseconds limit) {
  for (const auto end = std::chrono::steady_clock::now() + limit; !status_; std::this_thread::sleep_for(20ms)) {
    if (int status = 0; ::waitpid(pid_, &status, WNOHANG) == pid_)
      status_ = status;
    else if (std::chrono::steady_clock::now() >= end)
      return std::nullopt;
  }
  return WIFEXITED(*status_) ? std::optional(WEXITSTATUS(*status_)) : std::nullopt;
}

void ToolProcess::Signal(int signal) {
  if (!status_) ::kill(pid_, signal);
}

unsigned ToolProcess::ListeningPort() const {
  const auto line = WaitForEvent("listening", 10s);
  return line ? static_cast<unsigned>(std::stoul("0" + JsonField(*line, "port"))) : 0;
}

std::string ToolProcess::Transcript() const { return "--- output\n" + ReadFileBytes(out_) + "--- errors\n" + Errors(); }

std::string JsonField(const std::string& json, const std::string& key) {
  const std::string quoted = "\"" + key + "\":";
  std::size_t at = json.find(quoted);
  if (at == std::string::npos || (at += quoted.size()) >= json.size()) return "";
  if (json[at] == '"') {
    std::string text;
    for (std::size_t i = at + 1; i < json.size() && json[i] != '"'; ++i) {
      if (json[i] == '\\' && i + 1 < json.size()) {
        const char c = json[++i];
        text += c == 'n' ? '\n' : c == 't' ? '\t' : c;
      } else {
        text += json[i];
      }
    }
    return text;
  }
  if (json[at] == '{') {
    for (std::size_t i = at, depth = 0; i < json.size(); ++i) {
      depth += json[i] == '{';
      if (json[i] == '}' && --depth == 0) return json.substr(at, i - at + 1);
    }
    return "";
  }
  return json.substr(at, json.find_first_of(",}", at) - at);
}
