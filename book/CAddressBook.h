#pragma once

#include <string>

#include "book/CLineStore.h"

// The contacts, one per line in data1/Address.log, newest first: name ":" phone number ":"
// description. Nothing is quoted; the description may hold colons.
class CAddressBook : public CLineStore {
 public:
  CAddressBook();
  ~CAddressBook() override;

  // Puts the record (without its line end) at the top of the file; every older record follows
  // unchanged, however long the file. Returns false when nothing was written.
  bool AddEntry(std::string record);

  // Replaces the whole file with exactly this text. Returns false when nothing was written.
  bool Rewrite(std::string text);

  struct Fields {
    std::string name;
    std::string number;
    std::string description;
  };
  // Name before the first colon, number up to the second, description after it. A line with
  // fewer colons gives the fields it has, the missing ones empty.
  static Fields SplitRecord(const std::string& line);
};
