#!/usr/bin/env bash
# Runs the examples of the project's documents as a reader runs them, each document in its own scratch
# folder holding the settings of one mode, in the order the reader meets them, and fails when one prints
# something other than what its document shows.
#
#   run-examples.sh SETTINGS SCRATCH BINDIRS DOCUMENT...
#
# BINDIRS is a colon-separated list of folders put in front of PATH. A DOCUMENT that is a folder stands for
# the *.md files in it, listed when the check runs, so a new page is checked without a new configure. A
# document with no example is passed over; the check fails when no document holds one.
#
# A fenced block after "<!-- file: NAME -->" is saved as NAME in the scratch folder. A fenced block after
# "<!-- session -->" is a terminal session: each "$ COMMAND" line is run there by bash (standard error
# merged into standard output, the exit status kept for the next command's $?), and the lines after it
# are what it must print. The lines after "<!-- output: COMMAND -->", up to the next blank line (a table
# shown as Markdown, not fenced), must be what COMMAND prints there.
set -euo pipefail
settings=$1 scratch=$2 bindirs=$3
shift 3
IFS=: read -r -a dirs <<<"$bindirs"
for bin in "${dirs[@]}"; do PATH="$(cd "$bin" && pwd):$PATH"; done
export PATH LC_ALL=C

documents=()
for path in "$@"; do
    if [ -d "$path" ]; then
        for page in "$path"/*.md; do [ -f "$page" ] && documents+=("$page"); done
    else
        documents+=("$path")
    fi
done

rm -rf "$scratch"
mkdir -p "$scratch"

doc='' here='' files=0 sessions=0 failed=0
mode='' name=''
block=()
# Ends a fenced block: saves the file, or runs the session and compares.
close_block() {
    if [ "$mode" = file ]; then
        printf '%s\n' "${block[@]}" >"$here/$name"
        files=$((files + 1))
    elif [ "$mode" = session ]; then
        sessions=$((sessions + 1))
        local script="$here/.session-$sessions.sh" expected="$here/.session-$sessions.expected"
        : >"$script"
        printf '%s\n' "${block[@]}" >"$expected"
        for line in "${block[@]}"; do
            [[ "$line" == '$ '* ]] || continue
            # Shows the command as a terminal would, then runs it with the status of the one before.
            printf 'printf "%%s\\n" %q\n(exit ${status:-0})\n%s\nstatus=$?\n' "$line" "${line#\$ }" >>"$script"
        done
        if ! (cd "$here" && bash "$script") >"$here/.session-$sessions.actual" 2>&1 ||
            ! diff -u "$expected" "$here/.session-$sessions.actual"; then
            echo "$doc:$lineno: the session ending here differs from the programs' output" >&2
            failed=1
        fi
    elif [ "$mode" = output ]; then
        sessions=$((sessions + 1))
        printf '%s\n' "${block[@]}" >"$here/.output-$sessions.expected"
        if ! (cd "$here" && bash -c "$name") >"$here/.output-$sessions.actual" 2>&1 ||
            ! diff -u "$here/.output-$sessions.expected" "$here/.output-$sessions.actual"; then
            echo "$doc:$lineno: the output of '$name' ending here differs from what it prints" >&2
            failed=1
        fi
    fi
    mode='' name=''
    block=()
}

# Runs the examples of one document in a scratch folder of its own, so no page leans on another's files.
check_document() {
    doc=$1 here="$scratch/$2"
    mkdir -p "$here"
    cp "$settings"/* "$here"/
    local lineno=0 next='' inside=0 line
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
            inside=1 mode=$next next=''
        fi
    done <"$doc"
    if [ $inside = 1 ]; then
        echo "$doc:$lineno: a fenced block is never closed" >&2
        failed=1
    fi
    [ "$mode" = output ] && close_block
    mode='' name=''
    block=()
}

index=0
for document in "${documents[@]}"; do
    index=$((index + 1))
    before=$((files + sessions))
    check_document "$document" "$index-$(basename "$document" .md)"
    [ $((files + sessions)) = "$before" ] || echo "$document: examples run: $((files + sessions - before))"
done

if [ $((files + sessions)) = 0 ]; then
    echo "no example found in ${documents[*]}" >&2
    exit 1
fi
echo "$files files, $sessions sessions"
exit $failed
