#include <filesystem>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "book/CAddressBook.h"
#include "tests/support/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

class AddressBook : public ::testing::Test {
 protected:
  std::string Bytes() const { return ReadFileBytes(dir / "data1/Address.log"); }
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    CAddressBook book;
    book.Open();
    while (book.ReadLine()) out.push_back(book.GetLine());
    return out;
  }

  WorkFolder dir;
};

void ExpectFields(const std::string& line, const char* name, const char* number, const char* description) {
  const CAddressBook::Fields f = CAddressBook::SplitRecord(line);
  EXPECT_EQ(f.name, name) << line;
  EXPECT_EQ(f.number, number) << line;
  EXPECT_EQ(f.description, description) << line;
}

}  // namespace

TEST_F(AddressBook, AdditionsGoToTheTop) {
  EXPECT_TRUE(Lines().empty());
  CAddressBook book;
  ASSERT_TRUE(book.AddEntry("Anna:555:Office"));
  EXPECT_EQ(Bytes(), "Anna:555:Office\r\n");
  ASSERT_TRUE(book.AddEntry("Bob:777:"));
  EXPECT_EQ(Bytes(), "Bob:777:\r\nAnna:555:Office\r\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"Bob:777:", "Anna:555:Office"}));
}

TEST_F(AddressBook, RecordsSplitAtTheFirstTwoColons) {
  ExpectFields("Anna:555:Office: room 5", "Anna", "555", "Office: room 5");
  ExpectFields(":555:", "", "555", "");
  ExpectFields("::", "", "", "");
  ExpectFields("a:b:555:x", "a", "b", "555:x");
  // Fewer than two colons: the fields there are, the rest empty.
  ExpectFields("Carl:123", "Carl", "123", "");
  ExpectFields("just a name", "just a name", "", "");
}

TEST_F(AddressBook, ALineWithFewColonsDoesNotStopTheListing) {
  WriteFileBytes(dir / "data1/Address.log", "A:1:x\nbroken\nC:3:z\n");
  EXPECT_EQ(Lines(), (std::vector<std::string>{"A:1:x", "broken", "C:3:z"}));
}

TEST_F(AddressBook, RewriteReplacesTheFileWithCrLfRecords) {
  WriteFileBytes(dir / "data1/Address.log", "A:1:x\nB:2:y\n");
  CAddressBook book;
  ASSERT_TRUE(book.Rewrite("B:2:y\r\n"));
  EXPECT_EQ(Bytes(), "B:2:y\r\n");
  ASSERT_TRUE(book.Rewrite(""));
  EXPECT_TRUE(fs::exists(dir / "data1/Address.log"));
  EXPECT_EQ(Bytes(), "");
}

TEST_F(AddressBook, AHundredKilobyteBookSurvivesAnAddition) {
  std::string big;
  for (int i = 0; big.size() < 100 * 1024; ++i)
    big += "Contact " + std::to_string(i) + ":+4930" + std::to_string(1000000 + i) +
           ":colleague from the office on floor " + std::to_string(i % 9) + "\r\n";
  WriteFileBytes(dir / "data1/Address.log", big);
  ASSERT_TRUE(CAddressBook().AddEntry("Newest:1:"));
  EXPECT_EQ(Bytes(), "Newest:1:\r\n" + big);
}

TEST_F(AddressBook, AWriteThatFailsHalfWayLosesNoContact) {
  std::string big;
  for (int i = 0; i < 2000; ++i) big += "Name" + std::to_string(i) + ":" + std::to_string(i) + ":d\r\n";
  WriteFileBytes(dir / "data1/Address.log", big);
  const int result = RunWithFileSizeLimit(big.size() / 2, [] { return CAddressBook().AddEntry("X:1:y") ? 1 : 0; });
  EXPECT_EQ(result, 0);
  EXPECT_EQ(Bytes(), big);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "data1"), fs::directory_iterator()), 1);
}

TEST_F(AddressBook, AnUnreadableBookIsNotOverwritten) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  WriteFileBytes(dir / "data1/Address.log", "A:1:x\r\n");
  fs::permissions(dir / "data1/Address.log", fs::perms::owner_write);
  EXPECT_FALSE(CAddressBook().AddEntry("B:2:y"));
  fs::permissions(dir / "data1/Address.log", fs::perms::owner_all);
  EXPECT_EQ(Bytes(), "A:1:x\r\n");
}

TEST_F(AddressBook, MissingFolderWritesNothing) {
  fs::remove_all(dir / "data1");
  EXPECT_TRUE(Lines().empty());
  EXPECT_FALSE(CAddressBook().AddEntry("A:1:x"));
  EXPECT_FALSE(CAddressBook().Rewrite("A:1:x\r\n"));
  EXPECT_FALSE(fs::exists(dir / "data1"));
}
