#!/usr/bin/env bash
# The commands of examples/controller/README.md, as written, from a copy of its folder: every ```sh block
# but those after "<!-- not run -->" (the window, an installed borne, the settings of BORNE themselves),
# a line at a time, with BORNE naming a checkout whose build folder is BUILD. A build command must
# succeed; a run may pass or fail (the start leaves states to write), never be refused (exit 2).
#
#   starting-point.sh SOURCE BUILD SCRATCH [LAUNCHER]
set -uo pipefail
source_dir=$1 build=$2 scratch=$3 launcher=${4:-}
rm -rf "$scratch" && mkdir -p "$scratch/borne"
# A checkout as the README means it: its tests beside its build folder.
ln -s "$build" "$scratch/borne/build"
ln -s "$source_dir/tests" "$scratch/borne/tests"
cp -R "$source_dir/examples/controller" "$scratch/controller"
rm -rf "$scratch/controller/build"
export BORNE="$scratch/borne" PATH="$scratch/borne/build/tools/scenario:$PATH"
[ -z "$launcher" ] || export CMAKE_CXX_COMPILER_LAUNCHER="$launcher"

readme="$source_dir/examples/controller/README.md"
failed=0 commands=0 lineno=0 inside=0 skip=0 run=0
while IFS= read -r line; do
    lineno=$((lineno + 1))
    if [ $inside = 0 ]; then
        [[ "$line" == '<!-- not run -->' ]] && skip=1
        if [[ "$line" == '```'* ]]; then
            inside=1 run=0
            [[ "$line" == '```sh' && $skip = 0 ]] && run=1
            skip=0
        fi
        continue
    fi
    if [[ "$line" == '```' ]]; then inside=0; continue; fi
    [[ $run = 1 && -n "$line" && "$line" != '#'* ]] || continue
    commands=$((commands + 1))
    (cd "$scratch/controller" && bash -c "$line") >"$scratch/out" 2>&1
    status=$?
    if [[ "$line" == cmake* && $status != 0 ]] || [[ $status != 0 && $status != 1 ]]; then
        cat "$scratch/out" >&2
        echo "$readme:$lineno: exit $status: $line" >&2
        failed=1
    fi
done <"$readme"
[ "$commands" -gt 0 ] || { echo "$readme: no command run" >&2; exit 1; }
echo "$commands commands run"
exit $failed
