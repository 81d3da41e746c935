#!/usr/bin/env bash
# Controllers in Python on the bench, run out of process through the protocol:
#   journeys.sh RUNNER REFERENCE_PLUGIN WORK
# the terminal's controller in Python (tGestionBarriere.py) passes every journey, alone and in a class;
# --compare finds no difference from the terminal's own on the journeys and the timing folders; the rows
# it tells give the coverage the terminal's source built as a plug-in gives; its working values make the
# search find what it finds on the terminal's own; the Python starting point passes its lab.
set -u
runner=$1 reference=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
scenarios=$root/tests/scenarios
python=$here/tGestionBarriere.py
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAILED: $*"; exit 1; }
# A suite that passed: exit 0, every folder PASS, nothing on standard error.
passed() { [ "$1" = 0 ] && ! grep -qv '^PASS \|^scenarios: ' "$work/out" && [ ! -s "$work/err" ]; }

journeys=$(ls -d "$scenarios"/journeys/*/ | wc -l)
"$runner" --suite --controller "$python" "$scenarios/journeys" > "$work/out" 2> "$work/err"
passed $? || fail "journeys: $(cat "$work/out" "$work/err")"
[ "$(grep -c '^PASS ' "$work/out")" = "$journeys" ] || fail "journeys: $(cat "$work/out")"

# In a class, each controller in a sandbox of its own where the machine can make one, beside the
# terminal's source built as a plug-in.
"$runner" --suite "$scenarios/journeys" --controllers "$python" "$reference" > "$work/out" 2> "$work/err"
[ $? = 0 ] && grep -qx "tGestionBarriere.py: $journeys passed, 0 failed" "$work/out" &&
    grep -qx "$(basename "$reference"): $journeys passed, 0 failed" "$work/out" ||
    fail "class: $(cat "$work/out" "$work/err")"

# The timing folders read the state in the middle of turns (alarm-lowering, during a boom movement).
"$runner" --compare --controller "$python" --suite "$scenarios/journeys" "$scenarios/timing" \
    > "$work/out" 2> "$work/err"
passed $? || fail "compare: $(cat "$work/out" "$work/err")"

for who in python reference; do
    controller=$python
    [ "$who" = reference ] && controller=$reference
    "$runner" --suite --coverage "$work/$who" --controller "$controller" "$scenarios/journeys" \
        "$scenarios/timing" > "$work/out" 2> "$work/err"
    [ $? = 0 ] && [ ! -s "$work/err" ] || fail "coverage, $who: $(cat "$work/out" "$work/err")"
done
cmp -s "$work/python/coverage.json" "$work/reference/coverage.json" ||
    fail "coverage differs: $(diff "$work/reference/coverage.txt" "$work/python/coverage.txt" | head -20)"

# Its working values, given and taken back by the search: the shortest way to three tries, as the
# terminal's own finds it.
cp "$root/examples/supervised/Config.cfg" "$root/examples/supervised/CHIP.INI" "$work"
(cd "$work" && "$runner" --reach 2.2 > reach.terminal && "$runner" --controller "$python" --reach 2.2 > reach.python) \
    2> "$work/err" || fail "reach: $(cat "$work/err")"
cmp -s "$work/reach.terminal" "$work/reach.python" || fail "reach: $(diff "$work/reach.terminal" "$work/reach.python")"

"$runner" --suite --controller "$root/examples/controller-python/MonControleur.py" \
    "$root/examples/controller/lab" > "$work/out" 2> "$work/err"
passed $? || fail "starting point, lab: $(cat "$work/out" "$work/err")"
exit 0
