#!/usr/bin/env bash
# Builds Tavrin with AddressSanitizer and UndefinedBehaviorSanitizer in a build directory of its
# own and runs every test there, through scripts/test.sh. Any sanitizer report fails its test: a
# memory error or undefined behaviour aborts the test at once, a leak turns its exit status
# non-zero at exit. Extra arguments go to ctest.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

export TAVRIN_BUILD_DIR=${TAVRIN_SANITIZE_BUILD_DIR:-$top/build-sanitize}
export TAVRIN_CMAKE_ARGS="-DTAVRIN_SANITIZE=ON ${TAVRIN_CMAKE_ARGS:-}"
export ASAN_OPTIONS=detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:${ASAN_OPTIONS:-}
export LSAN_OPTIONS=suppressions=$top/scripts/lsan.supp:${LSAN_OPTIONS:-}
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}
exec "$top/scripts/test.sh" "$@"
