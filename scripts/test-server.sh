#!/usr/bin/env bash
# Starts or stops a Firebird server for the tests that run against a server
# (`host:/path` databases). The server listens on 127.0.0.1 only (Debian's
# RemoteBindAddress = localhost) and knows the program's fixed account.
#
#   scripts/test-server.sh start PIDFILE   # prints nothing; fails when the server does not come up
#   scripts/test-server.sh stop PIDFILE
set -euo pipefail
action=${1:?start or stop}
pidfile=${2:?pid file}
security=/var/lib/firebird/3.0/system/security3.fdb

case "$action" in
start)
  if [[ $(id -u) -ne 0 ]]; then
    echo "test-server: must run as root" >&2
    exit 1
  fi
  # The account every connection of the program uses, set in the server's
  # security database through the embedded engine; the tests create their
  # own databases under it.
  printf "CREATE OR ALTER USER ARCHOP PASSWORD 'fadqeo' USING PLUGIN Srp;\nCOMMIT;\nGRANT CREATE DATABASE TO USER ARCHOP;\nCOMMIT;\n" |
    isql-fb -q -user SYSDBA "$security" >/dev/null
  /usr/sbin/firebird >/dev/null 2>&1 &
  echo $! >"$pidfile"
  for _ in $(seq 1 50); do
    if (exec 3<>/dev/tcp/127.0.0.1/3050) 2>/dev/null; then
      exit 0
    fi
    sleep 0.2
  done
  echo "test-server: the Firebird server did not start" >&2
  kill "$(cat "$pidfile")" 2>/dev/null || true
  exit 1
  ;;
stop)
  if [[ -f "$pidfile" ]]; then
    pid=$(cat "$pidfile")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    # A server that does not finish its shutdown in time is only a test server.
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$pidfile"
  fi
  ;;
*)
  echo "usage: $0 start|stop PIDFILE" >&2
  exit 2
  ;;
esac
