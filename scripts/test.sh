#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk with its tests and runs every test through CTest.
#   scripts/test.sh              plain build, then the Debian package's check (scripts/check-package.sh)
#   scripts/test.sh --sanitize   the same with AddressSanitizer and UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

build=build/tests
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build=build/sanitize
    options+=(-DMARLOWDESK_SANITIZE=ON)
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600)

# The Debian package, where dpkg can build one; the plain run checks it for both.
if [ ${#options[@]} -eq 0 ] && command -v dpkg >/dev/null; then
    bash scripts/check-package.sh
fi
