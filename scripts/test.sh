#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
#
# Run as root, it also starts a Firebird server on 127.0.0.1 for the tests
# that work against a server, and stops it afterwards; otherwise those tests
# are skipped. Extra arguments go to ctest (for example -R NAME).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ARCHIVE_BUILD_DIR:-$root/build}
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen

server_running() { (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; }
if [[ $(id -u) -eq 0 && -x /usr/sbin/firebird ]] && ! server_running; then
  pidfile=$(mktemp)
  trap '"$root/scripts/test-server.sh" stop "$pidfile"' EXIT
  if "$root/scripts/test-server.sh" start "$pidfile"; then
    export ARCHIVE_TEST_SERVER=localhost
  fi
fi

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@"
