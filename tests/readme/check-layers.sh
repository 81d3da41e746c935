#!/usr/bin/env bash
# Holds the table of libraries in the architecture page against what CMake builds, so the page cannot
# keep an arrow the build dropped or miss a library it gained.
#
#   check-layers.sh PAGE LINKS GUI
#
# PAGE's rows "| `borne_x` | folder | `borne_y`, `borne_z` |" give each library and the project libraries
# it links directly; LINKS holds the same as CMake declares it, one "borne_x: borne_y borne_z" a line.
# GUI is the build's BORNE_GUI: without the window, rows of libraries that are not built are passed over.
set -euo pipefail
page=$1 links=$2 gui=$3
case "$gui" in ON | on | 1 | TRUE | true | YES | yes) gui=1 ;; *) gui=0 ;; esac

awk -v page="$page" -v gui="$gui" '
    # The project libraries named in a text, sorted, one space apart.
    function libraries(text,    found, n, i, j, t) {
        n = 0
        while (match(text, /borne_[a-z_]+/)) {
            found[++n] = substr(text, RSTART, RLENGTH)
            text = substr(text, RSTART + RLENGTH)
        }
        for (i = 2; i <= n; i++)
            for (j = i; j > 1 && found[j - 1] > found[j]; j--) {
                t = found[j]; found[j] = found[j - 1]; found[j - 1] = t
            }
        t = ""
        for (i = 1; i <= n; i++) t = t (i > 1 ? " " : "") found[i]
        return t
    }
    FNR == NR {
        if ($0 ~ /^\| `borne_[a-z_]+` \|/) {
            split($0, cell, "|")
            name = libraries(cell[2])
            documented[name] = libraries(cell[4])
        }
        next
    }
    {
        name = substr($0, 1, index($0, ":") - 1)
        uses = libraries(substr($0, index($0, ":") + 1))
        built[name] = 1
        count++
        if (!(name in documented)) {
            printf "%s: the library %s (linking: %s) has no row\n", page, name, uses == "" ? "nothing" : uses > "/dev/stderr"
            failed = 1
        } else if (documented[name] != uses) {
            printf "%s: %s links %s, the page says %s\n", page, name, uses == "" ? "nothing" : uses,
                   documented[name] == "" ? "nothing" : documented[name] > "/dev/stderr"
            failed = 1
        }
    }
    END {
        for (name in documented)
            if (!(name in built) && gui) {
                printf "%s: %s has a row but is no library of the build\n", page, name > "/dev/stderr"
                failed = 1
            }
        if (count == 0) { print "no library listed by the build" > "/dev/stderr"; exit 1 }
        if (!failed) printf "%d libraries, each linking what %s says\n", count, page
        exit failed
    }
' "$page" "$links"
