#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/PObject.h"
#include "runtime/PSound.h"

// A sound device as the sound server lists it: the name that opens it, and the text the desktop
// shows for it.
struct PSoundDevice {
  std::string name;
  std::string description;
};

// One sound device opened for playing or recording 16-bit PCM, on the desktop's sound server
// (PulseAudio, or PipeWire in its place).
//
// Devices are named as the server names them. Players are the server's sinks; recorders are its
// sources other than the monitors of sinks (a monitor records what a sink plays, not a microphone;
// it can still be opened by name). An empty name is the server's default device.
//
// Every call that waits on the server is bounded: connecting or a request that gets no answer gives
// up after the server timeout (2 s unless set), and a channel whose device stops taking or giving
// data fails its Read or Write after 5 s (an idle device may take a moment to start). Without a server, lists are empty
// and Open fails at once. A channel is used by one thread at a time; Abort may be called from any thread.
class PSoundChannel : public PObject {
  PCLASSINFO(PSoundChannel, PObject)
 public:
  enum Directions { Recorder, Player };

  // Buffer set-up used when none is set: two 20 ms buffers at 8000 samples/s, 16-bit mono, which
  // keeps the time from a Write to the loudspeaker at about 40 ms.
  static constexpr size_t kDefaultBufferSize = 320;
  static constexpr unsigned kDefaultBufferCount = 2;

  PSoundChannel();
  PSoundChannel(const std::string& device, Directions dir, unsigned numChannels = 1, unsigned sampleRate = 8000,
                unsigned bitsPerSample = 16);
  ~PSoundChannel() override;

  PSoundChannel(const PSoundChannel&) = delete;
  PSoundChannel& operator=(const PSoundChannel&) = delete;

  // Names of the devices of one direction, in the server's order; empty without a server.
  static std::vector<std::string> GetDeviceNames(Directions dir);
  // The same devices with their descriptions.
  static std::vector<PSoundDevice> GetDevices(Directions dir);

  // The bound on waiting for the server (process-wide).
  static void SetServerTimeout(std::chrono::milliseconds timeout);
  static std::chrono::milliseconds GetServerTimeout();

  // Opens the device ("" = default). Only 16-bit samples are supported; 1 or 2 channels, 1000 to
  // 192000 samples/s. Closes the channel first if it is open.
  bool Open(const std::string& device, Directions dir, unsigned numChannels = 1, unsigned sampleRate = 8000,
            unsigned bitsPerSample = 16);
  bool IsOpen() const;
  // Stops at once: what is still buffered for playing is dropped (WaitForPlayCompletion first to
  // hear it).
  bool Close();

  // The size of one buffer in bytes and their number; together they make the latency the server
  // is asked for. Takes effect at the next Open.
  bool SetBuffers(size_t size, unsigned count);
  bool GetBuffers(size_t& size, unsigned& count) const;

  // The kind of sound, for the desktop's policies ("phone" unless set; "event" for feedback
  // sounds). Takes effect at the next Open.
  void SetMediaRole(const std::string& role);

  // Player: queues len bytes, waiting while the buffers are full. Recorder: waits until len bytes
  // have been recorded. False when the channel is not open in that direction, the device went
  // away, the server stopped answering, or Abort was called.
  bool Write(const void* buf, size_t len);
  bool Read(void* buf, size_t len);
  size_t GetLastWriteCount() const { return m_lastWriteCount; }
  size_t GetLastReadCount() const { return m_lastReadCount; }

  // Plays a sound, converted to the channel's format; with wait, returns when it has been heard.
  // Without wait, returns once all but the last buffers are with the server.
  bool PlaySound(const PSound& sound, bool wait = true);
  // Waits until everything written has been played.
  bool WaitForPlayCompletion();

  // From any thread: makes the blocking call under way, and every later one, return false.
  void Abort();

  const std::string& GetDeviceName() const { return m_device; }
  Directions GetDirection() const { return m_direction; }
  unsigned GetChannels() const { return m_channels; }
  unsigned GetSampleRate() const { return m_sampleRate; }
  // The server's buffer for this stream once open, in bytes: what it keeps queued for playing
  // (target length) or hands over at a time when recording (fragment size).
  size_t GetServerBufferBytes() const;
  // Why the last call failed, for diagnostics.
  const std::string& GetLastError() const { return m_lastError; }

 private:
  struct Stream;
  bool Fail(const std::string& why);
  bool Stalled(Stream& st, const char* why);

  std::unique_ptr<Stream> m_stream;
  std::mutex m_streamMutex;  // held while m_stream changes, so that Abort finds it whole
  std::atomic<bool> m_aborted{false};
  std::string m_device;
  Directions m_direction = Player;
  unsigned m_channels = 1;
  unsigned m_sampleRate = 8000;
  size_t m_bufferSize = kDefaultBufferSize;
  unsigned m_bufferCount = kDefaultBufferCount;
  std::string m_role = "phone";
  size_t m_lastWriteCount = 0;
  size_t m_lastReadCount = 0;
  std::string m_lastError;
};
