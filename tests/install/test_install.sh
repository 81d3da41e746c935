#!/usr/bin/env bash
# test_install.sh BUILD SOURCE: installs the build into a scratch prefix, then runs the menu entry's
# command as a user with no working folder yet, twice.
set -euo pipefail
build="$1" source="$2"
scratch="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
entry="$scratch/prefix/share/applications/borne.desktop"
command="$(sed -n 's/^Exec=//p' "$entry")"
[ -x "$scratch/prefix/bin/$command" ] || fail "the menu entry runs '$command', which is not installed"
# Every mode: a folder of examples/ with its settings (the controller's starting point is not one).
for settings in "$source"/examples/*/Config.cfg; do
    mode="$(dirname "$settings")"
    cmp -s "$mode/Config.cfg" "$scratch/prefix/share/borne/examples/$(basename "$mode")/Config.cfg" ||
        fail "example $(basename "$mode") not installed"
done

# Runs the menu's command until the terminal's journal in $folder holds more than $1 lines, then ends it.
lines() { [ -f "$folder/Log.txt" ] && wc -l <"$folder/Log.txt" || echo 0; }
run() {
    env -i HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" QT_QPA_PLATFORM=offscreen \
        PATH=/usr/bin:/bin "$scratch/prefix/bin/$command" &
    pid=$!
    for _ in $(seq 300); do
        [ "$(lines)" -gt "$1" ] && break
        kill -0 "$pid" 2>/dev/null || fail "the terminal ended before writing its journal"
        sleep 0.1
    done
    [ "$(lines)" -gt "$1" ] || fail "no new journal line in $folder"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    pid=""
}
folder="$scratch/data/borne/supervised"
run 0
cmp -s "$folder/Config.cfg" "$source/examples/supervised/Config.cfg" || fail "settings not taken from the example"
grep -aq "ETAT_VEHICULE_ABSENT" "$folder/Log.txt" || fail "the terminal did not start supervised"

# The second time the folder keeps what the user made of it, and its journal grows there.
echo "# kept" >>"$folder/Config.cfg"
run "$(lines)"
grep -q "# kept" "$folder/Config.cfg" || fail "the user's settings were overwritten"
echo "1 passed, 0 failed"
