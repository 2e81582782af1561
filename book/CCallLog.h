#pragma once

#include <string>

#include "book/CLineStore.h"

// The numbers of the latest calls that got through, newest first, one per line in data1/Call.log,
// at most 26 lines. It keeps no list in memory: the file is the store.
class CCallLog : public CLineStore {
 public:
  CCallLog();
  ~CCallLog() override;

  static constexpr int kMaxLines = 26;

  // Puts the entry at the top of the file and keeps at most 25 of the lines that were first in
  // it before (lines after an empty line are dropped). An empty entry is not added: it would end
  // the reading and hide every older line. Returns false when nothing was written.
  bool AddEntry(std::string entry);
};
