#include "runtime/PSoundMixer.h"

#include <pulse/introspect.h>
#include <pulse/volume.h>

#include "runtime/PulseConnection.h"

static_assert(PSoundMixer::kVolumeNorm == PA_VOLUME_NORM);

namespace {

constexpr const char* kClientName = "Vantro Dialer mixer";

// What a device query brings back: the device's own name (the default device resolved) and its
// volume.
struct DeviceVolume {
  bool found = false;
  std::string name;
  pa_cvolume volume{};
};

void TakeSink(pa_context*, const pa_sink_info* info, int eol, void* userdata) {
  if (eol || !info) return;
  auto* out = static_cast<DeviceVolume*>(userdata);
  *out = {true, info->name ? info->name : "", info->volume};
}

void TakeSource(pa_context*, const pa_source_info* info, int eol, void* userdata) {
  if (eol || !info) return;
  auto* out = static_cast<DeviceVolume*>(userdata);
  *out = {true, info->name ? info->name : "", info->volume};
}

void TakeSuccess(pa_context*, int success, void* userdata) { *static_cast<bool*>(userdata) = success != 0; }

bool Query(pulse::Connection& conn, PSoundChannel::Directions dir, const std::string& device, DeviceVolume& out) {
  const bool player = dir == PSoundChannel::Player;
  const std::string name = !device.empty() ? device : player ? "@DEFAULT_SINK@" : "@DEFAULT_SOURCE@";
  pa_operation* op = player ? pa_context_get_sink_info_by_name(conn.Context(), name.c_str(), TakeSink, &out)
                            : pa_context_get_source_info_by_name(conn.Context(), name.c_str(), TakeSource, &out);
  // A name the server does not know ends the operation with an error, not a hang.
  return conn.Wait(op, pulse::Connection::Deadline()) && out.found && pa_cvolume_valid(&out.volume);
}

}  // namespace

bool PSoundMixer::GetVolume(PSoundChannel::Directions dir, const std::string& device, std::vector<uint32_t>& channels) {
  pulse::Connection conn;
  DeviceVolume dv;
  if (!conn.Connect(kClientName) || !Query(conn, dir, device, dv)) return false;
  channels.assign(dv.volume.values, dv.volume.values + dv.volume.channels);
  return true;
}

bool PSoundMixer::SetVolume(PSoundChannel::Directions dir, const std::string& device, uint32_t volume) {
  pulse::Connection conn;
  DeviceVolume dv;
  if (!conn.Connect(kClientName) || !Query(conn, dir, device, dv)) return false;
  pa_cvolume cv;
  pa_cvolume_set(&cv, dv.volume.channels, volume > PA_VOLUME_MAX ? PA_VOLUME_MAX : volume);
  bool success = false;
  pa_operation* op =
      dir == PSoundChannel::Player
          ? pa_context_set_sink_volume_by_name(conn.Context(), dv.name.c_str(), &cv, TakeSuccess, &success)
          : pa_context_set_source_volume_by_name(conn.Context(), dv.name.c_str(), &cv, TakeSuccess, &success);
  return conn.Wait(op, pulse::Connection::Deadline()) && success;
}
