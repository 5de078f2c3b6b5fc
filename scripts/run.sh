#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk and starts it.
#
# By default MarlowDesk is built in build/sim to talk to a simulated web
# platform on https://127.0.0.1:$platform_port/en, trusting that platform's
# local certificate authority besides the system's, and started beside a
# simulated station (TCP on 127.0.0.1 and a pseudo-terminal) and the simulated
# platform; both are stopped again when MarlowDesk exits.
#
# MARLOWDESK_NO_SIM=1 builds MarlowDesk in build/release for the real station
# and platform and starts it alone.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

if [[ "${MARLOWDESK_NO_SIM:-0}" == 1 ]]; then
    build=build/release
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF >/dev/null
    cmake --build "$build" -j"$(nproc)" --target marlowdesk
    exec "$build/marlowdesk" "$@"
fi

# The platform's address is built into MarlowDesk, so its port is fixed.
platform_port=48443
build=build/sim
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF \
    -DMARLOWDESK_PLATFORM_URL="https://127.0.0.1:$platform_port/en" \
    -DMARLOWDESK_EXTRA_CA_FILE="$PWD/$build/platform-ca/ca.pem" >/dev/null
cmake --build "$build" -j"$(nproc)" --target marlowdesk marlowdesk-collect station-sim platform-sim

station_out=$(mktemp)
platform_out=$(mktemp)
station_log="$build/station-sim.log"
platform_log="$build/platform-sim.log"
records="$build/platform-records.txt"
"$build/tools/station-sim" --lines 500 >"$station_out" 2>"$station_log" &
station_pid=$!
"$build/tools/platform-sim" --port "$platform_port" --records "$records" \
    >"$platform_out" 2>"$platform_log" &
platform_pid=$!
stop_simulators() {
    kill "$station_pid" "$platform_pid" 2>/dev/null || true
    wait "$station_pid" "$platform_pid" 2>/dev/null || true
    rm -f "$station_out" "$platform_out"
}
trap stop_simulators EXIT
trap 'exit 130' INT TERM

# Each simulator prints where it listens, then a last line; wait for that line.
wait_for_line() {
    local out=$1 pid=$2 pattern=$3
    for _ in $(seq 50); do
        grep -q "$pattern" "$out" && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
wait_for_line "$station_out" "$station_pid" '^Station serial' || true
wait_for_line "$platform_out" "$platform_pid" '^Ctrl+C' || true
tcp=$(sed -n 's/^TCP: //p' "$station_out")
pty=$(sed -n 's/^Serial: \([^ ]*\).*/\1/p' "$station_out")
serial=$(sed -n 's/^Station serial \([^;]*\);.*/\1/p' "$station_out")
platform=$(sed -n 's/^HTTPS: //p' "$platform_out")
token=$(sed -n 's/^Tokens accepted: //p' "$platform_out")

if [[ -n "$tcp" && -n "$pty" ]]; then
    cat <<EOF
Simulated station $serial (its exchanges are logged to $station_log):
  TCP:    switch to TCP mode (SetMode), Configure, address ${tcp%:*}, port ${tcp##*:}
  Serial: Configure, port "Custom", device $pty
EOF
else
    echo "run.sh: the simulated station did not start (see $station_log)" >&2
fi
if [[ -n "$platform" ]]; then
    cat <<EOF
Simulated platform $platform (every request and answer logged to $platform_log):
  token:   $token
  records: each burst's uploaded records are appended to $records
A whole burst: connect to the station, type the token on the burst page, choose the period and
click "Start Burst from MarlowDesk"; the burst file is $build/${serial:-<serial>}_data.log.
The same burst unattended, from another terminal while this one runs:
  MARLOWDESK_TOKEN=$token $build/marlowdesk-collect --tcp $tcp --from "2026-12-01 00" --days 1 --out $build --json
EOF
else
    echo "run.sh: the simulated platform did not start (see $platform_log)" >&2
fi
echo "Set MARLOWDESK_NO_SIM=1 to start MarlowDesk for a real station and platform instead."

# Started in the build folder, so that the burst file lands beside the platform's records.
status=0
(cd "$build" && ./marlowdesk "$@") || status=$?
exit "$status"
