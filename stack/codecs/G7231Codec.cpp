#include "stack/codecs/G7231Codec.h"

#include "runtime/PTrace.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace vantro::codecs {

namespace {

constexpr int kSamples = 240;
constexpr std::array<std::size_t, 4> kFrameBytes{24, 20, 4, 1};  // by the two low bits of the first octet

// The library's messages go to our trace log instead of standard error.
void LogFromLibrary(void*, int level, const char* format, va_list args) {
  if (level > AV_LOG_WARNING || !PTrace::CanTrace(4)) return;
  char line[512];
  std::vsnprintf(line, sizeof line, format, args);
  std::string text(line);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  PTRACE(4, "Codec", "libavcodec: " << text);
}

void RouteLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_callback(LogFromLibrary); });
}

// A 6.3 kbit/s frame with a forbidden pitch lag code (bits 26 to 32 all set): the decoder cannot
// read it and runs the concealment of the standard (the last frame's parameters, attenuated), or
// goes on with comfort noise after a silence descriptor.
constexpr std::array<std::uint8_t, 24> kErasedFrame = [] {
  std::array<std::uint8_t, 24> f{};
  f[3] = 0xfc;
  f[4] = 0x01;
  return f;
}();

}  // namespace

G7231Codec::G7231Codec(Direction direction) : H323AudioCodec(direction) {
  RouteLibraryLog();
  frame_ = av_frame_alloc();
  packet_ = av_packet_alloc();
  if (frame_ && packet_) Open();
  if (context_ && direction == Encoder) {
    frame_->nb_samples = kSamples;
    frame_->format = AV_SAMPLE_FMT_S16;
    frame_->sample_rate = 8000;
    av_channel_layout_default(&frame_->ch_layout, 1);
    if (av_frame_get_buffer(frame_, 0) < 0) avcodec_free_context(&context_);
  }
}

void G7231Codec::Open() {
  avcodec_free_context(&context_);
  const bool encoder = GetDirection() == Encoder;
  const AVCodec* codec = encoder ? avcodec_find_encoder(AV_CODEC_ID_G723_1) : avcodec_find_decoder(AV_CODEC_ID_G723_1);
  if (!codec) {
    PTRACE(1, "Codec", "libavcodec has no G.723.1 " << (encoder ? "encoder" : "decoder"));
    return;
  }
  AVCodecContext* context = avcodec_alloc_context3(codec);
  if (!context) return;
  context->sample_rate = 8000;
  av_channel_layout_default(&context->ch_layout, 1);
  if (encoder) {
    context->sample_fmt = AV_SAMPLE_FMT_S16;
    context->bit_rate = 6300;
  }
  if (avcodec_open2(context, codec, nullptr) < 0) {
    PTRACE(1, "Codec", "cannot open the G.723.1 " << (encoder ? "encoder" : "decoder"));
    avcodec_free_context(&context);
    return;
  }
  context_ = context;
}

G7231Codec::~G7231Codec() {
  avcodec_free_context(&context_);
  av_frame_free(&frame_);
  av_packet_free(&packet_);
}

bool G7231Codec::Encode(std::span<const std::int16_t> samples, std::vector<std::uint8_t>& out) {
  if (!context_ || GetDirection() != Encoder || samples.size() != kSamples) return false;
  if (av_frame_make_writable(frame_) < 0) return false;
  std::memcpy(frame_->data[0], samples.data(), samples.size_bytes());
  UpdateLevel(samples);
  if (avcodec_send_frame(context_, frame_) < 0) return false;
  bool coded = false;
  while (avcodec_receive_packet(context_, packet_) == 0) {
    out.insert(out.end(), packet_->data, packet_->data + packet_->size);
    av_packet_unref(packet_);
    coded = true;
  }
  return coded;
}

void G7231Codec::SplitFrames(std::span<const std::uint8_t> payload, std::vector<FrameSlice>& frames) const {
  std::size_t at = 0;
  while (at < payload.size()) {
    const std::size_t length = kFrameBytes[payload[at] & 3];
    if (payload.size() - at < length) break;
    frames.push_back(FrameSlice{at, length, kSamples});
    at += length;
  }
}

unsigned G7231Codec::Decode(std::span<const std::uint8_t> bits, std::span<std::int16_t> pcm) {
  if (!context_ || GetDirection() != Decoder) return 0;
  if (bits.empty() || bits.size() != kFrameBytes[bits[0] & 3]) return Conceal(pcm);
  erased_ = 0;
  return Run(bits, pcm);
}

unsigned G7231Codec::Conceal(std::span<std::int16_t> pcm) {
  if (!context_ || GetDirection() != Decoder) return 0;
  // The library's concealment is good for two frames; from the third on it does not mute as the
  // standard says but feeds on stale sound, so we play silence and leave the decoder where it is.
  if (++erased_ <= 2) return Run(kErasedFrame, pcm);
  const std::size_t n = std::min<std::size_t>(pcm.size(), kSamples);
  std::fill_n(pcm.begin(), n, std::int16_t(0));
  ClearAverageSignalLevel();
  return static_cast<unsigned>(n);
}

unsigned G7231Codec::Run(std::span<const std::uint8_t> bits, std::span<std::int16_t> pcm) {
  av_packet_unref(packet_);
  if (av_new_packet(packet_, static_cast<int>(bits.size())) < 0) return 0;
  std::memcpy(packet_->data, bits.data(), bits.size());
  const int sent = avcodec_send_packet(context_, packet_);
  av_packet_unref(packet_);
  std::size_t n = 0;
  if (sent == 0 && avcodec_receive_frame(context_, frame_) == 0) {
    n = std::min({pcm.size(), static_cast<std::size_t>(frame_->nb_samples), static_cast<std::size_t>(kSamples)});
    std::memcpy(pcm.data(), frame_->data[0], n * sizeof(std::int16_t));
    av_frame_unref(frame_);
  }
  if (n == 0) return 0;
  // Out of step with the encoder (after losses, worst with steady tones) the decoder can run away
  // into full-scale noise and not come back: two such frames in a row start it afresh.
  const auto clipped = std::count_if(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(n),
                                     [](std::int16_t x) { return x >= 32000 || x <= -32000; });
  runaway_ = clipped * 4 > static_cast<std::ptrdiff_t>(n) ? runaway_ + 1 : 0;
  if (runaway_ >= 2) {
    PTRACE(3, "Codec", "G.723.1 decoder ran away; starting it afresh");
    std::fill_n(pcm.begin(), n, std::int16_t(0));
    runaway_ = 0;
    Open();
  }
  UpdateLevel(pcm.first(n));
  return static_cast<unsigned>(n);
}

}  // namespace vantro::codecs
