#include <filesystem>

#include <gtest/gtest.h>

#include "book/CAddressBook.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class AddressBook : public ::testing::Test {
 protected:
  std::string Bytes() const { return ReadFileBytes(dir / "data1/Address.log"); }

  WorkFolder dir;
};

}  // namespace

TEST(AddressBookRecords, SplitAtTheFirstTwoColons) {
  const std::pair<const char*, CAddressBook::Fields> rows[] = {
      {"Anna:555:Office: room 5", {"Anna", "555", "Office: room 5"}},
      {"::", {"", "", ""}},
      {"a:b:555:x", {"a", "b", "555:x"}},
      {"Carl:123", {"Carl", "123", ""}},  // fewer than two colons: the fields there are
      {"just a name", {"just a name", "", ""}},
  };
  for (const auto& [line, fields] : rows) {
    const CAddressBook::Fields f = CAddressBook::SplitRecord(line);
    EXPECT_EQ((std::vector{f.name, f.number, f.description}),
              (std::vector{fields.name, fields.number, fields.description}))
        << line;
  }
}

TEST_F(AddressBook, AdditionsGoOnTopOfALargeBookAndRewritesReplaceIt) {
  ASSERT_TRUE(CAddressBook().AddEntry("First:2:"));  // no file yet
  EXPECT_EQ(Bytes(), "First:2:\r\n");
  std::string big;
  for (int i = 0; big.size() < 100 * 1024; ++i)
    big += "Contact " + std::to_string(i) + ":+4930" + std::to_string(1000000 + i) + ":colleague on floor " +
           std::to_string(i % 9) + "\r\n";
  WriteFileBytes(dir / "data1/Address.log", big);
  ASSERT_TRUE(CAddressBook().AddEntry("Newest:1:"));
  EXPECT_EQ(Bytes(), "Newest:1:\r\n" + big);
  ASSERT_TRUE(CAddressBook().Rewrite(""));
  EXPECT_TRUE(fs::exists(dir / "data1/Address.log"));
  EXPECT_EQ(Bytes(), "");
}
