#!/usr/bin/env bash
# Installs what is missing, builds burst-bench optimised and runs it; the arguments go to burst-bench.
#   scripts/bench.sh            the full run
#   scripts/bench.sh --quick    small sizes, for a smoke run
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
# openssl makes the local platform's certificate; curl makes the upload's baseline requests.
ensure_packages "${BUILD_PACKAGES[@]}" openssl curl

build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target burst-bench
exec "$build/tools/bench/burst-bench" "$@"
