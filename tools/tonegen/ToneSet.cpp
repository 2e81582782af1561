#include "tools/tonegen/ToneSet.h"

#include <cmath>

namespace {

// Each tone of a pair at -10 dBFS, so the pair peaks near -4 dBFS; 180 ms long with 5 ms fades.
const double kToneAmplitude = std::pow(10.0, -10.0 / 20.0);
constexpr unsigned kKeyToneMs = 180;
constexpr unsigned kFadeMs = 5;

// A soft click: a 12 ms burst at 2 kHz under a full raised-cosine window, at about -14 dBFS.
constexpr double kClickHz = 2000;
constexpr double kClickAmplitude = 0.2;
constexpr unsigned kClickMs = 12;

}  // namespace

bool DtmfFrequencies(char key, double& low, double& high) {
  static const char kKeys[4][4] = {{'1', '2', '3', 0}, {'4', '5', '6', 0}, {'7', '8', '9', 0}, {'*', '0', '#', 0}};
  static const double kRows[4] = {697, 770, 852, 941};
  static const double kColumns[3] = {1209, 1336, 1477};
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 3; ++c)
      if (kKeys[r][c] == key) {
        low = kRows[r];
        high = kColumns[c];
        return true;
      }
  return false;
}

char KeyNameToCharacter(const std::string& name) {
  if (name == "star") return '*';
  if (name == "hash") return '#';
  if (name == "10") return '0';
  if (name.size() == 1 && name[0] >= '1' && name[0] <= '9') return name[0];
  return 0;
}

std::vector<ShippedSound> ShippedSounds() {
  std::vector<ShippedSound> out;
  for (const char* name : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "star", "hash"}) {
    double low = 0, high = 0;
    DtmfFrequencies(KeyNameToCharacter(name), low, high);
    out.push_back({std::string("dtmf/key") + name + ".wav",
                   PSound::Tones({low, high}, kToneAmplitude, kKeyToneMs, 8000, kFadeMs)});
  }
  out.push_back({"sounds/181.wav", PSound::Tones({kClickHz}, kClickAmplitude, kClickMs, 8000, kClickMs / 2)});
  return out;
}
