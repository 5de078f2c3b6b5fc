#!/usr/bin/env bash
# Installs what is missing, builds MarlowDesk and starts it.
#
# Unless MARLOWDESK_NO_SIM=1 is set (a real station is attached), a simulated
# station is started alongside, on TCP at 127.0.0.1 and on a pseudo-terminal,
# and stopped again when MarlowDesk exits.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

build=build/release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DMARLOWDESK_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target marlowdesk station-sim

if [[ "${MARLOWDESK_NO_SIM:-0}" == 1 ]]; then
    exec "$build/marlowdesk" "$@"
fi

sim_out=$(mktemp)
sim_log="$build/station-sim.log"
"$build/tools/station-sim" >"$sim_out" 2>"$sim_log" &
sim_pid=$!
stop_simulator() {
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
    rm -f "$sim_out"
}
trap stop_simulator EXIT

# The simulator prints where it listens, then its serial; wait for that last line.
for _ in $(seq 50); do
    grep -q '^Station serial' "$sim_out" && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
done
tcp=$(sed -n 's/^TCP: //p' "$sim_out")
pty=$(sed -n 's/^Serial: \([^ ]*\).*/\1/p' "$sim_out")

if [[ -n "$tcp" && -n "$pty" ]]; then
    cat <<EOF
Simulated station running (its exchanges are logged to $sim_log):
  TCP:    switch to TCP mode (SetMode), Configure, address ${tcp%:*}, port ${tcp##*:}
  Serial: Configure, port "Custom", device $pty
Set MARLOWDESK_NO_SIM=1 to start MarlowDesk without it.
EOF
else
    echo "run.sh: the simulated station did not start (see $sim_log); starting MarlowDesk alone" >&2
fi

status=0
"$build/marlowdesk" "$@" || status=$?
exit "$status"
