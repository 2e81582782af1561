#!/usr/bin/env bash
# Installs the Debian 12 packages the dialer needs to build, run and be tested, when any is missing.
# Safe to run again: it installs nothing when everything is there.
set -euo pipefail

packages=(
  # build
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config ccache git clang-format
  # libraries
  qt6-base-dev libpulse-dev libasio-dev libssl-dev libavcodec-dev libbcg729-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # run time: sound server, browser opener
  pulseaudio pulseaudio-utils xdg-utils
  # tests: the independent decoder, the desktop entry's validator and launcher (gio); the window's
  # pictures (scripts/screenshots.sh): an X server and ImageMagick's import
  tshark desktop-file-utils libglib2.0-bin xvfb imagemagick
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
# tshark asks whether non-root users may capture; the answer does not matter to us.
echo "wireshark-common wireshark-common/install-setuid boolean false" | "${sudo[@]}" debconf-set-selections || true
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
