#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/PSound.h"

// RIFF WAVE files. Reading accepts uncompressed PCM (8-bit unsigned, 16-, 24- and 32-bit signed),
// 32-bit float, plain or in the extensible header, 1 to 8 channels at 1000 to 384000 samples per
// second, up to ten minutes long, and gives 16-bit samples at the file's own rate and channel count
// (PSound::ConvertTo brings them to another). Anything else (compressed formats, broken or truncated
// headers) is refused with a reason; a data chunk cut short by the end of the file gives the whole
// frames that are there. Writing produces 16-bit PCM.
class PWAVFile {
 public:
  static constexpr size_t kMaxFileBytes = 64u << 20;
  static constexpr unsigned kMaxSeconds = 600;

  // Decodes the bytes of a WAV file. On failure returns false and, if error is given, says why.
  static bool Decode(const uint8_t* data, size_t size, PSound& sound, std::string* error = nullptr);
  static bool Decode(const std::vector<uint8_t>& bytes, PSound& sound, std::string* error = nullptr) {
    return Decode(bytes.data(), bytes.size(), sound, error);
  }

  // Reads and decodes a file (at most kMaxFileBytes).
  static bool Read(const std::string& path, PSound& sound, std::string* error = nullptr);

  // The bytes of a 16-bit PCM WAV file holding the sound.
  static std::vector<uint8_t> Encode(const PSound& sound);

  // Writes the sound as a 16-bit PCM WAV file, replacing the file atomically.
  static bool Write(const std::string& path, const PSound& sound, std::string* error = nullptr);
};
