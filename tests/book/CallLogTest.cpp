#include <filesystem>

#include <gtest/gtest.h>

#include "book/CCallLog.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class CallLog : public ::testing::Test {
 protected:
  std::string Bytes() const { return ReadFileBytes(dir / "data1/Call.log"); }
  std::vector<std::string> View() {
    std::vector<std::string> out;
    CCallLog log;
    log.Open();
    while (log.ReadLine()) out.push_back(log.GetLine());
    return out;
  }

  WorkFolder dir;
};

std::string Lines(int from, int to, const char* eol = "\r\n") {
  std::string s;
  for (int i = from; i <= to; ++i) s += std::to_string(i) + eol;
  return s;
}

}  // namespace

TEST_F(CallLog, NewestFirstStartingFromNoFile) {
  EXPECT_TRUE(View().empty());
  EXPECT_TRUE(fs::exists(dir / "data1/Call.log"));  // Open created it, empty
  CCallLog log;
  ASSERT_TRUE(log.AddEntry("123"));
  EXPECT_EQ(Bytes(), "123\r\n");
  ASSERT_TRUE(log.AddEntry("456"));
  ASSERT_TRUE(log.AddEntry("456"));
  EXPECT_EQ(Bytes(), "456\r\n456\r\n123\r\n");
  EXPECT_EQ(View(), (std::vector<std::string>{"456", "456", "123"}));
}

TEST_F(CallLog, KeepsTwentySixLines) {
  WriteFileBytes(dir / "data1/Call.log", Lines(1, 40));
  ASSERT_TRUE(CCallLog().AddEntry("new"));
  EXPECT_EQ(Bytes(), "new\r\n" + Lines(1, 25));
  EXPECT_EQ(View().size(), 26u);
}

TEST_F(CallLog, AnEmptyLineEndsTheReadingAndTheNextAdditionDropsTheRest) {
  WriteFileBytes(dir / "data1/Call.log", "1\r\n2\r\n\r\n4\r\n");
  EXPECT_EQ(View(), (std::vector<std::string>{"1", "2"}));
  ASSERT_TRUE(CCallLog().AddEntry("9"));
  EXPECT_EQ(Bytes(), "9\r\n1\r\n2\r\n");
}

TEST_F(CallLog, BareLineFeedsReadTheSameAndAreRewrittenWithCrLf) {
  WriteFileBytes(dir / "data1/Call.log", "11\n22\n33");
  EXPECT_EQ(View(), (std::vector<std::string>{"11", "22", "33"}));
  ASSERT_TRUE(CCallLog().AddEntry("*#0"));
  EXPECT_EQ(Bytes(), "*#0\r\n11\r\n22\r\n33\r\n");
}

TEST_F(CallLog, AnEmptyEntryIsNotAddedSoOlderLinesStayVisible) {
  WriteFileBytes(dir / "data1/Call.log", "1\r\n2\r\n");
  EXPECT_FALSE(CCallLog().AddEntry(""));
  EXPECT_EQ(View(), (std::vector<std::string>{"1", "2"}));
}

TEST_F(CallLog, MissingFolderWritesNothing) {
  fs::remove_all(dir / "data1");
  EXPECT_TRUE(View().empty());
  EXPECT_FALSE(CCallLog().AddEntry("123"));
  EXPECT_FALSE(fs::exists(dir / "data1"));
}

TEST_F(CallLog, ReadLineWithoutOpenAnswersFalse) {
  CCallLog log;
  EXPECT_FALSE(log.ReadLine());
  EXPECT_EQ(log.GetLine(), "");
}
