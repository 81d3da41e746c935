#!/usr/bin/env bash
# A machine that cannot make a sandbox: a class is refused, naming why, unless --no-sandbox; then the
# summary, the grades (a column) and the JUnit report (a property) all say that it ran without one.
# usage: no-sandbox.sh BORNE_SCENARIO REFERENCE_SO LAB WORK
set -u
runner=$1 reference=$2 lab=$3 work=$4
fail() { echo "FAILED: $*"; exit 1; }
rm -rf "$work" && mkdir -p "$work/lab" && cd "$work" || exit 1
cp -R "$lab/entry-by-code" lab/
export BORNE_BUBBLEWRAP=/nonexistent/bwrap

"$runner" --suite lab --controllers "$reference" --grades g.csv > out 2> err
[ $? = 2 ] || fail "refused: status $?"
[ "$(cat err)" = "borne-scenario: --controllers: cannot make a sandbox here: /nonexistent/bwrap is missing (Debian's bubblewrap) (--no-sandbox runs the class without one, with your rights)" ] ||
    fail "refused: $(cat err)"
[ ! -s out ] && [ ! -e g.csv ] || fail "refused, yet it wrote: $(cat out)"

"$runner" --suite lab --controllers "$reference" --grades g.csv --junit j.xml --no-sandbox > out 2> err
[ $? = 0 ] || fail "--no-sandbox: status $? $(cat err)"
grep -qx "not sandboxed: the controllers ran with the bench's rights (--no-sandbox)" out || fail "summary: $(cat out)"
[ "$(head -1 g.csv | tr -d '\r')" = "controller,folder,result,first failure,sandboxed" ] || fail "csv: $(cat g.csv)"
[ "$(sed -n 2p g.csv | tr -d '\r')" = "reference.so,entry-by-code,PASS,,no" ] || fail "csv: $(cat g.csv)"
grep -q '<property name="sandboxed" value="no"/>' j.xml || fail "junit: $(cat j.xml)"

# One's own controller asked for in a sandbox is refused the same way.
"$runner" --controller "$reference" --sandbox lab/entry-by-code/scenario.scn > out 2> err
[ $? = 2 ] && grep -qF -- "--sandbox: cannot make a sandbox here: /nonexistent/bwrap is missing" err || fail "--sandbox: $(cat err)"
echo "no sandbox: 1 passed, 0 failed"
