#!/usr/bin/env bash
# The main job: builds the tool and runs a live demonstration of several display controls fed
# by the stand-in cache server. Usage: scripts/main.sh [--duration SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target quillon
exec build/release/tools/quillon/quillon demo "$@"
