#!/usr/bin/env bash
# Opens the terminal's window with the example settings of one mode.
# Usage: ./run.sh [MODE [OPTION...]]   MODE: a folder of examples/ (default: supervised); the options
# go to the program (--speed F, --paused, --bench, --zoom F; see docs/classroom.md).
# Installs what is missing, builds the program, and runs it in run/MODE/, a working folder made from
# examples/MODE/ the first time (Log.txt there grows from one run to the next).
# BORNE_RECORD=DIR ./run.sh MODE records the session into DIR, taken from where the script was started.
set -euo pipefail
# The program runs in run/MODE/: a recording folder given relative to the caller's folder stays there.
if [ -n "${BORNE_RECORD:-}" ]; then
    BORNE_RECORD="$(realpath -m -- "$BORNE_RECORD")"
    export BORNE_RECORD
fi
cd "$(dirname "$0")"

modes=()
# A mode is a folder of examples/ with its settings (examples/controller is a controller's source).
for settings in examples/*/Config.cfg; do modes+=("$(basename "$(dirname "$settings")")"); done
mode="${1:-supervised}"
if [ ! -f "examples/$mode/Config.cfg" ] || [ -z "$mode" ] || [[ "$mode" == */* ]]; then
    echo "Unknown mode '$mode'. Modes: ${modes[*]}" >&2
    exit 2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    cat >&2 <<'END'
No display: the terminal is a window and needs a graphical session.
Run it from a desktop session, through ssh -X (or -Y), or on a virtual display:
    xvfb-run ./run.sh        (Debian package xvfb)
END
    exit 1
fi

source tools/packages.sh
tools/install-packages.sh "${BUILD_PACKAGES[@]}" "${WINDOW_PACKAGES[@]}"
if [ ! -f build/build.ninja ]; then
    cmake --preset dev >/dev/null
fi
cmake --build build --target borne borne-scenario borne-log

work="run/$mode"
mkdir -p "$work"
# The settings come from the example each time they are missing; an existing folder keeps its own.
for file in "examples/$mode"/*; do
    [ -e "$work/$(basename "$file")" ] || cp "$file" "$work/"
done
cd "$work"
exec ../../build/app/borne "${@:2}"
