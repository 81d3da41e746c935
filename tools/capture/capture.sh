#!/usr/bin/env bash
# Re-makes the screenshots of the README: docs/window.png (the supervised terminal, idle) and
# docs/entry.png (a car entering: the attendant let it in and it stands on both loops, boom up).
# Usage: tools/capture/capture.sh   (builds borne-capture if needed; runs offscreen, no display needed)
set -euo pipefail
racine="$(cd "$(dirname "$0")/../.." && pwd)"
construction="${BORNE_BUILD:-$racine/build}" # another build folder may be named in BORNE_BUILD
[ -f "$construction/build.ninja" ] || cmake -S "$racine" -B "$construction" -G Ninja >/dev/null
cmake --build "$construction" --target borne-capture
dossier="$(mktemp -d)"
trap 'rm -rf "$dossier"' EXIT
mkdir -p "$racine/docs"
capturer() { # OUT DELAY [entry]
    rm -rf "${dossier:?}"/* && cp -r "$racine/examples/supervised/." "$dossier/"
    (cd "$dossier" && QT_QPA_PLATFORM=offscreen "$construction/tools/capture/borne-capture" "$@")
    echo "$1"
}
capturer "$racine/docs/window.png" 1600
capturer "$racine/docs/entry.png" 6400 entry
