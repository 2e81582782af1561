#!/usr/bin/env bash
# A private PulseAudio daemon for the tests: a "speaker" null sink, a "mic_feed" null sink and a
# "mic" source that records whatever is played into mic_feed. It runs as root without a session.
#   scripts/pulse-test-daemon.sh start <folder>   prints the PULSE_SERVER value to use
#   scripts/pulse-test-daemon.sh stop <folder>
set -euo pipefail
cmd=$1
dir=$2
case "$cmd" in
start)
  mkdir -p "$dir/run" "$dir/state"
  export PULSE_RUNTIME_PATH=$dir/run PULSE_STATE_PATH=$dir/state PULSE_COOKIE=$dir/cookie
  pulseaudio --daemonize=no --exit-idle-time=-1 -n --disable-shm=true \
    --load="module-native-protocol-unix auth-anonymous=1 auth-cookie-enabled=0 socket=$dir/run/native" \
    --load="module-null-sink sink_name=speaker" \
    --load="module-null-sink sink_name=mic_feed" \
    --load="module-remap-source master=mic_feed.monitor source_name=mic" \
    >"$dir/daemon.log" 2>&1 &
  echo $! >"$dir/pid"
  for _ in $(seq 1 100); do
    if PULSE_SERVER=unix:$dir/run/native pactl info >/dev/null 2>&1; then
      echo "unix:$dir/run/native"
      exit 0
    fi
    sleep 0.1
  done
  echo "PulseAudio did not start; see $dir/daemon.log" >&2
  cat "$dir/daemon.log" >&2 || true
  exit 1
  ;;
stop)
  if [[ -f "$dir/pid" ]]; then
    kill "$(cat "$dir/pid")" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$(cat "$dir/pid")" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$(cat "$dir/pid")" 2>/dev/null || true
    rm -f "$dir/pid"
  fi
  ;;
*)
  echo "usage: $0 start|stop <folder>" >&2
  exit 2
  ;;
esac
