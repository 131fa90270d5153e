#!/usr/bin/env bash
# Builds Tavrin and its benchmark, starts a private headless PulseAudio (null sink and source),
# runs the benchmark against it and prints the table. Extra arguments go to bench_tavrin
# (--runs N, --load-seconds S, --only operator-ptt or --only exchange).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVRIN_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh" test
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIN_BENCH=ON >/dev/null
cmake --build "$build" --target tavrin bench_tavrin -j"$(nproc)" >/dev/null

source "$top/scripts/pulse.sh"
pulse_start
trap pulse_stop EXIT
if [ -z "${TAVRIN_PULSE:-}" ]; then
    echo "bench: the headless PulseAudio did not start" >&2
    exit 1
fi

export QT_QPA_PLATFORM=offscreen
# A private session bus for the remote Play call.
dbus-run-session -- "$build/bench/bench_tavrin" --program "$build/src/tavrin" "$@"
