#!/usr/bin/env bash
# Installs what is missing, builds burst-bench optimised and runs it; the arguments go to burst-bench.
#   scripts/bench.sh            the full run
#   scripts/bench.sh --quick    small sizes, for a smoke run
# MARLOWDESK_QT=6 builds and runs it against Qt 6 (in build/bench-qt6).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
# openssl makes the local platform's certificate; curl makes the upload's baseline requests.
ensure_packages "${BUILD_PACKAGES[@]}" openssl curl

qt=${MARLOWDESK_QT:-5}
build=build/bench
if [ "$qt" = 6 ]; then
    ensure_packages "${QT6_PACKAGES[@]}"
    build=build/bench-qt6
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF -DMARLOWDESK_QT="$qt" >/dev/null
cmake --build "$build" -j"$(nproc)" --target burst-bench
exec "$build/tools/bench/burst-bench" "$@"
