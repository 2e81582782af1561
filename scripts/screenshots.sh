#!/usr/bin/env bash
# Pictures of the dialer's window while a call rings, while it runs (duration and level bars
# moving) and after it, into docs/screenshots/: an X server of its own (Xvfb), the test sound
# server and the driver program built with the tests (build/tests/dialer/window_screenshots).
#   scripts/screenshots.sh [build folder] [display number]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}
display=${2:-97}
driver=$root/$build/tests/dialer/window_screenshots
if [[ ! -x "$driver" ]]; then
  echo "build the driver first: cmake --build $build --target window_screenshots" >&2
  exit 1
fi

work=$(mktemp -d /tmp/vantro-shots.XXXXXX)
xvfb_pid=
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  bash "$root/scripts/pulse-test-daemon.sh" stop "$work/pulse"
  rm -rf "$work"
}
trap cleanup EXIT

Xvfb ":$display" -screen 0 640x480x24 -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 50); do
  [[ -e "/tmp/.X11-unix/X$display" ]] && break
  sleep 0.1
done
PULSE_SERVER=$(bash scripts/pulse-test-daemon.sh start "$work/pulse")
export PULSE_SERVER

out=$root/docs/screenshots
mkdir -p "$out"
DISPLAY=":$display" QT_QPA_PLATFORM=xcb VANTRO_SOURCE_DIR=$root VANTRO_PRODUCT_SITE=127.0.0.1:9 \
  VANTRO_BILLING_HOST=127.0.0.1 "$driver" "$work/shots"
for shot in ringing established ended; do
  cp "$work/shots/$shot.png" "$out/call-$shot-xvfb.png"
done
