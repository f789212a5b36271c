#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the embedded demo
# archive (created in demo/ on the first run, once the administration command
# exists in the build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ARCHIVE_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
bin="$build/bin"
if [[ ! -f "$bin/archive.ini" && -x "$bin/archive-admin" ]]; then
  "$bin/archive-admin" create --demo --dir "$root/demo" --config "$bin/archive.ini"
fi
exec "$bin/archive" "$@"
