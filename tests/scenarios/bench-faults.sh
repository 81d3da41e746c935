#!/usr/bin/env bash
# What a suite does with links out of its folders, files too big to copy, outputs over its inputs, a
# scratch place inside it, a full disk and the signals that stop it; and that nothing is left behind.
#
#   bench-faults.sh <borne-scenario> <work folder> <folder with Config.cfg and CHIP.INI>
set -u
runner=$1 work=$2 settings=$3
rm -rf "$work" && mkdir -p "$work/tmp" && cd "$work" || exit 2
export TMPDIR=$work/tmp
faults=0
fault() {
    echo "FAULT: $*"
    faults=$((faults + 1))
}
scenario() { # FOLDER [SCRIPT]
    mkdir -p "$1" && cp "$settings/Config.cfg" "$settings/CHIP.INI" "$1/" && printf '%s\n' "${2:-turn}" >"$1/scenario.scn"
}
# expect WHAT STATUS PATTERN...: the last run's status, and a line of its outputs for each pattern.
expect() {
    local what=$1 status=$2
    shift 2
    [ "$rc" = "$status" ] || fault "$what: exit status $rc, expected $status"
    for p in "$@"; do
        cat out err | grep -qE -- "$p" || fault "$what: no line matches '$p' in:"$'\n'"$(cat out err)"
    done
}
# Nothing in the scratch place, and no process still working there.
clean() {
    [ -z "$(ls -A tmp)" ] || fault "$1: left in the scratch place: $(ls -A tmp)"
    local still
    still=$(find /proc/[0-9]*/cwd -maxdepth 0 -lname "$work/tmp/*" 2>/dev/null)
    [ -z "$still" ] || fault "$1: still working in the scratch place: $still"
}

# Links out of a scenario folder, a sparse file past the size limit, settings linked from elsewhere.
mkdir -p elsewhere/docs && echo text >elsewhere/docs/a && cp "$settings/Config.cfg" elsewhere/settings.cfg
scenario s/link-to-a-folder-elsewhere && ln -s "$work/elsewhere/docs" s/link-to-a-folder-elsewhere/docs
scenario s/link-up && ln -s .. s/link-up/up
scenario s/settings-elsewhere && ln -sf "$work/elsewhere/settings.cfg" s/settings-elsewhere/Config.cfg
scenario s/sparse && truncate -s 100M s/sparse/big
scenario s/sparse-expected && mkdir s/sparse-expected/expected && truncate -s 100M s/sparse-expected/expected/Log.txt
scenario elsewhere/found-through-a-link && ln -s "$work/elsewhere" s/search-link
"$runner" --suite s >out 2>err
rc=$?
expect "links" 1 '^FAIL link-to-a-folder-elsewhere: .*/docs is a link out of the scenario folder \(to .*/elsewhere/docs\)' \
    '^FAIL link-up: .*/up is a link out of the scenario folder' '^PASS settings-elsewhere$' \
    '^FAIL sparse: the scenario folder .*/sparse holds more than 64 MiB, the most a run copies$' \
    '^FAIL sparse-expected: cannot read .*/expected/Log.txt: larger than 64 MiB, the limit for an expected journal$' '^scenarios: 1 passed, 4 failed$'
! grep -q found-through-a-link out || fault "search: followed a link to a folder outside the suite"
clean "links"

# An output over an input, a scratch place inside the suite: refused before anything is written.
scenario t/one && mkdir t/one/tmp && cp t/one/scenario.scn script.copy
"$runner" --suite --junit t/one/scenario.scn t >out 2>err
rc=$?
expect "junit over a script" 2 '^borne-scenario: --junit t/one/scenario.scn would write .* in the scenario folder .*/t/one'
cmp -s t/one/scenario.scn script.copy || fault "junit over a script: the script was written"
TMPDIR=$work/t/one/tmp "$runner" --suite t >out 2>err
rc=$?
expect "scratch inside" 2 "^borne-scenario: the scratch place $work/t/one/tmp is inside t: set TMPDIR"
[ -z "$(ls -A t/one/tmp)" ] || fault "scratch inside: something was written in it"

# A scratch place without room (a file-size limit of 1 KiB): the bench's error, not a difference.
scenario f/earlier-journal-fills-the-limit && head -c 1000 /dev/zero | tr '\0' x >f/earlier-journal-fills-the-limit/Log.txt
scenario f/settings-over-the-limit && head -c 2000 /dev/zero | tr '\0' x >>f/settings-over-the-limit/CHIP.INI
(ulimit -f 1 && exec "$runner" --suite --junit f.xml f >out 2>err)
rc=$?
expect "full scratch" 2 '^ERROR earlier-journal-fills-the-limit: cannot write .*/Log.txt: File too large$' \
    '^ERROR settings-over-the-limit: cannot write .*/CHIP.INI: File too large$' '^scenarios: 0 passed, 0 failed, 2 errors$'
grep -q '<testsuite .*failures="0" errors="2"' f.xml && [ "$(grep -c '<error message="cannot write' f.xml)" = 2 ] ||
    fault "full scratch: the report has no errors: $(cat f.xml)"
clean "full scratch"

# --generate on a full disk: the reason, status 1, nothing half-written left.
mkdir g && cp "$settings/Config.cfg" "$settings/CHIP.INI" g/
(cd g && ulimit -f 1 && exec "$runner" --generate ../generated --within 3 >../out 2>../err)
rc=$?
expect "generate" 1 "cannot write .*/generated/scenario-01/scenario.scn: File too large; the scenario folders written in ../generated are removed$"
[ ! -e generated ] || fault "generate: left $(find generated)"

# Signals: the workers stop, the scratch goes, the previous report stays as it was.
scenario z/a && for n in b c d; do scenario z/$n 'turn 100000000'; done
stop() { # SIGNAL EXPECTED-STATUS
    echo previous >report.xml
    rm -f out err # the output of the run before must not pass for this one's
    env --default-signal="$1" "$runner" --suite --jobs 2 --timeout 30 --junit report.xml z >out 2>err &
    local pid=$! i
    for ((i = 0; i < 300; i++)); do grep -q '^PASS a' out && break || sleep 0.1; done
    kill -s "$1" $pid
    wait $pid
    rc=$?
    expect "$1" "$2" '^PASS a$'
    [ "$(cat report.xml)" = previous ] || fault "$1: report.xml became: $(cat report.xml)"
    clean "$1"
}
stop TERM 143
grep -q '^borne-scenario: stopped by SIGTERM after 1 of 4 scenarios; the scratch folder is removed, report.xml is left as it was$' err ||
    fault "TERM: not said: $(cat err)"
stop INT 130
# A reader that leaves: the next line written after its end stops the suite.
echo previous >report.xml
env --default-signal=PIPE "$runner" --suite --jobs 1 --timeout 1 --junit report.xml z 2>err | head -1 >out
rc=${PIPESTATUS[0]}
expect "PIPE" 141 '^PASS a$'
[ "$(cat report.xml)" = previous ] || fault "PIPE: report.xml became: $(cat report.xml)"
[ ! -s err ] || fault "PIPE: said $(cat err)"
clean "PIPE"

[ $faults = 0 ] && echo "bench faults: all as expected"
exit $((faults > 0))
