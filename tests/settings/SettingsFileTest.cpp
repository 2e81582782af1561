#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "settings/CDialerSettings.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  std::string FileBytes() const { return ReadFileBytes(dir / "data1/Dialer.property"); }
  void WriteFile(const std::string& bytes) { WriteFileBytes(dir / "data1/Dialer.property", bytes); }

  WorkFolder dir;
  CDialerSettings s;
};

const char* const kKeys[] = {"Serial", "Pin",         "Gatekeeper",        "IsGkPassEnabled",
                             "GkPass", "Codec Index", "Play Device Index", "Record Device Index"};

// The record's values in the file's order.
std::vector<std::string> Values(const CDialerSettings& s) {
  return {s.GetSerial(),
          s.GetPin(),
          s.GetGatekeeper(),
          s.GetGkPassEnabled(),
          s.GetGkPass(),
          std::to_string(s.GetCodecIndex()),
          std::to_string(s.GetPlayDeviceIndex()),
          std::to_string(s.GetRecordDeviceIndex())};
}

}  // namespace

// Saved values come back from the file as they were, each on its own line in its place: negative
// indexes as 0, "=" inside a value kept, empty credentials valid, line breaks in any value left out.
TEST_F(SettingsFile, SavedValuesAreTheFilesLinesInTheirOrderAndReadBack) {
  struct Case {
    std::vector<std::string> saved;   // PIN, serial, gatekeeper, password flag, password
    std::vector<int> indexes;         // codec, play device, record device
    std::vector<std::string> stored;  // in the file's order
  };
  const Case cases[] = {
      {{"1234", "SER9", "gk.example:1719", "1", "secret"},
       {1, 2, 3},
       {"SER9", "1234", "gk.example:1719", "1", "secret", "1", "2", "3"}},
      {{"p=1", "a=b=c", "gk", "0", "=="}, {-1, -7, 4}, {"a=b=c", "p=1", "gk", "0", "==", "0", "0", "4"}},
      {{"", "", "", "1", ""}, {0, 1, 0}, {"", "", "", "1", "", "0", "1", "0"}},
      // Line breaks pasted into a value never shift the lines (once GkPass=ab<CR><LF>cd made the
      // record read back invalid with record device 0).
      {{"12\n34", "S\rN", "gk.example\r\n", "1", "ab\r\ncd"},
       {1, 2, 3},
       {"SN", "1234", "gk.example", "1", "abcd", "1", "2", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored[0] + "/" + c.stored[1]);
    CDialerSettings record;
    const std::vector<std::string>& v = c.saved;
    ASSERT_EQ(record.SaveSettings(v[0], v[1], v[2], v[3], v[4], c.indexes[0], c.indexes[1], c.indexes[2]), 1);
    std::string file;
    for (size_t i = 0; i < c.stored.size(); ++i) file += (i ? "\r\n" : "") + std::string(kKeys[i]) + "=" + c.stored[i];
    EXPECT_EQ(FileBytes(), file);
    EXPECT_EQ(record.GetPin(), "");  // a save does not change the record itself
    record.LoadSettings();
    EXPECT_EQ(record.IsInvalid(), 0);
    EXPECT_EQ(Values(record), c.stored);
  }
}

TEST_F(SettingsFile, AMissingOrKeylessAccountLineMakesTheRecordInvalidAndUnsplit) {
  WriteFile(
      "Serial=S1\r\n\r\nGatekeeper=gk\r\nIsGkPassEnabled=0\r\nGkPass=x\r\n"
      "Codec Index=1\r\nPlay Device Index=5\r\nRecord Device Index=6");
  s.LoadSettings();
  EXPECT_EQ(s.IsInvalid(), 1);
  EXPECT_EQ(s.GetSerial(), "Serial=S1");  // whole line, key included
  EXPECT_EQ(s.GetPlayDeviceIndex(), 5);   // the indexes were read all the same

  WriteFile("Serial=S1\r\nPin 1234\r\nGatekeeper=gk");
  s.LoadSettings();
  EXPECT_EQ(s.IsInvalid(), 1);
  EXPECT_EQ(s.GetPin(), "Pin 1234");

  WriteFile("Serial=S1\nPin=9\n");  // gatekeeper line missing
  s.LoadSettings();
  EXPECT_EQ(s.IsInvalid(), 1);
}

TEST_F(SettingsFile, ShortFilesAndOddNumbersReadLikeAtoi) {
  const std::string account = "Serial=S\nPin=P\nGatekeeper=G\nIsGkPassEnabled=1\nGkPass=x";
  const std::pair<std::string, std::vector<int>> cases[] = {
      {"", {0, 0, 0}},  // no index lines at all
      {"\nCodec Index= 12abc\nPlay Device Index=-3\nRecord Device Index=99999999999", {12, -3, 2147483647}},
      {"\nnodigits\n7\n=8", {0, 7, 8}},  // no "=": the whole line is the number
  };
  for (const auto& [indexLines, indexes] : cases) {
    SCOPED_TRACE(indexLines);
    WriteFile(account + indexLines);
    s.LoadSettings();
    EXPECT_EQ(s.IsInvalid(), 0);
    EXPECT_EQ((std::vector{s.GetCodecIndex(), s.GetPlayDeviceIndex(), s.GetRecordDeviceIndex()}), indexes);
  }
}

TEST_F(SettingsFile, NoFileLeavesTheRecordAsItWas) {
  s.LoadSettings();
  EXPECT_EQ(s.IsInvalid(), 1);
  EXPECT_EQ(s.GetSerial(), "");

  // A record loaded from a file keeps its values when the file is gone, and values holding
  // "=" are not split a second time.
  ASSERT_EQ(s.SaveSettings("p=1", "s=2", "g=3", "1", "k=4", 1, 1, 1), 1);
  s.LoadSettings();
  fs::remove(dir / "data1/Dialer.property");
  s.LoadSettings();
  EXPECT_EQ(s.IsInvalid(), 1);
  EXPECT_EQ(s.GetPin(), "p=1");
  EXPECT_EQ(s.GetSerial(), "s=2");
  EXPECT_EQ(s.GetGatekeeper(), "g=3");
  EXPECT_EQ(s.GetGkPass(), "k=4");
}

TEST_F(SettingsFile, SaveReplacesTheWholeFileReadableByItsOwnerOnly) {
  WriteFile(std::string(5000, 'x'));
  fs::permissions(dir / "data1/Dialer.property", fs::perms(0644));
  ASSERT_EQ(s.SaveSettings("1", "2", "3", "0", "", 0, 0, 0), 1);
  EXPECT_EQ(FileBytes(),
            "Serial=2\r\nPin=1\r\nGatekeeper=3\r\nIsGkPassEnabled=0\r\nGkPass=\r\n"
            "Codec Index=0\r\nPlay Device Index=0\r\nRecord Device Index=0");
  struct stat st {};
  ASSERT_EQ(::stat((dir / "data1/Dialer.property").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Nothing else is left in the folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "data1"), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
  ASSERT_EQ(s.SaveSettings("1111", "OLD", "gk", "0", "", 0, 0, 0), 1);
  const std::string before = FileBytes();
  // The new file would be much larger than the limit: the write fails part of the way.
  const int result = RunWithFileSizeLimit(before.size() + 20, [] {
    CDialerSettings other;
    return other.SaveSettings(std::string(4000, '9'), "NEW", "gk", "0", "", 0, 0, 0);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(FileBytes(), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "data1"), fs::directory_iterator()), 1);
}

TEST_F(SettingsFile, MissingFolderMakesSaveFail) {
  fs::remove_all(dir / "data1");
  EXPECT_EQ(s.SaveSettings("1", "2", "3", "0", "", 0, 0, 0), 0);
  EXPECT_FALSE(fs::exists(dir / "data1"));
}

TEST(Atoi, FollowsTheCLibrary) {
  EXPECT_EQ(AtoiClamped(""), 0);
  EXPECT_EQ(AtoiClamped("  42x"), 42);
  EXPECT_EQ(AtoiClamped("+7"), 7);
  EXPECT_EQ(AtoiClamped("-0012"), -12);
  EXPECT_EQ(AtoiClamped("x1"), 0);
  EXPECT_EQ(AtoiClamped("-99999999999"), -2147483647 - 1);
}
