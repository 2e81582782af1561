#pragma once

#include <mutex>
#include <string>

#include "settings/CAccount.h"

// The settings record and its file data1/Dialer.property (relative to the working folder):
// eight positional lines, "key=value", separated by CR LF, the last without a line end.
//
//   Serial=<serial>            Pin=<PIN>                 Gatekeeper=<address>
//   IsGkPassEnabled=<1|0>      GkPass=<password>         Codec Index=<n>
//   Play Device Index=<n>      Record Device Index=<n>
//
// Lines are taken by their place in the file; the keys are for people and for the "=" split.
// The record is shared by the user-interface thread and the balance refresh: every operation
// holds the record's lock.
class CDialerSettings {
 public:
  CDialerSettings();
  virtual ~CDialerSettings();

  CDialerSettings(const CDialerSettings&) = delete;
  CDialerSettings& operator=(const CDialerSettings&) = delete;

  // Reads the file into the record; always leaves the invalid flag at 0 or 1.
  void LoadSettings();

  // Rewrites the file from the arguments (negative indexes are stored as 0, line breaks inside a
  // value are left out). The record itself is not changed. The file is replaced atomically and
  // readable by its owner only. Returns 1 on success, 0 when the file could not be written (the
  // old file is then left as it was).
  int SaveSettings(std::string pin, std::string serial, std::string gatekeeper, std::string gkPassEnabled,
                   std::string gkPass, int codecIndex, int playDeviceIndex, int recordDeviceIndex);

  // Saves an account with the three indexes. Unless remember is set, only the password flag and
  // the indexes are kept: the PIN, serial, gatekeeper and password are stored empty.
  int SaveSettings(const CAccount& account, bool remember, int codecIndex, int playDeviceIndex, int recordDeviceIndex);

  // The account as the record holds it (the flag is the number the flag text starts with).
  CAccount GetAccount() const;

  std::string GetSerial() const;
  std::string GetPin() const;
  std::string GetGatekeeper() const;
  std::string GetGkPass() const;
  std::string GetGkPassEnabled() const;
  int GetCodecIndex() const;
  int GetPlayDeviceIndex() const;
  int GetRecordDeviceIndex() const;
  int IsInvalid() const;

  // The file's path, relative to the working folder.
  static const char* const kFileName;

 private:
  mutable std::mutex m_mutex;
  std::string m_strSerial;
  std::string m_strPin;
  std::string m_strGatekeeper;
  std::string m_strGkPass;
  std::string m_strGkPassEnabled;
  int m_bInvalid = 1;
  int m_nRecordDevice = 0;
  int m_nPlayDevice = 0;
  int m_nCodec = 0;
};

// The C library's atoi, without its undefined overflow: optional blanks, an optional sign, then
// the leading digits; 0 when there are none; values beyond int are clamped.
int AtoiClamped(const std::string& text);
