#!/usr/bin/env bash
# Configures and builds one build folder: scripts/build.sh <folder> [cmake options...]
# VANTRO_BUILD_TARGET builds these targets (space-separated, and what they need) instead of everything.
# Debug information is line tables only (-g1): enough for backtraces and sanitizer reports, and a
# third less compile time than -g; pass -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g -DNDEBUG" (or
# _DEBUG="-g") after the folder for a debugger's full view.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=$1; shift
jobs=${VANTRO_JOBS:-$(nproc)}
defaults=()
for lang in C CXX; do
  defaults+=("-DCMAKE_${lang}_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" "-DCMAKE_${lang}_FLAGS_DEBUG=-g1")
done
cmake -S . -B "$dir" -G Ninja "${defaults[@]}" "$@" >/dev/null
targets=()
[[ -n ${VANTRO_BUILD_TARGET:-} ]] && read -ra targets <<<"$VANTRO_BUILD_TARGET"
cmake --build "$dir" -j "$jobs" ${targets[@]:+--target "${targets[@]}"}
