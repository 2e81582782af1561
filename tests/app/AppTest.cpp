// Where the dialer keeps its data and finds its shipped files. Seeding a fresh data folder from an
// installed prefix is Install.TheInstalledDialerStartsFromItsDesktopEntryWithAFreshHome's.
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

TEST(SharedFiles, WithoutItsPrefixsFilesAProgramLooksInXdgDataDirsAndTheBuildFolderInTheSourceTree) {
  TempDir root(true);  // the working folder comes back when it goes
  const fs::path program = root / "prefix/bin/vantro-dialer";
  for (const char* folder : {"prefix/bin", "system/vantro-dialer", "empty"}) fs::create_directories(root / folder);
  ScopedEnv shareDir("VANTRO_SHARE_DIR", "");
  ScopedEnv dataDirs("XDG_DATA_DIRS", "relative/share:" + (root / "empty").string() + ":" + (root / "system").string());
  EXPECT_EQ(SharedFilesFolder(program), fs::canonical(root / "system/vantro-dialer"));
  const fs::path inTheBuild = fs::path(VANTRO_TEST_BUILD_DIR) / "app/vantro-dialer";
  EXPECT_EQ(SharedFilesFolder(inTheBuild), fs::canonical(VANTRO_TEST_SOURCE_RES_DIR));

  // Nowhere: nothing to seed, and the data folder is made all the same.
  setenv("XDG_DATA_DIRS", (root / "empty").string().c_str(), 1);
  EXPECT_EQ(SharedFilesFolder(program), fs::path());
  std::string error;
  EXPECT_TRUE(PrepareWorkingFolder(root / "data", fs::path(), &error)) << error;
  EXPECT_TRUE(fs::is_empty(root / "data/dtmf"));
  // A program path that could not be read is not taken as relative to the working folder.
  fs::create_directories(root / "prefix/share/vantro-dialer");
  fs::current_path(root / "prefix/bin");
  EXPECT_EQ(SharedFilesFolder(fs::path()), fs::path());

  setenv("VANTRO_SHARE_DIR", "/opt/tones", 1);
  EXPECT_EQ(SharedFilesFolder(inTheBuild), fs::path("/opt/tones"));
}
