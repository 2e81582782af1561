#!/usr/bin/env bash
# Installs what is missing, builds the dialer and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec ./build/app/vantro-dialer "$@"
