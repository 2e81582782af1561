#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class PSoundChannel;

// The sounds of the dialer window: key tones, the tones that mark a dialled number, the click of
// the dial box and the beep. Missing sound files, devices or sound server mean no sound, silently.

// "dtmf/key" + name + ".wav", relative to the working folder.
std::string KeyToneFile(const std::string& name);

// Plays the key tone of name ("1" … "10", "star", "hash") on the play device chosen by
// playDeviceIndex (SelectDeviceName over the play devices) and returns when it has been heard.
// False when nothing was played.
bool PlayKeyTone(int playDeviceIndex, const std::string& name);

// The key tone files that mark a dialled number of n characters: key1, key2, … key10, key1, …,
// one per character (the tones follow the length of the number, not its digits).
std::vector<std::string> DialToneFiles(size_t n);

// Plays the dial tones of a number on one channel, one after the other, each to its end. Several
// Plays may run at once on different threads. Stop, from any thread, ends them early (the tones
// under way are cut short) and keeps later Plays silent, so a window can close without waiting for
// a long number's tones.
class CDialTonePlayer {
 public:
  CDialTonePlayer();
  ~CDialTonePlayer();

  // Blocking. Files that cannot be read are skipped. Returns the number of tones played.
  int Play(int playDeviceIndex, size_t n);
  void Stop();

 private:
  std::atomic<bool> m_stopped{false};
  std::mutex m_mutex;
  std::vector<PSoundChannel*> m_channels;  // the channels the Plays under way use, for Stop
};

// Plays the program's sound resource id (res/sounds/<id>.wav) in the background on the device
// ("" = default) and returns at once. False when there is no such resource or it is not a sound;
// nothing else is played in its place.
bool PlaySoundResourceAsync(int id, const std::string& device = {});

// The click of the dial box: sound resource 181, in the background.
inline constexpr int kClickSound = 181;
bool PlayClick(const std::string& device = {});

// A sine tone of frequency Hz for durationMs, in the background (the call returns at once).
bool Beep(unsigned frequency, unsigned durationMs, const std::string& device = {});
