// Where the dialer keeps its data. Seeding a fresh data folder from an installed prefix (its shipped
// files found there) is Install.TheInstalledDialerStartsFromItsDesktopEntryWithAFreshHome's.
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
