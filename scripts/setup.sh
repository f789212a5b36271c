#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, run and test.
# Idempotent: when everything is already installed it changes nothing.
# Runs as root, or through sudo when started by an ordinary user.
set -euo pipefail

packages=(
  # build
  build-essential cmake ninja-build pkg-config clang-format
  # Qt 6: Core, Gui, Widgets, PrintSupport, Test
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # Firebird 3: client library and headers, embedded engine, isql, server
  firebird-dev libfbclient2 firebird3.0-server-core firebird3.0-utils firebird3.0-server
  # office files and archives
  libxlsxwriter-dev libzip-dev
  # desktop services (opening files, mail composer)
  xdg-utils
  # running the GUI without a display, and a font to draw it with
  xvfb xauth fonts-dejavu-core
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "setup: all packages are installed"
  exit 0
fi

if [[ $(id -u) -eq 0 ]]; then
  sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
  sudo_cmd=(sudo)
else
  echo "setup: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
# The server package must not start its service during the install (there may be no init system);
# the tests start their own server when they need one.
if [[ ! -e /usr/sbin/policy-rc.d ]]; then
  printf '#!/bin/sh\nexit 101\n' | "${sudo_cmd[@]}" tee /usr/sbin/policy-rc.d >/dev/null
  "${sudo_cmd[@]}" chmod +x /usr/sbin/policy-rc.d
  remove_policy=1
fi
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
if [[ "${remove_policy:-0}" == 1 ]]; then
  "${sudo_cmd[@]}" rm -f /usr/sbin/policy-rc.d
fi
echo "setup: done"
