#include "tools/call/CallAudio.h"

#include "runtime/PSoundChannel.h"
#include "runtime/PWAVFile.h"
#include "stack/endpoint/SilentAudioSource.h"
#include "stack/endpoint/SoundDeviceAudioSink.h"
#include "stack/endpoint/SoundDeviceAudioSource.h"
#include "tools/call/EventPrinter.h"
#include "tools/call/HeardAudioSink.h"
#include "tools/call/WavAudioSource.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>

namespace vantro::tool {

namespace {

constexpr unsigned kRate = 8000;
constexpr std::size_t kSamplesPerRead = 160;  // 20 ms

bool KnownDevice(const std::string& name, PSoundChannel::Directions direction) {
  if (name.empty()) return true;  // the server's default
  const auto names = PSoundChannel::GetDeviceNames(direction);
  if (std::find(names.begin(), names.end(), name) != names.end()) return true;
  // A recorder may also be the monitor of a player (what it plays), which the list leaves out.
  if (direction == PSoundChannel::Recorder && name.ends_with(".monitor")) {
    const auto players = PSoundChannel::GetDeviceNames(PSoundChannel::Player);
    const std::string player = name.substr(0, name.size() - std::string_view(".monitor").size());
    return std::find(players.begin(), players.end(), player) != players.end();
  }
  return false;
}

bool LoadWav(const std::string& path, std::vector<std::int16_t>& samples, std::string& error, std::string& note) {
  PSound sound;
  std::string why;
  if (!PWAVFile::Read(path, sound, &why)) {
    error = "cannot send " + path + ": " + why;
    return false;
  }
  if (sound.GetSampleRate() != kRate || sound.GetChannels() != 1) {
    note = path + ": " + std::to_string(sound.GetSampleRate()) + " Hz, " + std::to_string(sound.GetChannels()) +
           " channel(s), converted to 8000 Hz mono";
    sound = sound.ConvertTo(1, kRate);
  }
  samples = std::move(sound.GetSamples());
  return true;
}

bool CanWrite(const std::string& path, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path file(path);
  if (fs::is_directory(file, ec)) {
    error = "cannot record to " + path + ": it is a folder";
    return false;
  }
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  if (!fs::is_directory(folder, ec) || ::access(folder.c_str(), W_OK) != 0) {
    error = "cannot record to " + path + ": the folder " + folder.string() + " is missing or not writable";
    return false;
  }
  return true;
}

}  // namespace

bool CallAudio::Prepare(const CallOptions& options, std::string& error, std::string& note) {
  if (!options.wavIn.empty()) {
    auto samples = std::make_shared<std::vector<std::int16_t>>();
    if (!LoadWav(options.wavIn, *samples, error, note)) return false;
    wavIn_ = std::move(samples);
  }
  if (options.recordDevice && !KnownDevice(*options.recordDevice, PSoundChannel::Recorder)) {
    error = "no recording device \"" + *options.recordDevice + "\" (--list-devices lists them)";
    return false;
  }
  if (options.playDevice && !KnownDevice(*options.playDevice, PSoundChannel::Player)) {
    error = "no playing device \"" + *options.playDevice + "\" (--list-devices lists them)";
    return false;
  }
  if (!options.wavOut.empty() && !CanWrite(options.wavOut, error)) return false;
  recordDevice_ = options.recordDevice;
  playDevice_ = options.playDevice;
  wavOut_ = options.wavOut;
  heard_ = std::make_shared<HeardAudio>(!wavOut_.empty());
  return true;
}

endpoint::AudioDevices CallAudio::Devices() const {
  endpoint::AudioDevices devices;
  devices.openSource = [wav = wavIn_,
                        device = recordDevice_](const std::string&) -> std::unique_ptr<endpoint::AudioSource> {
    if (wav) return std::make_unique<WavAudioSource>(wav);
    if (device) return endpoint::SoundDeviceAudioSource::Open(*device, kSamplesPerRead);
    return std::make_unique<endpoint::SilentAudioSource>();
  };
  devices.openSink = [heard = heard_,
                      device = playDevice_](const std::string&) -> std::unique_ptr<endpoint::AudioSink> {
    std::unique_ptr<endpoint::AudioSink> player;
    if (device) player = endpoint::SoundDeviceAudioSink::Open(*device);
    return std::make_unique<HeardAudioSink>(heard, std::move(player));
  };
  return devices;
}

CallAudio::Heard CallAudio::FinishCall(unsigned callNumber) {
  Heard heard;
  HeardAudio::Result result = heard_->Take();
  heard.meanLevel = result.meanLevel;
  heard.seconds = static_cast<double>(result.samples) / kRate;
  heard.truncated = result.truncated;
  if (wavOut_.empty()) return heard;
  heard.wavPath = RecordingPath(wavOut_, callNumber);
  std::string why;
  if (!PWAVFile::Write(heard.wavPath, PSound(1, kRate, std::move(result.recording)), &why))
    heard.error = "cannot write " + heard.wavPath + ": " + why;
  return heard;
}

std::string CallAudio::RecordingPath(const std::string& wavOut, unsigned callNumber) {
  if (callNumber <= 1) return wavOut;
  std::filesystem::path path(wavOut);
  const std::string extension = path.extension().string();
  path.replace_filename(path.stem().string() + "-" + std::to_string(callNumber) + extension);
  return path.string();
}

void CallAudio::ListDevices(EventPrinter& printer) {
  const auto list = [&](PSoundChannel::Directions direction, const char* kind, const char* option) {
    const auto devices = PSoundChannel::GetDevices(direction);
    printer.Line(std::string(kind) + "s (" + option + " NAME):");
    if (devices.empty()) printer.Line("  none (no sound server answers, or it has none)");
    for (const auto& d : devices) {
      printer.Line("  " + d.name + (d.description.empty() ? "" : "    " + d.description));
      if (printer.Json())
        printer.Print("device", "",
                      JsonWriter().Add("kind", kind).Add("name", d.name).Add("description", d.description));
    }
  };
  list(PSoundChannel::Player, "player", "--play-device");
  list(PSoundChannel::Recorder, "recorder", "--record-device");
}

}  // namespace vantro::tool
