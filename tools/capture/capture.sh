#!/usr/bin/env bash
# Re-makes docs/window.png: the window in the supervised mode after a few turns of the terminal.
# Usage: tools/capture/capture.sh [MODE] [OUT.png]
set -euo pipefail
racine="$(cd "$(dirname "$0")/../.." && pwd)"
mode="${1:-supervised}"
sortie="$(realpath -m "${2:-$racine/docs/window.png}")"
construction="${BORNE_BUILD:-$racine/build}" # another build folder may be named in BORNE_BUILD
[ -f "$construction/build.ninja" ] || cmake -S "$racine" -B "$construction" -G Ninja >/dev/null
cmake --build "$construction" --target borne-capture
dossier="$(mktemp -d)"
trap 'rm -rf "$dossier"' EXIT
cp -r "$racine/examples/$mode/." "$dossier/"
mkdir -p "$(dirname "$sortie")"
(cd "$dossier" && QT_QPA_PLATFORM=offscreen "$construction/tools/capture/borne-capture" "$sortie")
echo "$sortie"
