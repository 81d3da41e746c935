#!/usr/bin/env bash
# A controller's faults fail only the run they happen in, said in one line, and nothing it prints mixes
# into the runner's lines: single scripts from the table faults/single.table, then one suite whose
# folders (faults/*.scn, each with the same settings) meet a different fault each, or none.
#
#   faults.sh <borne-scenario> <folder of the plug-ins> <work folder> <folder with Config.cfg and CHIP.INI>
set -u
runner=$1 plugins=$2 work=$3 settings=$4
here=$(cd "$(dirname "$0")/faults" && pwd)
rm -rf "$work" && mkdir -p "$work/tmp" && cd "$work" || exit 2
export TMPDIR=$work/tmp
cp "$settings"/Config.cfg "$settings"/CHIP.INI "$here"/*.scn .
faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}
plugin() { [ -e "$plugins/$1.so" ] && echo "$plugins/$1.so" || echo "$plugins/faulty/$1.so"; }
trim() { sed 's/^ *//; s/ *$//' <<<"$1"; }
# The file holds exactly LINE, or nothing when LINE is "-".
holds() { if [ "$2" = - ]; then [ ! -s "$1" ]; else [ "$(cat "$1")" = "$2" ] && [ "$(wc -l <"$1")" = 1 ]; fi; }

while IFS='|' read -r controller script options status error output; do
    controller=$(trim "$controller") script=$(trim "$script") status=$(trim "$status")
    error=$(trim "$error") output=$(trim "$output")
    rm -f Log.txt
    # shellcheck disable=SC2086 # options are words
    "$runner" $options --controller "$(plugin "$controller")" "$script" >out 2>err
    rc=$?
    what="$controller on $script"
    [ "$rc" = "$status" ] || fault "$what: exit status $rc, expected $status"
    holds err "$error" || fault "$what: standard error:"$'\n'"$(cat err)"$'\n'"expected: $error"
    holds out "$output" || fault "$what: standard output:"$'\n'"$(cat out)"$'\n'"expected: $output"
    # However the run ended, the journal holds whole lines.
    [ ! -s Log.txt ] || [ "$(tail -c 1 Log.txt | od -An -c | tr -d ' ')" = '\n' ] ||
        fault "$what: Log.txt ends in the middle of a line"
done < <(grep -v '^#' "$here/single.table")

for script in "$here"/*.scn; do
    folder=suite/$(basename "$script" .scn)
    mkdir -p "$folder" && cp Config.cfg CHIP.INI "$folder/" && cp "$script" "$folder/scenario.scn"
done
"$runner" --suite --timeout 1 --controller "$(plugin one-fault-per-state)" suite >out 2>err
rc=$?
[ "$rc" = 1 ] || fault "suite: exit status $rc, expected 1"
diff "$here/suite.out" out || fault "suite: the lines above differ from faults/suite.out"
[ ! -s err ] || fault "suite: standard error:"$'\n'"$(cat err)"
[ -z "$(ls -A tmp)" ] || fault "suite: left in the scratch place: $(ls -A tmp)"

[ "$faults" = 0 ] && echo "all as expected" || echo "$faults faults"
[ "$faults" = 0 ]
