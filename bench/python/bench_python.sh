#!/usr/bin/env bash
# Turns per second of the terminal's controller written in Python (tests/controllers/python), run out of
# process by borne-scenario, against the terminal's source built as a plug-in run in process, on the
# same long script of mixed traffic (traffic.scn, looped).
#   bench_python.sh RUNNER REFERENCE_PLUGIN [LOOPS]
set -eu
runner=$1 reference=$2 loops=${3:-200}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$root/examples/supervised/Config.cfg" "$root/examples/supervised/CHIP.INI" "$scratch"
for _ in $(seq "$loops"); do cat "$here/traffic.scn"; done > "$scratch/traffic.scn"
turns=$(( loops * $(grep -c '^turn' "$here/traffic.scn") ))
export PYTHONPATH=$root/tools/protocol/python PYTHONDONTWRITEBYTECODE=1

# "WALL CPU": seconds of wall time and of CPU (the runner's and the controller's) for one run of the
# script by CONTROLLER; the run must meet every expectation.
timed() {
    rm -f "$scratch/Log.txt"
    local TIMEFORMAT='%R %U %S' times
    times=$( { time (cd "$scratch" && "$runner" --controller "$1" traffic.scn > out 2>&1) ; } 2>&1 ) ||
        { echo "bench_python: $1 failed: $(tail -3 "$scratch/out")" >&2; exit 1; }
    echo "$times" | awk '{ print $1, $2 + $3 }'
}

python=$(timed "$root/tests/controllers/python/tGestionBarriere.py")
plugin=$(timed "$reference")
printf 'bench_python: %d turns of mixed traffic\n' "$turns"
rate() {
    echo "$1" | awk -v n="$turns" '{ printf "%.0f turns per second (%.1f s), %.0f per CPU second (%.2f s)", n / $1, $1, n / $2, $2 }'
}
echo "Python controller, out of process: $(rate "$python")"
echo "reference plug-in, in process:     $(rate "$plugin")"
