#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target marlowdesk station-sim
exec "$build/marlowdesk" "$@"
