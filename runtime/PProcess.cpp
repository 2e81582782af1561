#include "PProcess.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {
std::atomic<PProcess*> g_current{nullptr};
}

PProcess::PProcess(const char* manufacturer, const char* name, unsigned majorVersion, unsigned minorVersion,
                   CodeStatus status, unsigned buildNumber)
    : m_manufacturer(manufacturer ? manufacturer : ""),
      m_productName(name ? name : ""),
      m_majorVersion(majorVersion),
      m_minorVersion(minorVersion),
      m_status(status),
      m_buildNumber(buildNumber) {
  PProcess* expected = nullptr;
  if (!g_current.compare_exchange_strong(expected, this)) {
    std::fprintf(stderr, "PProcess: a second process object was constructed\n");
    std::abort();
  }
}

PProcess::~PProcess() {
  PProcess* expected = this;
  g_current.compare_exchange_strong(expected, nullptr);
}

PProcess* PProcess::Current() { return g_current.load(); }

std::string PProcess::GetVersion() const {
  static const char statusChar[] = {'a', 'b', '.'};
  return std::to_string(m_majorVersion) + "." + std::to_string(m_minorVersion) + statusChar[m_status] +
         std::to_string(m_buildNumber);
}
