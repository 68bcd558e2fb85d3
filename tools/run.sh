#!/usr/bin/env bash
# The main job: set-up, the 32-bit build, then a run of the shipped binaries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32
ctest --preset win32
