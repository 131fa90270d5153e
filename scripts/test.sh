#!/usr/bin/env bash
# Builds Tavrin with its tests and runs every test. The paced audio tests need a sound server:
# a private, headless PulseAudio with a null sink and a null source is started for them and
# stopped afterwards. Extra arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVRIN_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh" test
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON ${TAVRIN_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

source "$top/scripts/pulse.sh"
pulse_start
trap pulse_stop EXIT

export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
cd "$build"
ctest --output-on-failure "$@"
