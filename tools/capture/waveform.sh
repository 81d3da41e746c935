#!/usr/bin/env bash
# Re-makes docs/waveform.png, the picture of one entry as a waveform in docs/scripts.md: borne-scenario
# --vcd on a car let in by the attendant, shown by GTKWave on a virtual display and grabbed.
# Needs (Debian): gtkwave xvfb x11-apps netpbm; nothing in the build or CI uses them.
# Usage: tools/capture/waveform.sh   (builds borne-scenario if needed)
set -euo pipefail
racine="$(cd "$(dirname "$0")/../.." && pwd)"
construction="${BORNE_BUILD:-$racine/build}"
for outil in gtkwave Xvfb xwd xwdtopnm pnmtopng; do
    command -v "$outil" >/dev/null || {
        echo "$outil is missing: apt-get install gtkwave xvfb x11-apps netpbm" >&2
        exit 1
    }
done
[ -f "$construction/build.ninja" ] || cmake -S "$racine" --preset dev -B "$construction" >/dev/null
cmake --build "$construction" --target borne-scenario
dossier="$(mktemp -d)"
ecran=""
trap '[ -n "$ecran" ] && kill "$ecran" 2>/dev/null; rm -rf "$dossier"' EXIT
cp "$racine/examples/supervised/Config.cfg" "$racine/examples/supervised/CHIP.INI" "$dossier/"
cat >"$dossier/entry.scn" <<'SCRIPT'
tick CheckBox1
turn
tick CheckBox3
turn 3
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn 4
SCRIPT
(cd "$dossier" && "$construction/tools/scenario/borne-scenario" --vcd entry.vcd entry.scn >/dev/null)
cat >"$dossier/show.tcl" <<'TCL'
gtkwave::addSignalsFromList [list borne.CheckBox1.Checked borne.CheckBox2.Checked \
    borne.tGestionBarriere.etat borne.Evenement.Text borne.Edit1.Text borne.Edit2.Text \
    borne.CheckBox5.Checked borne.CheckBox4.Checked borne.Shape1.Brush_Color borne.Shape2.Brush_Color \
    borne.Moteur.Text borne.Shape3.Brush_Color borne.PlaceRestantes.Text]
gtkwave::/Time/Zoom/Zoom_Full
TCL
numero=$((90 + RANDOM % 100))
Xvfb ":$numero" -screen 0 1600x430x24 >/dev/null 2>&1 &
ecran=$!
sleep 1
cd "$dossier" # the window's title names the file as given
DISPLAY=":$numero" gtkwave --rcvar 'hier_max_level 2' --rcvar 'hide_sst 1' --rcvar 'initial_window_x 1600' \
    --rcvar 'initial_window_y 430' --script show.tcl entry.vcd >/dev/null 2>&1 &
vue=$!
sleep 6
mkdir -p "$racine/docs"
DISPLAY=":$numero" xwd -root -silent | xwdtopnm 2>/dev/null | pnmtopng >"$racine/docs/waveform.png"
kill "$vue" 2>/dev/null || true
echo "$racine/docs/waveform.png"
