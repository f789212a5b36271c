#!/usr/bin/env bash
# Configures and builds the project into build/ (or $ARCHIVE_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ARCHIVE_BUILD_DIR:-$root/build}
generator=()
command -v ninja >/dev/null 2>&1 && generator=(-G Ninja)
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" -j "$(nproc)"
