#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk for release and packs it into a
# Debian package: build/release/marlowdesk_<version>_<arch>.deb, whose path is
# the last line printed. The build is the one scripts/run.sh uses.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
# dpkg-shlibdeps (in dpkg-dev) computes the package's dependencies, for the
# programs that file tells apart.
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file

build=build/release
rm -f "$build"/marlowdesk_*.deb
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target package >/dev/null
ls "$build"/marlowdesk_*.deb
