#include "dialer/Sounds.h"

#include "platform/SoundDevices.h"
#include "res/Resources.h"
#include "runtime/PSoundChannel.h"
#include "runtime/PSoundPlayer.h"
#include "runtime/PWAVFile.h"

namespace {

// The format every window sound is played in.
constexpr unsigned kChannels = 1;
constexpr unsigned kRate = 8000;
constexpr unsigned kBits = 16;

bool OpenFeedbackChannel(PSoundChannel& channel, int playDeviceIndex) {
  channel.SetMediaRole("event");
  return channel.Open(GetPlayDeviceNameByIndex(playDeviceIndex), PSoundChannel::Player, kChannels, kRate, kBits);
}

}  // namespace

std::string KeyToneFile(const std::string& name) { return "dtmf/key" + name + ".wav"; }

bool PlayKeyTone(int playDeviceIndex, const std::string& name) {
  // The file first: without it there is nothing to open a device for.
  PSound tone;
  if (!PWAVFile::Read(KeyToneFile(name), tone)) return false;
  PSoundChannel channel;
  return OpenFeedbackChannel(channel, playDeviceIndex) && channel.PlaySound(tone, true);
}

std::vector<std::string> DialToneFiles(size_t n) {
  std::vector<std::string> files;
  files.reserve(n);
  for (size_t i = 1; i <= n; ++i) files.push_back(KeyToneFile(std::to_string((i - 1) % 10 + 1)));
  return files;
}

CDialTonePlayer::CDialTonePlayer() = default;

CDialTonePlayer::~CDialTonePlayer() { Stop(); }

int CDialTonePlayer::Play(int playDeviceIndex, size_t n) {
  if (n == 0) return 0;
  PSoundChannel channel;
  {
    std::lock_guard lock(m_mutex);
    if (m_stopped.load()) return 0;
    m_channels.push_back(&channel);
  }
  int played = 0;
  if (OpenFeedbackChannel(channel, playDeviceIndex)) {
    for (const std::string& file : DialToneFiles(n)) {
      if (m_stopped.load()) break;
      PSound tone;
      if (PWAVFile::Read(file, tone) && channel.PlaySound(tone, true)) ++played;
    }
  }
  std::lock_guard lock(m_mutex);
  std::erase(m_channels, &channel);
  return played;
}

void CDialTonePlayer::Stop() {
  std::lock_guard lock(m_mutex);
  m_stopped.store(true);
  for (PSoundChannel* channel : m_channels) channel->Abort();
}

bool PlaySoundResourceAsync(int id, const std::string& device) {
  const QByteArray bytes = LoadSoundResource(id);
  PSound sound;
  if (bytes.isEmpty() ||
      !PWAVFile::Decode(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), sound))
    return false;
  return PSoundPlayer::Instance().Play(std::move(sound), device);
}

bool PlayClick(const std::string& device) { return PlaySoundResourceAsync(kClickSound, device); }

bool Beep(unsigned frequency, unsigned durationMs, const std::string& device) {
  if (frequency < 20 || frequency >= kRate / 2 || durationMs == 0 || durationMs > 10000) return false;
  return PSoundPlayer::Instance().Play(PSound::Tones({double(frequency)}, 0.3, durationMs, kRate, 5), device);
}
