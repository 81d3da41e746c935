#!/usr/bin/env bash
# Runs the examples of a README in a scratch folder holding the settings of one mode, in the order a
# reader meets them, and fails on the first one whose output is not what the README shows.
#
#   run-examples.sh README SETTINGS SCRATCH BINDIR...
#
# A fenced block after "<!-- file: NAME -->" is saved as NAME in the scratch folder. A fenced block after
# "<!-- session -->" is a terminal session: each "$ COMMAND" line is run there by bash (standard error
# merged into standard output, the exit status kept for the next command's $?), and the lines after it
# are what it must print. The lines after "<!-- output: COMMAND -->", up to the next blank line (a table
# shown as Markdown, not fenced), must be what COMMAND prints there.
set -euo pipefail
readme=$1 settings=$2 scratch=$3
shift 3
for bin in "$@"; do PATH="$(cd "$bin" && pwd):$PATH"; done
export PATH LC_ALL=C

rm -rf "$scratch"
mkdir -p "$scratch"
cp "$settings"/* "$scratch"/

files=0 sessions=0 failed=0
mode= name=
block=()
# Ends a fenced block: saves the file, or runs the session and compares.
close_block() {
    if [ "$mode" = file ]; then
        printf '%s\n' "${block[@]}" >"$scratch/$name"
        files=$((files + 1))
    elif [ "$mode" = session ]; then
        sessions=$((sessions + 1))
        local script="$scratch/.session-$sessions.sh" expected="$scratch/.session-$sessions.expected"
        : >"$script"
        printf '%s\n' "${block[@]}" >"$expected"
        for line in "${block[@]}"; do
            [[ "$line" == '$ '* ]] || continue
            # Shows the command as a terminal would, then runs it with the status of the one before.
            printf 'printf "%%s\\n" %q\n(exit ${status:-0})\n%s\nstatus=$?\n' "$line" "${line#\$ }" >>"$script"
        done
        if ! (cd "$scratch" && bash "$script") >"$scratch/.session-$sessions.actual" 2>&1 ||
            ! diff -u "$expected" "$scratch/.session-$sessions.actual"; then
            echo "README session $sessions (ending at line $lineno) differs from the programs' output" >&2
            failed=1
        fi
    elif [ "$mode" = output ]; then
        sessions=$((sessions + 1))
        printf '%s\n' "${block[@]}" >"$scratch/.output-$sessions.expected"
        if ! (cd "$scratch" && bash -c "$name") >"$scratch/.output-$sessions.actual" 2>&1 ||
            ! diff -u "$scratch/.output-$sessions.expected" "$scratch/.output-$sessions.actual"; then
            echo "README output of '$name' (ending at line $lineno) differs from what it prints" >&2
            failed=1
        fi
    fi
    mode= name=
    block=()
}

lineno=0 next= inside=0
while IFS= read -r line || [ -n "$line" ]; do
    lineno=$((lineno + 1))
    if [ "$mode" = output ]; then
        if [ -z "$line" ]; then
            close_block
        else
            block+=("$line")
        fi
    elif [ $inside = 1 ]; then
        if [[ "$line" == '```' ]]; then
            inside=0
            close_block
        else
            block+=("$line")
        fi
    elif [[ "$line" =~ ^'<!-- file: '([A-Za-z0-9._-]+)' -->'$ ]]; then
        next=file name=${BASH_REMATCH[1]}
    elif [[ "$line" == '<!-- session -->' ]]; then
        next=session
    elif [[ "$line" =~ ^'<!-- output: '(.+)' -->'$ ]]; then
        mode=output name=${BASH_REMATCH[1]}
    elif [[ "$line" == '```'* ]]; then
        inside=1 mode=$next next=
    fi
done <"$readme"
[ "$mode" = output ] && close_block

if [ $files = 0 ] || [ $sessions = 0 ]; then
    echo "no example found in $readme ($files files, $sessions sessions)" >&2
    exit 1
fi
echo "$files files, $sessions sessions"
exit $failed
