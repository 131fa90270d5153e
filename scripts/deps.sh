#!/usr/bin/env bash
# Installs the Debian packages Tavrin needs to build, run and test, when any is missing.
# Usage: scripts/deps.sh [run|test]
set -euo pipefail

build_pkgs=(cmake g++ make pkg-config qt6-base-dev qt6-tools-dev qt6-l10n-tools libasound2-dev
            libsamplerate0-dev libhamlib-dev libsndfile1-dev libebur128-dev)
run_pkgs=(libasound2-plugins alsa-utils libsamplerate0 libhamlib4 libqt6dbus6 libsndfile1 libebur128-1
          qt6-translations-l10n)
test_pkgs=(dbus-daemon pulseaudio libasound2-plugins alsa-utils clang libclang-rt-14-dev libhamlib-utils
           dpkg-dev desktop-file-utils appstream man-db pipewire pipewire-pulse wireplumber
           xvfb openbox at-spi2-core speech-dispatcher orca)

case "${1:-run}" in
    run) wanted=("${build_pkgs[@]}" "${run_pkgs[@]}") ;;
    test) wanted=("${build_pkgs[@]}" "${test_pkgs[@]}") ;;
    *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
