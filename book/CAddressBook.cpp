#include "book/CAddressBook.h"

#include <unistd.h>

#include "runtime/AtomicFile.h"

CAddressBook::CAddressBook() : CLineStore("data1/Address.log") {}

CAddressBook::~CAddressBook() = default;

bool CAddressBook::AddEntry(std::string record) {
  record += "\r\n";
  std::string old;
  // A missing file is an empty book; a file that exists but cannot be read is left alone, so
  // that no contact is lost.
  if (!ReadWholeFile(Path(), old) && ::access(Path().c_str(), F_OK) == 0) return false;
  return Replace(record + old);
}

bool CAddressBook::Rewrite(std::string text) { return Replace(text); }

CAddressBook::Fields CAddressBook::SplitRecord(const std::string& line) {
  Fields f;
  const auto first = line.find(':');
  f.name = line.substr(0, first);
  if (first == std::string::npos) return f;
  const auto second = line.find(':', first + 1);
  f.number = line.substr(first + 1, second == std::string::npos ? std::string::npos : second - first - 1);
  if (second != std::string::npos) f.description = line.substr(second + 1);
  return f;
}
