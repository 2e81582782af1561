// Where the dialer keeps its data. Seeding a fresh data folder from an installed prefix (its shipped
// files found there) is Install.TheInstalledDialerStartsFromItsDesktopEntryWithAFreshHome's.
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/DataFolder.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(DataFolder, ALaterStartKeepsWhatTheUserHasAndAFolderThatCannotBeMadeIsReported) {
  TempDir shipped, home(true);  // the working folder comes back when home goes
  fs::create_directories(shipped / "data1");
  WriteFileBytes(shipped / "data1/banner.gif", "GIF89a");
  const fs::path folder = home / "share/vantro-dialer";
  std::string error;
  ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error)) << error;
  EXPECT_EQ(fs::current_path(), folder);
  WriteFileBytes(folder / "data1/banner.gif", "mine");
  ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error));
  EXPECT_EQ(ReadFileBytes(folder / "data1/banner.gif"), "mine");

  WriteFileBytes(home / "blocker", "a file where the folder should be");
  EXPECT_FALSE(PrepareWorkingFolder(home / "blocker/vantro-dialer", shipped.path(), &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(DataFolder, ARelativeXdgDataHomeIsIgnoredAndWithoutHomeTheUsersOwnHomeHoldsIt) {
  ScopedEnv dataHome("XDG_DATA_HOME", "relative/ignored");
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(UserDataFolder(), fs::path("/home/someone/.local/share/vantro-dialer"));
  // Never a shared folder.
  unsetenv("HOME");
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(UserDataFolder(), fs::path(pw->pw_dir) / ".local/share/vantro-dialer");
}
