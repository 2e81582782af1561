#include "book/CLineStore.h"

#include <fcntl.h>
#include <unistd.h>

#include "runtime/AtomicFile.h"

CLineStore::CLineStore(std::string path) : m_path(std::move(path)) {}

CLineStore::~CLineStore() = default;

void CLineStore::Open() {
  CloseReader();
  // Create the file if it is missing, without truncating one that exists.
  const int fd = ::open(m_path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::FILE* f = ::fdopen(fd, "r");
  if (!f) {
    ::close(fd);
    return;
  }
  m_pFile.reset(f);
}

bool CLineStore::ReadLine() {
  m_strLine.clear();
  if (!m_pFile) return false;
  int c;
  while ((c = std::fgetc(m_pFile.get())) != EOF && c != '\n') m_strLine.push_back(static_cast<char>(c));
  if (std::ferror(m_pFile.get()))
    m_strLine.clear();  // a read error ends the reading as the end of the file would
  else if (c == '\n' && !m_strLine.empty() && m_strLine.back() == '\r')
    m_strLine.pop_back();
  if (m_strLine.empty()) {
    CloseReader();
    return false;
  }
  return true;
}

void CLineStore::CloseReader() { m_pFile.reset(); }

bool CLineStore::Replace(const std::string& bytes) { return ReplaceFileAtomically(m_path, bytes, 0600); }
