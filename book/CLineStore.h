#pragma once

#include <cstdio>
#include <memory>
#include <string>

// A text file read line by line: the common ground of the call log and the address book. Lines
// end with CR LF as written; a bare LF is accepted too. Reading stops at the end of the file or
// at the first empty line. Writers replace the whole file atomically; the files are the user's
// own and readable by their owner only.
class CLineStore {
 public:
  explicit CLineStore(std::string path);
  virtual ~CLineStore();

  CLineStore(const CLineStore&) = delete;
  CLineStore& operator=(const CLineStore&) = delete;

  // Opens the file for reading from its start, creating it empty when it does not exist (an
  // existing file is never truncated). A reader left from an earlier Open is released first.
  // Without a reader (the folder is missing, say), ReadLine answers false.
  void Open();

  // Reads the next line into the current line. True when it is not empty; at the end of the
  // file or at an empty line the reader is closed and the answer is false.
  bool ReadLine();

  // A copy of the line last read.
  std::string GetLine() const { return m_strLine; }

  const std::string& Path() const { return m_path; }

 protected:
  void CloseReader();
  // Replaces the file with exactly these bytes; false when it could not be written.
  bool Replace(const std::string& bytes);

  std::string m_strLine;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::string m_path;
  std::unique_ptr<std::FILE, FileCloser> m_pFile;
};
