#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk with its tests and runs every test through CTest.
#   scripts/test.sh              plain build, then the Debian package's check (scripts/check-package.sh),
#                                then the quick suite built against Qt 6 (build/qt6)
#   scripts/test.sh --sanitize   the same with AddressSanitizer and UndefinedBehaviorSanitizer,
#                                then the parsers' fuzz targets, built with clang, 30 s each
# Both run the soak (tools/soak) for 30 s; `ctest -LE 'soak|fuzz'` in a build folder is the quick suite.
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

if [ ${#options[@]} -gt 0 ]; then
    ensure_packages "${FUZZ_PACKAGES[@]}"
    cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug -DFUZZ=ON -DMARLOWDESK_TESTS=OFF \
          -DCMAKE_CXX_COMPILER=clang++ >/dev/null
    cmake --build build/fuzz -j"$(nproc)" --target fuzzers
    (cd build/fuzz && ctest -L fuzz --output-on-failure)
fi

# The Debian package, where dpkg can build one; the plain run checks it for both.
if [ ${#options[@]} -eq 0 ] && command -v dpkg >/dev/null; then
    bash scripts/check-package.sh
fi

# The same sources against Qt 6, in the plain run: every target builds without a
# warning, and the quick suite passes.
if [ ${#options[@]} -eq 0 ]; then
    ensure_packages "${QT6_PACKAGES[@]}"
    cmake -S . -B build/qt6 -DCMAKE_BUILD_TYPE=Debug -DMARLOWDESK_QT=6 \
          -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
    cmake --build build/qt6 -j"$(nproc)"
    (cd build/qt6 && QT_QPA_PLATFORM=offscreen ctest -LE 'soak|fuzz' --output-on-failure --timeout 600)
fi
