#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [cmake options...]
# VANTRO_BUILD_TARGET builds one target (and what it needs) instead of everything.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
jobs=${VANTRO_JOBS:-$(nproc)}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "$jobs" ${VANTRO_BUILD_TARGET:+--target "$VANTRO_BUILD_TARGET"}
