#!/usr/bin/env bash
# A person whose session already runs more processes than a controller may have (a desktop has dozens):
# their class is still sandboxed, the limit counting each sandbox's processes only. Run as root, the test
# plays that person with an unprivileged user holding 40 processes.
# The person works in a folder of /tmp, which they can reach wherever the build is (a checkout under
# /root is out of their reach).
# usage: many-processes.sh BORNE_SCENARIO BORNE_HOST REFERENCE_SO LAB
set -u
runner=$1 host=$2 reference=$3 lab=$4
work="$(mktemp -d)" && chmod 755 "$work" || exit 1
trap 'rm -rf "$work"' EXIT
[ "$(id -u)" = 0 ] || { echo "needs root to play another user"; exit 77; }
fail() { echo "FAILED: $*"; exit 1; }
person=(setpriv --reuid=65533 --regid=65533 --clear-groups)
mkdir -p "$work/lab" && cp -R "$lab/entry-by-code" "$work/lab/" &&
    cp "$runner" "$host" "$reference" "$work/" && chmod -R a+rwX "$work" && cd "$work" || exit 1
sleepers=()
for _ in $(seq 40); do "${person[@]}" sleep 60 & sleepers+=($!); done
"${person[@]}" ./borne-scenario --suite lab --controllers reference.so > out 2>&1
status=$?
kill "${sleepers[@]}" 2>/dev/null
[ $status = 0 ] && grep -qx 'PASS entry-by-code' out || fail "status $status: $(cat out)"
echo "many processes: 1 passed, 0 failed"
