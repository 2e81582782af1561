#include "settings/CDialerSettings.h"

#include <cctype>
#include <climits>
#include <vector>

#include "runtime/AtomicFile.h"

const char* const CDialerSettings::kFileName = "data1/Dialer.property";

namespace {

// The first eight lines of the file, each without its line end ("\r\n" or "\n"); missing lines
// are empty.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos < bytes.size() && lines.size() < 8) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r' && end < bytes.size()) line.pop_back();
    lines.push_back(std::move(line));
    pos = end + 1;
  }
  lines.resize(8);
  return lines;
}

// The text after the first "=", or the whole text when it has none.
std::string ValueOf(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? line : line.substr(eq + 1);
}

// The value as one line: a line break inside it would push every later line out of its place.
std::string OneLine(std::string value) {
  std::erase_if(value, [](char c) { return c == '\r' || c == '\n'; });
  return value;
}

}  // namespace

int AtoiClamped(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

CDialerSettings::CDialerSettings() = default;
CDialerSettings::~CDialerSettings() = default;

void CDialerSettings::LoadSettings() {
  std::lock_guard lock(m_mutex);
  m_bInvalid = 0;

  std::string bytes;
  if (!ReadWholeFile(kFileName, bytes)) {
    // Nothing was read: the record keeps what it held (its texts are not split again).
    m_bInvalid = 1;
    return;
  }
  std::vector<std::string> lines = SplitLines(bytes);
  m_strSerial = lines[0];
  m_strPin = lines[1];
  m_strGatekeeper = lines[2];
  m_strGkPassEnabled = lines[3];
  m_strGkPass = lines[4];
  m_nCodec = AtoiClamped(ValueOf(lines[5]));
  m_nPlayDevice = AtoiClamped(ValueOf(lines[6]));
  m_nRecordDevice = AtoiClamped(ValueOf(lines[7]));

  // The account lines must be there and carry their "=", before anything is split.
  for (const std::string* line : {&m_strPin, &m_strSerial, &m_strGatekeeper}) {
    if (line->empty() || line->find('=') == std::string::npos) {
      m_bInvalid = 1;
      return;
    }
  }
  for (std::string* text : {&m_strSerial, &m_strPin, &m_strGatekeeper, &m_strGkPassEnabled, &m_strGkPass})
    *text = ValueOf(*text);
}

int CDialerSettings::SaveSettings(std::string pin, std::string serial, std::string gatekeeper,
                                  std::string gkPassEnabled, std::string gkPass, int codecIndex, int playDeviceIndex,
                                  int recordDeviceIndex) {
  auto index = [](int n) { return std::to_string(n < 0 ? 0 : n); };
  // Every line break precedes the key it introduces, so the last line has none.
  const std::string bytes = "Serial=" + OneLine(serial) + "\r\nPin=" + OneLine(pin) +
                            "\r\nGatekeeper=" + OneLine(gatekeeper) + "\r\nIsGkPassEnabled=" + OneLine(gkPassEnabled) +
                            "\r\nGkPass=" + OneLine(gkPass) + "\r\nCodec Index=" + index(codecIndex) +
                            "\r\nPlay Device Index=" + index(playDeviceIndex) +
                            "\r\nRecord Device Index=" + index(recordDeviceIndex);
  std::lock_guard lock(m_mutex);
  // The file holds a password: it is readable by its owner only.
  return ReplaceFileAtomically(kFileName, bytes, 0600) ? 1 : 0;
}

int CDialerSettings::SaveSettings(const CAccount& account, bool remember, int codecIndex, int playDeviceIndex,
                                  int recordDeviceIndex) {
  if (remember)
    return SaveSettings(account.m_strPin, account.m_strSerial, account.m_strGatekeeper, account.GkPassEnabledText(),
                        account.m_strGkPass, codecIndex, playDeviceIndex, recordDeviceIndex);
  return SaveSettings("", "", "", account.GkPassEnabledText(), "", codecIndex, playDeviceIndex, recordDeviceIndex);
}

CAccount CDialerSettings::GetAccount() const {
  std::lock_guard lock(m_mutex);
  return CAccount{m_strPin, m_strSerial, m_strGatekeeper, m_strGkPass, AtoiClamped(m_strGkPassEnabled)};
}

std::string CDialerSettings::GetSerial() const {
  std::lock_guard lock(m_mutex);
  return m_strSerial;
}

std::string CDialerSettings::GetPin() const {
  std::lock_guard lock(m_mutex);
  return m_strPin;
}

std::string CDialerSettings::GetGatekeeper() const {
  std::lock_guard lock(m_mutex);
  return m_strGatekeeper;
}

std::string CDialerSettings::GetGkPass() const {
  std::lock_guard lock(m_mutex);
  return m_strGkPass;
}

std::string CDialerSettings::GetGkPassEnabled() const {
  std::lock_guard lock(m_mutex);
  return m_strGkPassEnabled;
}

int CDialerSettings::GetCodecIndex() const {
  std::lock_guard lock(m_mutex);
  return m_nCodec;
}

int CDialerSettings::GetPlayDeviceIndex() const {
  std::lock_guard lock(m_mutex);
  return m_nPlayDevice;
}

int CDialerSettings::GetRecordDeviceIndex() const {
  std::lock_guard lock(m_mutex);
  return m_nRecordDevice;
}

int CDialerSettings::IsInvalid() const {
  std::lock_guard lock(m_mutex);
  return m_bInvalid;
}
