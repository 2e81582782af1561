// The call log and the address book: the line stores of the data folder.
#include <filesystem>

#include <gtest/gtest.h>

#include "book/CAddressBook.h"
#include "book/CCallLog.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> View() {
  std::vector<std::string> out;
  CCallLog log;
  log.Open();
  while (log.ReadLine()) out.push_back(log.GetLine());
  return out;
}

std::string Lines(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += std::to_string(i) + "\r\n";
  return s;
}

}  // namespace

// Each number goes on top, in CRLF lines, and 26 lines are kept; reading stops at an empty line.
TEST(CallLog, NewNumbersGoOnTopOfTheLinesShown) {
  const struct {
    std::string before, entry, after;
    std::vector<std::string> shownBefore;
  } rows[] = {
      {"456\r\n123\r\n", "456", "456\r\n456\r\n123\r\n", {"456", "123"}},
      {Lines(1, 40), "new", "new\r\n" + Lines(1, 25), {}},
      {"1\r\n2\r\n\r\n4\r\n", "9", "9\r\n1\r\n2\r\n", {"1", "2"}},  // the next addition drops the rest
      {"11\n22\n33", "*#0", "*#0\r\n11\r\n22\r\n33\r\n", {"11", "22", "33"}},
      {"1\r\n2\r\n", "", "1\r\n2\r\n", {"1", "2"}},  // an empty entry is not added
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.entry);
    WorkFolder dir;
    WriteFileBytes(dir / "data1/Call.log", r.before);
    if (!r.shownBefore.empty()) {
      EXPECT_EQ(View(), r.shownBefore);
    }
    EXPECT_EQ(CCallLog().AddEntry(r.entry), !r.entry.empty());
    EXPECT_EQ(ReadFileBytes(dir / "data1/Call.log"), r.after);
  }
  WorkFolder dir;
  EXPECT_TRUE(View().empty());
  EXPECT_TRUE(fs::exists(dir / "data1/Call.log"));  // reading made it, empty
  CCallLog unopened;
  EXPECT_FALSE(unopened.ReadLine());
  EXPECT_EQ(unopened.GetLine(), "");
}

TEST(AddressBookRecords, SplitAtTheFirstTwoColons) {
  // Name|number|description; with fewer than two colons, the fields there are.
  for (auto [line, fields] : {std::pair{"Anna:555:Office: room 5", "Anna|555|Office: room 5"},
                              {"::", "||"},
                              {"a:b:555:x", "a|b|555:x"},
                              {"Carl:123", "Carl|123|"},
                              {"just a name", "just a name||"}}) {
    const CAddressBook::Fields f = CAddressBook::SplitRecord(line);
    EXPECT_EQ(f.name + "|" + f.number + "|" + f.description, fields);
  }
}
