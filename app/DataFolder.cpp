#include "app/DataFolder.h"

#include <algorithm>
#include <cstdlib>
#include <pwd.h>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home && *home) return fs::path(home);
  // Without HOME (started by a service, say) the user's own entry still names the folder;
  // a shared folder such as /tmp would expose the settings to every user.
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && *pw->pw_dir) return fs::path(pw->pw_dir);
  return fs::path("/");
}

// The absolute folders of a colon-separated list such as $XDG_DATA_DIRS; relative entries are
// ignored, as the base directory rules ask.
std::vector<fs::path> AbsoluteFolders(std::string_view list) {
  std::vector<fs::path> folders;
  while (!list.empty()) {
    const size_t colon = std::min(list.find(':'), list.size());
    const fs::path folder(list.substr(0, colon));
    if (folder.is_absolute()) folders.push_back(folder);
    list.remove_prefix(std::min(colon + 1, list.size()));
  }
  return folders;
}

bool IsInside(const fs::path& path, const fs::path& folder) {
  std::error_code ec;
  const fs::path f = fs::weakly_canonical(folder, ec);
  if (ec) return false;
  const fs::path relative = fs::weakly_canonical(path, ec).lexically_relative(f);
  return !ec && !relative.empty() && *relative.begin() != "..";
}

}  // namespace

fs::path UserDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute()) return fs::path(xdg) / "vantro-dialer";
  return HomeFolder() / ".local" / "share" / "vantro-dialer";
}

fs::path SharedFilesFolder(const fs::path& programPath) {
  if (const char* env = std::getenv("VANTRO_SHARE_DIR"); env && *env) return fs::path(env);
  std::vector<fs::path> candidates;
  if (programPath.is_absolute()) {
    candidates.push_back(programPath.parent_path() / ".." / "share" / "vantro-dialer");
    if (IsInside(programPath, VANTRO_BUILD_DIR)) candidates.push_back(VANTRO_SOURCE_RES_DIR);
  }
  const char* dataDirs = std::getenv("XDG_DATA_DIRS");
  for (const fs::path& dir : AbsoluteFolders(dataDirs && *dataDirs ? dataDirs : "/usr/local/share/:/usr/share/"))
    candidates.push_back(dir / "vantro-dialer");

  std::error_code ec;
  for (const fs::path& candidate : candidates) {
    if (!fs::is_directory(candidate, ec)) continue;
    const fs::path canonical = fs::weakly_canonical(candidate, ec);
    return ec ? candidate : canonical;
  }
  return {};
}

bool PrepareWorkingFolder(const fs::path& folder, const fs::path& shipped, std::string* error) {
  std::error_code ec;
  for (const fs::path& p : {folder, folder / "data1", folder / "dtmf"}) {
    fs::create_directories(p, ec);
    if (ec) {
      if (error) *error = "cannot create " + p.string() + ": " + ec.message();
      return false;
    }
  }
  fs::current_path(folder, ec);
  if (ec) {
    if (error) *error = "cannot enter " + folder.string() + ": " + ec.message();
    return false;
  }
  if (shipped.empty()) return true;
  // Seed what the program ships; a file the user already has is never replaced. The copy is
  // made under a temporary name first, so an interrupted start never leaves half a file that
  // later starts would take for the user's own.
  auto seed = [&](const fs::path& from, const fs::path& to) {
    std::error_code e;
    if (fs::exists(to, e) || !fs::is_regular_file(from, e)) return;
    fs::path part = to;
    part += ".part";
    if (fs::copy_file(from, part, fs::copy_options::overwrite_existing, e)) fs::rename(part, to, e);
    if (e) fs::remove(part, e);
  };
  for (const char* name :
       {"key1", "key2", "key3", "key4", "key5", "key6", "key7", "key8", "key9", "key10", "keystar", "keyhash"})
    seed(shipped / "dtmf" / (std::string(name) + ".wav"), folder / "dtmf" / (std::string(name) + ".wav"));
  seed(shipped / "data1" / "banner.gif", folder / "data1" / "banner.gif");
  return true;
}
