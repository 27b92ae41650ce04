#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (only what is missing), then
# configures and builds. Usage: scripts/setup.sh BUILD_DIR [cmake options...] [--target TARGET...]
# Without --target everything is built; with it only those targets and what they need.
set -euo pipefail
cd "$(dirname "$0")/.."

die() { echo "setup: $*" >&2; exit 1; }

mapfile -t packages < <(sed 's/#.*//' scripts/debian-packages.txt | tr -s ' \t' '\n' | sed '/^$/d')
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  command -v apt-get >/dev/null 2>&1 ||
    die "these Debian packages are missing and there is no apt-get to install them: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null 2>&1 ||
      die "these Debian packages are missing: ${missing[*]}; run this as root or install sudo"
    sudo="sudo"
  fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq || die "apt-get update failed"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
    die "could not install: ${missing[*]}"
fi

# Qt 6.4 is the oldest the programs are built and tested with.
qt=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null | sed 's/^[0-9]*://; s/[^0-9.].*//')
if [ -z "$qt" ] || ! printf '6.4\n%s\n' "$qt" | sort -V -C; then
  die "Qt 6.4 or newer is needed (qt6-base-dev ${qt:-is not installed}); this set-up is for Debian 12 or newer"
fi

build="$1"
shift
options=()
targets=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ]; then
    shift
    targets=("$@")
    break
  fi
  options+=("$1")
  shift
done
cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
if [ ${#targets[@]} -gt 0 ]; then
  cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
else
  cmake --build "$build" -j "$(nproc)"
fi
