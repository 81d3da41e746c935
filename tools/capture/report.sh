#!/usr/bin/env bash
# Re-makes the pictures of the report pages in docs/grading.md: docs/report-class.png (a small class's
# page: tests/grading's lab and submissions, graded) and docs/report-compare.png (a controller with a
# wrong display text compared with the terminal's own: its first difference in time), each taken in a
# headless Chromium (chromium-headless-shell) from the page opened from disk.
# Usage: tools/capture/report.sh   (builds borne-scenario and the controllers if needed)
set -euo pipefail
racine="$(cd "$(dirname "$0")/../.." && pwd)"
construction="${BORNE_BUILD:-$racine/build}"
command -v chromium-headless-shell >/dev/null || {
    echo "chromium-headless-shell is missing: apt-get install chromium-headless-shell" >&2
    exit 1
}
[ -f "$construction/build.ninja" ] || cmake -S "$racine" --preset dev -B "$construction" >/dev/null
cmake --build "$construction" --target borne-scenario reference wrong-display-text
dossier="$(mktemp -d)"
trap 'rm -rf "$dossier"' EXIT
scenario="$construction/tools/scenario/borne-scenario"
(cd "$dossier" && "$scenario" --grade "$racine/tests/grading/lab" "$racine/tests/grading/submissions" \
    --report class >/dev/null) || true
(cd "$dossier" && "$scenario" --suite "$racine/tests/controllers/class/lab" --compare --controllers \
    "$construction/tests/controllers/reference.so" \
    "$construction/tests/controllers/faulty/wrong-display-text.so" --report compare >/dev/null) || true
photo() { # OUT URL WIDTH HEIGHT
    chromium-headless-shell --headless --no-sandbox --disable-gpu --hide-scrollbars \
        --user-data-dir="$dossier/profile" --window-size="$3,$4" --screenshot="$1" "$2" 2>/dev/null
    echo "$1"
}
photo "$racine/docs/report-class.png" "file://$dossier/class/index.html" 1100 900
# The controller's entry-by-code, first parted from the terminal at turn 6.
photo "$racine/docs/report-compare.png" "file://$dossier/compare/index.html#pair/0/0" 1250 1300
