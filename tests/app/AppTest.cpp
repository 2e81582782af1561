#include <filesystem>
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/DataFolder.h"
#include "app/PWLibProcess.h"
#include "tests/support/SoundTestSupport.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

// The class chain as such is PProcessTest's; here the program's own process object joins it.
TEST(PWLibProcess, AnswersForItsOwnClassAndItsParents) {
  PWLibProcess process;
  EXPECT_EQ(PProcess::Current(), &process);
  EXPECT_STREQ(process.GetClass(), "PWLibProcess");
  EXPECT_TRUE(process.IsDescendant("PWLibProcess"));
  EXPECT_TRUE(process.IsDescendant("PProcess"));
  EXPECT_TRUE(process.IsDescendant("PThread"));
  EXPECT_FALSE(process.IsDescendant("CDialerApp"));
}

TEST(DataFolder, FirstRunCreatesTheFoldersAndSeedsTheShippedFiles) {
  TempDir shipped;
  fs::create_directories(shipped / "dtmf");
  fs::create_directories(shipped / "data1");
  WriteFileBytes(shipped / "dtmf/key1.wav", "tone1");
  WriteFileBytes(shipped / "dtmf/keyhash.wav", "hash");
  WriteFileBytes(shipped / "data1/banner.gif", "GIF89a");

  TempDir home(true);  // the working folder comes back when it goes
  const fs::path folder = home / "share/vantro-dialer";
  std::string error;
  ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error)) << error;
  EXPECT_EQ(fs::current_path(), folder);
  EXPECT_TRUE(fs::is_directory(folder / "data1"));
  EXPECT_EQ(ReadFileBytes(folder / "dtmf/key1.wav"), "tone1");
  EXPECT_EQ(ReadFileBytes(folder / "dtmf/keyhash.wav"), "hash");
  EXPECT_EQ(ReadFileBytes(folder / "data1/banner.gif"), "GIF89a");
  EXPECT_FALSE(fs::exists(folder / "dtmf/key2.wav"));  // not shipped, not made up
  int seeded = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) seeded += entry.is_regular_file();
  EXPECT_EQ(seeded, 3);  // and no temporary copy is left behind

  // A later start never replaces what the user has.
  WriteFileBytes(folder / "data1/banner.gif", "mine");
  ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error));
  EXPECT_EQ(ReadFileBytes(folder / "data1/banner.gif"), "mine");
}

TEST(DataFolder, AFolderThatCannotBeMadeIsReported) {
  TempDir home;
  WriteFileBytes(home / "blocker", "a file where the folder should be");
  std::string error;
  EXPECT_FALSE(PrepareWorkingFolder(home / "blocker/vantro-dialer", home.path(), &error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(DataFolder, FollowsXdgDataHomeElseTheHomeFolder) {
  ScopedEnv dataHome("XDG_DATA_HOME", "/srv/data");
  ScopedEnv home("HOME", "/home/someone");
  EXPECT_EQ(UserDataFolder(), fs::path("/srv/data/vantro-dialer"));
  setenv("XDG_DATA_HOME", "relative/ignored", 1);
  EXPECT_EQ(UserDataFolder(), fs::path("/home/someone/.local/share/vantro-dialer"));
  // Without HOME the user's own home folder still holds the settings, never a shared folder.
  unsetenv("HOME");
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(UserDataFolder(), fs::path(pw->pw_dir) / ".local/share/vantro-dialer");
}

TEST(SharedFiles, AnInstalledProgramLooksUnderItsOwnPrefixThenInXdgDataDirs) {
  TempDir root(true);  // the working folder comes back when it goes
  const fs::path program = root / "prefix/bin/vantro-dialer";
  fs::create_directories(program.parent_path());
  fs::create_directories(root / "prefix/share/vantro-dialer");
  fs::create_directories(root / "system/vantro-dialer");
  fs::create_directories(root / "empty");
  ScopedEnv shareDir("VANTRO_SHARE_DIR", "");
  ScopedEnv dataDirs("XDG_DATA_DIRS", "relative/share:" + (root / "empty").string() + ":" + (root / "system").string());

  EXPECT_EQ(SharedFilesFolder(program), fs::canonical(root / "prefix/share/vantro-dialer"));
  fs::remove_all(root / "prefix/share");
  EXPECT_EQ(SharedFilesFolder(program), fs::canonical(root / "system/vantro-dialer"));

  // Nowhere: nothing to seed, and the data folder is made all the same.
  setenv("XDG_DATA_DIRS", (root / "empty").string().c_str(), 1);
  EXPECT_EQ(SharedFilesFolder(program), fs::path());
  std::string error;
  EXPECT_TRUE(PrepareWorkingFolder(root / "data", fs::path(), &error)) << error;
  EXPECT_TRUE(fs::is_directory(root / "data/dtmf"));
  EXPECT_TRUE(fs::is_empty(root / "data/dtmf"));

  // A program path that could not be read is not taken as relative to the working folder.
  fs::create_directories(root / "prefix/share/vantro-dialer");
  fs::current_path(root / "prefix/bin");
  EXPECT_EQ(SharedFilesFolder(fs::path()), fs::path());
}

TEST(SharedFiles, TheProgramInTheBuildFolderReadsTheSourceTreeUnlessTold) {
  TempDir root;
  fs::create_directories(root / "system/vantro-dialer");
  ScopedEnv shareDir("VANTRO_SHARE_DIR", "");
  ScopedEnv dataDirs("XDG_DATA_DIRS", (root / "system").string());
  const fs::path program = fs::path(VANTRO_TEST_BUILD_DIR) / "app/vantro-dialer";
  EXPECT_EQ(SharedFilesFolder(program), fs::canonical(VANTRO_TEST_SOURCE_RES_DIR));
  setenv("VANTRO_SHARE_DIR", "/opt/tones", 1);
  EXPECT_EQ(SharedFilesFolder(program), fs::path("/opt/tones"));
}
