#include <cstdio>
#include <filesystem>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "app/DataFolder.h"
#include "app/PWLibProcess.h"
#include "tests/support/TempDir.h"

namespace fs = std::filesystem;

TEST(PWLibProcess, AnswersForItsOwnClassAndItsParents)
{
    PWLibProcess process;
    EXPECT_EQ(PProcess::Current(), &process);
    EXPECT_STREQ(process.GetClass(), "PWLibProcess");
    EXPECT_TRUE(process.IsDescendant("PWLibProcess"));
    EXPECT_TRUE(process.IsDescendant("PProcess"));
    EXPECT_TRUE(process.IsDescendant("PThread"));
    EXPECT_FALSE(process.IsDescendant("PObject"));
    EXPECT_FALSE(process.IsDescendant("CDialerApp"));
    EXPECT_FALSE(process.IsDescendant("H323EndPoint"));
    EXPECT_EQ(process.GetMajorVersion(), 1u);
    EXPECT_EQ(process.GetMinorVersion(), 0u);
    EXPECT_EQ(process.GetCodeStatus(), PProcess::ReleaseCode);
    EXPECT_EQ(process.GetBuildNumber(), 1u);
    EXPECT_EQ(process.GetManufacturer(), "");
    EXPECT_EQ(process.GetName(), "");
}

TEST(DataFolder, FirstRunCreatesTheFoldersAndSeedsTheShippedFiles)
{
    TempDir shipped;
    fs::create_directories(shipped / "dtmf");
    fs::create_directories(shipped / "data1");
    WriteFileBytes(shipped / "dtmf/key1.wav", "tone1");
    WriteFileBytes(shipped / "dtmf/keyhash.wav", "hash");
    WriteFileBytes(shipped / "data1/banner.gif", "GIF89a");

    TempDir home;
    const fs::path oldCwd = fs::current_path();
    const fs::path folder = home / "share/vantro-dialer";
    std::string error;
    ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error)) << error;
    EXPECT_EQ(fs::current_path(), folder);
    EXPECT_TRUE(fs::is_directory(folder / "data1"));
    EXPECT_EQ(ReadFileBytes(folder / "dtmf/key1.wav"), "tone1");
    EXPECT_EQ(ReadFileBytes(folder / "dtmf/keyhash.wav"), "hash");
    EXPECT_EQ(ReadFileBytes(folder / "data1/banner.gif"), "GIF89a");
    EXPECT_FALSE(fs::exists(folder / "dtmf/key2.wav")); // not shipped, not made up

    // A later start never replaces what the user has.
    WriteFileBytes(folder / "data1/banner.gif", "mine");
    ASSERT_TRUE(PrepareWorkingFolder(folder, shipped.path(), &error));
    EXPECT_EQ(ReadFileBytes(folder / "data1/banner.gif"), "mine");
    fs::current_path(oldCwd);
}

TEST(DataFolder, AFolderThatCannotBeMadeIsReported)
{
    TempDir home;
    WriteFileBytes(home / "blocker", "a file where the folder should be");
    std::string error;
    EXPECT_FALSE(PrepareWorkingFolder(home / "blocker/vantro-dialer", home.path(), &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos);
}

TEST(DataFolder, FollowsXdgDataHome)
{
    const char *old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", "/srv/data", 1);
    EXPECT_EQ(UserDataFolder(), fs::path("/srv/data/vantro-dialer"));
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(UserDataFolder(), fs::path("/home/someone/.local/share/vantro-dialer"));
    if (old)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

namespace {

struct ProbeResult {
    int exitCode = -1;
    std::string output;
};

// Runs the sign-in probe in a fresh data folder and collects what it printed.
ProbeResult RunProbe(const char *mode)
{
    TempDir home;
    fs::create_directory(home / "data1");
    const std::string command = "cd '" + home.path().string() + "' && XDG_DATA_HOME='" +
                                home.path().string() + "' QT_QPA_PLATFORM=offscreen '" +
                                SIGNIN_PROBE + "' " + mode + " 2>/dev/null";
    ProbeResult r;
    FILE *p = ::popen(command.c_str(), "r");
    if (!p)
        return r;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p))
        r.output += buf;
    const int status = ::pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    EXPECT_FALSE(fs::exists(home / "data1/Dialer.property")) << mode; // nothing was stored
    return r;
}

} // namespace

TEST(SignIn, CancelEndsTheProcessWithCodeZeroBeforeAnyWindowShows)
{
    const ProbeResult r = RunProbe("cancel");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.output.find("window shown"), std::string::npos);
    EXPECT_EQ(r.output.find("returned"), std::string::npos);
}

TEST(SignIn, AnIncompleteAccountEndsTheProcessWithCodeZeroAfterTheMessage)
{
    const ProbeResult r = RunProbe("incomplete");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.output.find("box: You Must Enter Serial and PIN both.Try again."),
              std::string::npos);
    EXPECT_EQ(r.output.find("window shown"), std::string::npos);
    EXPECT_EQ(r.output.find("returned"), std::string::npos);
}
