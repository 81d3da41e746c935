#!/usr/bin/env bash
# Re-makes the screenshots of the README: docs/window.png (the supervised terminal, idle) and
# docs/entry.png (a car entering: the attendant let it in and it stands on both loops, boom up); and of
# docs/classroom.md: docs/bench.png (a car entering, the bench window beside the panel) and
# docs/zoom2.png (the panel at twice its size, for a projector).
# Usage: tools/capture/capture.sh   (builds borne-capture if needed; runs offscreen, no display needed)
set -euo pipefail
racine="$(cd "$(dirname "$0")/../.." && pwd)"
construction="${BORNE_BUILD:-$racine/build}" # another build folder may be named in BORNE_BUILD
[ -f "$construction/build.ninja" ] || cmake -S "$racine" --preset dev -B "$construction" >/dev/null
cmake --build "$construction" --target borne-capture
dossier="$(mktemp -d)"
trap 'rm -rf "$dossier"' EXIT
mkdir -p "$racine/docs"
capturer() { # [OPTIONS] OUT DELAY [entry]
    rm -rf "${dossier:?}"/* && cp -r "$racine/examples/supervised/." "$dossier/"
    (cd "$dossier" && QT_QPA_PLATFORM=offscreen "$construction/tools/capture/borne-capture" "$@")
    for a in "$@"; do if [[ "$a" == *.png ]]; then echo "$a"; fi; done
}
capturer "$racine/docs/window.png" 1600
capturer "$racine/docs/entry.png" 6400 entry
capturer --bench "$racine/docs/bench.png" 6400 entry
capturer --zoom 2 "$racine/docs/zoom2.png" 1600
