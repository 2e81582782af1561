#pragma once
// A recorder of the settings a volume writer makes, in place of the mixer calls.

#include <chrono>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "dialer/VolumeSliders.h"
#include "tests/support/MixerLines.h"

struct MixerCall {
  unsigned dst, src, value, mixer;
  bool operator==(const MixerCall&) const = default;
};

class VolumeCalls {
 public:
  explicit VolumeCalls(CVolumeWriter& writer) : m_writer(writer) {
    writer.SetSetter([this](unsigned d, unsigned s, unsigned v, unsigned m) {
      std::lock_guard lock(m_mutex);
      m_calls.push_back({d, s, v, m});
      return true;
    });
  }
  ~VolumeCalls() {
    m_writer.WaitIdle(std::chrono::seconds(10));
    m_writer.SetSetter([](unsigned, unsigned, unsigned, unsigned) { return true; });
  }

  // The settings made so far, once the writer has applied every one asked for.
  std::vector<MixerCall> Calls() {
    EXPECT_TRUE(m_writer.WaitIdle(std::chrono::seconds(10)));
    std::lock_guard lock(m_mutex);
    return m_calls;
  }

 private:
  CVolumeWriter& m_writer;
  std::mutex m_mutex;
  std::vector<MixerCall> m_calls;
};
