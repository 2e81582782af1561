#include "runtime/PSoundChannel.h"

#include <algorithm>
#include <cstring>

#include <pulse/introspect.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>

#include "runtime/PulseConnection.h"

namespace {

constexpr const char* kClientName = "Vantro Dialer";

void AddSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  if (eol || !info) return;
  static_cast<std::vector<PSoundDevice>*>(userdata)->push_back(
      {info->name ? info->name : "", info->description ? info->description : ""});
}

void AddSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  if (eol || !info || info->monitor_of_sink != PA_INVALID_INDEX) return;
  static_cast<std::vector<PSoundDevice>*>(userdata)->push_back(
      {info->name ? info->name : "", info->description ? info->description : ""});
}

}  // namespace

struct PSoundChannel::Stream {
  pulse::Connection conn;  // declared first: the stream goes before its connection
  pa_stream* stream = nullptr;
  size_t frameSize = 2;
  // Recording: the fragment last taken from the server and how much of it has been read.
  const uint8_t* fragment = nullptr;
  size_t fragmentLength = 0;
  size_t fragmentPos = 0;
  bool peeked = false;

  ~Stream() {
    if (stream) {
      pa_stream_disconnect(stream);
      pa_stream_unref(stream);
    }
  }

  bool Good() const { return stream && PA_STREAM_IS_GOOD(pa_stream_get_state(stream)); }
};

PSoundChannel::PSoundChannel() = default;

PSoundChannel::PSoundChannel(const std::string& device, Directions dir, unsigned numChannels, unsigned sampleRate,
                             unsigned bitsPerSample) {
  Open(device, dir, numChannels, sampleRate, bitsPerSample);
}

PSoundChannel::~PSoundChannel() { Close(); }

std::vector<PSoundDevice> PSoundChannel::GetDevices(Directions dir) {
  pulse::Connection conn;
  if (!conn.Connect(kClientName)) return {};
  std::vector<PSoundDevice> devices;
  pa_operation* op = dir == Player ? pa_context_get_sink_info_list(conn.Context(), AddSink, &devices)
                                   : pa_context_get_source_info_list(conn.Context(), AddSource, &devices);
  if (!conn.Wait(op, pulse::Connection::Deadline())) return {};
  return devices;
}

std::vector<std::string> PSoundChannel::GetDeviceNames(Directions dir) {
  std::vector<std::string> names;
  for (PSoundDevice& d : GetDevices(dir)) names.push_back(std::move(d.name));
  return names;
}

void PSoundChannel::SetServerTimeout(std::chrono::milliseconds timeout) { pulse::SetServerTimeout(timeout); }

std::chrono::milliseconds PSoundChannel::GetServerTimeout() { return pulse::ServerTimeout(); }

bool PSoundChannel::Fail(const std::string& why) {
  m_lastError = why;
  return false;
}

bool PSoundChannel::Stalled(Stream& st, const char* why) {
  if (st.conn.IsAborted()) return Fail("aborted");
  if (!st.Good()) return Fail("the device went away");
  // The stream is there but nothing moved for the whole stall time: the server is stuck.
  if (st.conn.IsReady()) pulse::Connection::MarkServerStuck();
  return Fail(why);
}

bool PSoundChannel::Open(const std::string& device, Directions dir, unsigned numChannels, unsigned sampleRate,
                         unsigned bitsPerSample) {
  Close();
  m_device = device;
  m_direction = dir;
  m_channels = numChannels;
  m_sampleRate = sampleRate;
  m_lastError.clear();
  if (bitsPerSample != 16) return Fail("only 16-bit samples are supported");
  if (numChannels < 1 || numChannels > 2) return Fail("only 1 or 2 channels are supported");
  if (sampleRate < 1000 || sampleRate > 192000) return Fail("unsupported sample rate");
  if (m_aborted.load()) return Fail("aborted");

  {
    std::lock_guard lock(m_streamMutex);
    m_stream = std::make_unique<Stream>();
    if (m_aborted.load()) m_stream->conn.Abort();
  }
  Stream& st = *m_stream;
  st.frameSize = 2 * numChannels;
  if (!st.conn.Connect(kClientName)) {
    Close();
    return Fail("no sound server");
  }

  const pa_sample_spec format{PA_SAMPLE_S16LE, sampleRate, uint8_t(numChannels)};
  pa_proplist* props = pa_proplist_new();
  pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, m_role.c_str());
  st.stream =
      pa_stream_new_with_proplist(st.conn.Context(), dir == Player ? "Playback" : "Recording", &format, nullptr, props);
  pa_proplist_free(props);
  if (!st.stream) {
    Close();
    return Fail("the server refused the stream");
  }

  // Small buffers: the server is asked for the latency of our buffers, not its own default of
  // seconds. A player keeps size*count bytes queued and is asked for more a buffer at a time; a
  // recorder gets its data a buffer at a time.
  const uint32_t unit = uint32_t(std::max(st.frameSize, m_bufferSize - m_bufferSize % st.frameSize));
  pa_buffer_attr attr;
  attr.maxlength = uint32_t(-1);
  attr.tlength = uint32_t(-1);
  attr.prebuf = uint32_t(-1);
  attr.minreq = uint32_t(-1);
  attr.fragsize = uint32_t(-1);
  if (dir == Player) {
    attr.tlength = unit * std::max(1u, m_bufferCount);
    attr.minreq = unit;
  } else {
    attr.fragsize = unit;
  }
  const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY);
  const char* dev = device.empty() ? nullptr : device.c_str();
  const int r = dir == Player ? pa_stream_connect_playback(st.stream, dev, &attr, flags, nullptr, nullptr)
                              : pa_stream_connect_record(st.stream, dev, &attr, flags);
  const bool ready = r >= 0 &&
                     st.conn.RunUntil([&st] { return pa_stream_get_state(st.stream) != PA_STREAM_CREATING; },
                                      pulse::Connection::Deadline()) &&
                     pa_stream_get_state(st.stream) == PA_STREAM_READY;
  if (!ready) {
    Close();
    return Fail("cannot open the device");
  }
  return true;
}

bool PSoundChannel::IsOpen() const { return m_stream && m_stream->Good(); }

bool PSoundChannel::Close() {
  std::unique_ptr<Stream> old;
  {
    std::lock_guard lock(m_streamMutex);
    old.swap(m_stream);
  }
  return old != nullptr;
}

bool PSoundChannel::SetBuffers(size_t size, unsigned count) {
  if (size == 0 || count == 0 || size > (1u << 20) || count > 64) return false;
  m_bufferSize = size;
  m_bufferCount = count;
  return true;
}

bool PSoundChannel::GetBuffers(size_t& size, unsigned& count) const {
  size = m_bufferSize;
  count = m_bufferCount;
  return true;
}

void PSoundChannel::SetMediaRole(const std::string& role) { m_role = role; }

bool PSoundChannel::Write(const void* buf, size_t len) {
  m_lastWriteCount = 0;
  if (!m_stream || m_direction != Player || !m_stream->Good()) return Fail("not open for playing");
  Stream& st = *m_stream;
  if (len % st.frameSize != 0) return Fail("not a whole number of frames");
  const uint8_t* p = static_cast<const uint8_t*>(buf);
  size_t left = len;
  while (left > 0) {
    size_t room = 0;
    const bool ok = st.conn.RunUntil(
        [&] {
          if (!st.Good()) return true;
          room = pa_stream_writable_size(st.stream);
          return room > 0;
        },
        pulse::Connection::StallDeadline());
    if (!ok || !st.Good() || room == size_t(-1)) return Stalled(st, "the device stopped taking data");
    const size_t n = std::min(left, room - room % st.frameSize);
    if (n == 0 || pa_stream_write(st.stream, p, n, nullptr, 0, PA_SEEK_RELATIVE) < 0) return Fail("write refused");
    p += n;
    left -= n;
    m_lastWriteCount += n;
  }
  return true;
}

bool PSoundChannel::Read(void* buf, size_t len) {
  m_lastReadCount = 0;
  if (!m_stream || m_direction != Recorder || !m_stream->Good()) return Fail("not open for recording");
  Stream& st = *m_stream;
  uint8_t* out = static_cast<uint8_t*>(buf);
  while (m_lastReadCount < len) {
    if (st.fragmentPos == st.fragmentLength) {
      if (st.peeked) {
        pa_stream_drop(st.stream);
        st.peeked = false;
      }
      const bool ok = st.conn.RunUntil([&st] { return !st.Good() || pa_stream_readable_size(st.stream) > 0; },
                                       pulse::Connection::StallDeadline());
      if (!ok || !st.Good()) return Stalled(st, "the device stopped giving data");
      const void* data = nullptr;
      size_t n = 0;
      if (pa_stream_peek(st.stream, &data, &n) < 0) return Fail("read refused");
      if (n == 0) continue;
      // A hole (no data where data was due) reads as silence.
      st.fragment = static_cast<const uint8_t*>(data);
      st.fragmentLength = n;
      st.fragmentPos = 0;
      st.peeked = true;
    }
    const size_t take = std::min(len - m_lastReadCount, st.fragmentLength - st.fragmentPos);
    if (st.fragment)
      std::memcpy(out + m_lastReadCount, st.fragment + st.fragmentPos, take);
    else
      std::memset(out + m_lastReadCount, 0, take);
    st.fragmentPos += take;
    m_lastReadCount += take;
  }
  return true;
}

bool PSoundChannel::PlaySound(const PSound& sound, bool wait) {
  if (!m_stream || m_direction != Player) return Fail("not open for playing");
  bool ok;
  if (sound.GetChannels() == m_channels && sound.GetSampleRate() == m_sampleRate) {
    ok = Write(sound.GetData(), sound.GetByteCount() - sound.GetByteCount() % (2 * m_channels));
  } else {
    const PSound converted = sound.ConvertTo(m_channels, m_sampleRate);
    ok = Write(converted.GetData(), converted.GetByteCount());
  }
  return ok && (!wait || WaitForPlayCompletion());
}

bool PSoundChannel::WaitForPlayCompletion() {
  if (!m_stream || m_direction != Player || !m_stream->Good()) return Fail("not open for playing");
  Stream& st = *m_stream;
  // What is queued is at most the stream's target length; allow that on top of the timeout.
  const pa_buffer_attr* attr = pa_stream_get_buffer_attr(st.stream);
  const auto queued =
      std::chrono::milliseconds(attr ? uint64_t(attr->tlength) * 1000 / (uint64_t(st.frameSize) * m_sampleRate) : 0);
  if (!st.conn.Wait(pa_stream_drain(st.stream, nullptr, nullptr), pulse::Connection::StallDeadline() + queued))
    return Stalled(st, "playing did not finish");
  return true;
}

void PSoundChannel::Abort() {
  m_aborted.store(true);
  std::lock_guard lock(m_streamMutex);
  if (m_stream) m_stream->conn.Abort();
}

size_t PSoundChannel::GetServerBufferBytes() const {
  if (!m_stream || !m_stream->Good()) return 0;
  const pa_buffer_attr* attr = pa_stream_get_buffer_attr(m_stream->stream);
  if (!attr) return 0;
  return m_direction == Player ? attr->tlength : attr->fragsize;
}
