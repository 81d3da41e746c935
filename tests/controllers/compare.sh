#!/usr/bin/env bash
# --compare, transcript style.
#   compare.sh RUNNER CONTROLLERS WORK journeys NAME   the first failing line of each journey folder that
#       `--compare --controller NAME.so --suite` fails (or "not caught") against faulty/NAME.caught
#   compare.sh RUNNER CONTROLLERS WORK script          one script: the difference said, the exit status,
#       the working folder left alone; the reference agrees with the terminal's own; --compare refused
#       without a controller
set -u
runner=$1 controllers=$2 work=$3 what=$4
here=$(cd "$(dirname "$0")" && pwd)
scenarios=$here/../scenarios
rm -rf "$work" && mkdir -p "$work"
fail() { echo "FAILED: $*"; exit 1; }

if [ "$what" = journeys ]; then
    name=$5
    "$runner" --compare --controller "$controllers/faulty/$name.so" --suite "$scenarios/journeys" \
        > "$work/out" 2> "$work/err"
    rc=$?
    grep -E '^(FAIL|ERROR) ' "$work/out" > "$work/caught"
    [ -s "$work/caught" ] || echo "not caught" > "$work/caught"
    diff -u "$here/faulty/$name.caught" "$work/caught" || fail "$name: not the expected first differences"
    if grep -q '^not caught' "$work/caught"; then want=0; else want=1; fi
    [ "$rc" = "$want" ] || fail "$name: exit $rc, expected $want"
    [ ! -s "$work/err" ] || fail "$name: standard error: $(cat "$work/err")"
    exit 0
fi

# One script, run from a folder holding its settings: the first difference on standard error, prefixed
# by the script's name, exit 1; the folder itself is not written (each run works in a copy).
cp "$scenarios/journeys/entry-by-code/Config.cfg" "$scenarios/journeys/entry-by-code/CHIP.INI" "$work"
cp "$scenarios/journeys/entry-by-code/scenario.scn" "$work/entry.scn"
cd "$work" || exit 1
"$runner" --compare --controller "$controllers/faulty/code-shown-in-clear.so" --turns turns.tsv entry.scn \
    > out 2> err
rc=$?
[ "$rc" = 1 ] || fail "script: exit $rc, expected 1"
want='entry.scn: turn 4 at 1500 ms: Edit2.Text: terminal "code : *", controller "code : 6"'
[ "$(grep -c '' err)" -ge 1 ] && grep -qxF "$want" err || fail "script: no line '$want' in: $(cat err)"
# One numbering: the turn the comparison names is the one --turns numbers so.
grep -q "^4	1500	" turns.tsv || fail "script: --turns numbers the turn at 1500 ms otherwise: $(cat turns.tsv)"
rm -f turns.tsv

grep -qxF "compared with the terminal's own: differs" out || fail "script: stdout: $(cat out)"
# Its own expectations are still checked, on the controller compared.
grep -qE '^expectations: [0-9]+ passed, [1-9][0-9]* failed$' out || fail "script: stdout: $(cat out)"
[ ! -e Log.txt ] || fail "script: the working folder got a Log.txt"

# What decided, before the first write: the turn whose rows and state part, each side's.
cp "$scenarios/journeys/three-tries/scenario.scn" tries.scn
"$runner" --compare --controller "$controllers/faulty/third-code-checked.so" tries.scn > out 2> err
grep -v '^tries.scn:[0-9]' err > said
printf '%s\n' \
    'tries.scn: turn 19 at 9000 ms: terminal row 2.2 -> ETAT_DEFAUT, controller rows 2.3 2.7 -> ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT' \
    'tries.scn: turn 19 at 9000 ms: Evenement.Text: terminal (no write), controller "AUTORISATION_OK"' |
    diff -u - said || fail "decision: not the turn that decided, then the first write"
rm -f tries.scn said

# The controller is found from where the command was typed, also with -C.
mkdir -p plugin elsewhere && cp "$controllers/faulty/code-shown-in-clear.so" plugin/
(cd elsewhere && "$runner" -C "$work" --compare --controller ../plugin/code-shown-in-clear.so entry.scn) \
    > out 2> err
[ $? = 1 ] && grep -qxF "$want" err || fail "-C from another folder: $(cat out err)"

# The terminal's source built as a plug-in: no difference, on every folder of the project.
"$runner" --compare --controller "$controllers/reference.so" entry.scn > out 2> err
[ $? = 0 ] && grep -qxF "compared with the terminal's own: no difference" out && [ ! -s err ] ||
    fail "reference, script: $(cat out err)"
"$runner" --compare --controller "$controllers/reference.so" --suite "$scenarios/journeys" "$scenarios/timing" \
    > out 2> err
[ $? = 0 ] && ! grep -qv '^PASS \|^scenarios: ' out || fail "reference, suite: $(cat out err)"

# A folder's line and its JUnit failure carry the first difference.
"$runner" --compare --controller "$controllers/faulty/wrong-display-text.so" --junit report.xml \
    --suite "$scenarios/journeys/entry-by-code" > out 2> err
[ $? = 1 ] || fail "junit: exit status"
grep -qF 'FAIL entry-by-code: scenario.scn: turn 8 at 3500 ms: Edit1.Text: ' out || fail "junit: $(cat out)"
grep -qF 'controller &quot;-  acces autorisee   -&quot;' report.xml || fail "junit: $(cat report.xml)"

# Nothing to compare with: refused before anything runs.
"$runner" --compare entry.scn > out 2> err
[ $? = 2 ] && [ "$(head -1 err)" = "borne-scenario: --compare needs --controller or --controllers" ] || fail "no controller: $(cat err)"
# No settings where the script runs: both sides would start out of service and agree. Refused.
(cd elsewhere && cp ../entry.scn . && "$runner" --compare --controller "$controllers/reference.so" entry.scn) \
    > out 2> err
[ $? = 2 ] && grep -qF -- "--compare: no readable Config.cfg in $work/elsewhere: both runs would start out of service" err &&
    [ ! -s out ] || fail "no settings: $(cat out err)"
exit 0
