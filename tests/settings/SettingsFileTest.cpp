// The settings file: eight key=value lines, read back as they were, replaced whole or not at all.
#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "settings/CDialerSettings.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class SettingsFile : public ::testing::Test {
 protected:
  fs::path File() const { return dir / "data1/Dialer.property"; }
  long FilesInData() const { return std::distance(fs::directory_iterator(dir / "data1"), fs::directory_iterator()); }

  WorkFolder dir;
  CDialerSettings s;
};

// The record's values in the file's order, joined by '|'.
std::string Values(const CDialerSettings& s) {
  std::string out = s.GetSerial() + "|" + s.GetPin() + "|" + s.GetGatekeeper() + "|" + s.GetGkPassEnabled() + "|";
  out += s.GetGkPass();
  for (int i : {s.GetCodecIndex(), s.GetPlayDeviceIndex(), s.GetRecordDeviceIndex()}) out += "|" + std::to_string(i);
  return out;
}

// The file that holds these values (joined by '|', in the file's order).
std::string FileOf(const std::string& values) {
  const char* const keys[] = {"Serial", "Pin",         "Gatekeeper",        "IsGkPassEnabled",
                              "GkPass", "Codec Index", "Play Device Index", "Record Device Index"};
  std::string file = std::string(keys[0]) + "=";
  size_t key = 0;
  for (char c : values) file += c == '|' ? "\r\n" + std::string(keys[++key]) + "=" : std::string(1, c);
  return file;
}

}  // namespace

// Saved values come back from the file as they were, each on its own line in its place: negative
// indexes as 0, "=" inside a value kept, empty credentials valid, line breaks in any value left out.
TEST_F(SettingsFile, SavedValuesAreTheFilesLinesInTheirOrderAndReadBack) {
  const struct {
    std::vector<std::string> saved;  // PIN, serial, gatekeeper, password flag, password
    std::vector<int> indexes;        // codec, play device, record device
    std::string stored;              // in the file's order
  } cases[] = {
      {{"p=1", "a=b=c", "gk", "0", "=="}, {-1, -7, 4}, "a=b=c|p=1|gk|0|==|0|0|4"},
      {{"", "", "", "1", ""}, {0, 1, 0}, "|||1||0|1|0"},
      // Line breaks pasted into a value never shift the lines (once GkPass=ab<CR><LF>cd made the
      // record read back invalid with record device 0).
      {{"12\n34", "S\rN", "gk.example\r\n", "1", "ab\r\ncd"}, {1, 2, 3}, "SN|1234|gk.example|1|abcd|1|2|3"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.stored);
    CDialerSettings record;
    const std::vector<std::string>& v = c.saved;
    ASSERT_EQ(record.SaveSettings(v[0], v[1], v[2], v[3], v[4], c.indexes[0], c.indexes[1], c.indexes[2]), 1);
    EXPECT_EQ(ReadFileBytes(File()), FileOf(c.stored));
    EXPECT_EQ(record.GetPin(), "");  // a save does not change the record itself
    record.LoadSettings();
    EXPECT_EQ(record.IsInvalid(), 0);
    EXPECT_EQ(Values(record), c.stored);
  }
}

// An account line that is missing or has no key makes the record invalid, its account lines taken
// whole; index lines read like atoi, clamped to an int.
TEST_F(SettingsFile, FilesWrittenByHandReadLineByLine) {
  const std::string account = "Serial=S\nPin=P\nGatekeeper=G\nIsGkPassEnabled=1\nGkPass=x";
  const std::pair<std::string, std::string> rows[] = {
      {"Serial=S1\r\n\r\nGatekeeper=gk\r\nIsGkPassEnabled=0\r\nGkPass=x\r\nCodec Index=1\r\nPlay Device Index=5\r\n"
       "Record Device Index=6",
       "!Serial=S1||Gatekeeper=gk|IsGkPassEnabled=0|GkPass=x|1|5|6"},
      {"Serial=S1\r\nPin 1234\r\nGatekeeper=gk", "!Serial=S1|Pin 1234|Gatekeeper=gk|||0|0|0"},
      {"Serial=S1\nPin=9\n", "!Serial=S1|Pin=9||||0|0|0"},
      {account, "S|P|G|1|x|0|0|0"},  // no index lines at all
      {account + "\nCodec Index= 12abc\nPlay Device Index=-3\nRecord Device Index=99999999999",
       "S|P|G|1|x|12|-3|2147483647"},
      {account + "\nnodigits\n7\n=8", "S|P|G|1|x|0|7|8"},  // no "=": the whole line is the number
      {account + "\nCodec Index=+7\nPlay Device Index=-99999999999\nRecord Device Index=x1",
       "S|P|G|1|x|7|-2147483648|0"},
  };
  for (const auto& [file, values] : rows) {  // "!": the record is invalid
    WriteFileBytes(File(), file);
    s.LoadSettings();
    EXPECT_EQ((s.IsInvalid() ? "!" : "") + Values(s), values);
  }
}

TEST_F(SettingsFile, SaveReplacesTheFileWholeReadableByItsOwnerOnlyOrLeavesItAlone) {
  WriteFileBytes(File(), std::string(5000, 'x'));
  fs::permissions(File(), fs::perms(0644));
  ASSERT_EQ(s.SaveSettings("1111", "OLD", "gk", "0", "", 0, 0, 0), 1);
  const std::string before = ReadFileBytes(File());
  EXPECT_EQ(before, FileOf("OLD|1111|gk|0||0|0|0"));
  struct stat st {};
  ASSERT_EQ(::stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(FilesInData(), 1);

  // The new file would be much larger than the limit: the write fails part of the way.
  const int result = RunWithFileSizeLimit(before.size() + 20, [] {
    return CDialerSettings().SaveSettings(std::string(4000, '9'), "NEW", "gk", "0", "", 0, 0, 0);
  });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(ReadFileBytes(File()), before);
  EXPECT_EQ(FilesInData(), 1);

  fs::remove_all(dir / "data1");
  EXPECT_EQ(s.SaveSettings("1", "2", "3", "0", "", 0, 0, 0), 0);
  EXPECT_FALSE(fs::exists(dir / "data1"));
}
