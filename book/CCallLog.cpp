#include "book/CCallLog.h"

CCallLog::CCallLog() : CLineStore("data1/Call.log") {}

CCallLog::~CCallLog() = default;

bool CCallLog::AddEntry(std::string entry) {
  if (entry.empty()) return false;
  entry += "\r\n";
  std::string kept;
  Open();
  for (int count = 0; count < kMaxLines - 1 && ReadLine(); ++count) kept += GetLine() + "\r\n";
  CloseReader();
  return Replace(entry + kept);
}
