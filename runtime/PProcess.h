#pragma once

#include <string>

#include "PThread.h"

// The process-wide object that the telephony stack and the sound layer require. Exactly one may
// exist at a time; it must be constructed before any of them is used and outlive them.
class PProcess : public PThread {
  PCLASSINFO(PProcess, PThread)
 public:
  enum CodeStatus { AlphaCode, BetaCode, ReleaseCode };

  PProcess(const char* manufacturer = "", const char* name = "", unsigned majorVersion = 1, unsigned minorVersion = 0,
           CodeStatus status = ReleaseCode, unsigned buildNumber = 1);
  ~PProcess() override;

  PProcess(const PProcess&) = delete;
  PProcess& operator=(const PProcess&) = delete;

  // The live process object, or nullptr when none exists.
  static PProcess* Current();

  const std::string& GetManufacturer() const { return m_manufacturer; }
  const std::string& GetName() const { return m_productName; }
  unsigned GetMajorVersion() const { return m_majorVersion; }
  unsigned GetMinorVersion() const { return m_minorVersion; }
  CodeStatus GetCodeStatus() const { return m_status; }
  unsigned GetBuildNumber() const { return m_buildNumber; }
  // "major.minor" followed by the code status letter and the build number, e.g. "1.0.1".
  std::string GetVersion() const;

 private:
  std::string m_manufacturer;
  std::string m_productName;
  unsigned m_majorVersion;
  unsigned m_minorVersion;
  CodeStatus m_status;
  unsigned m_buildNumber;
};
