#!/usr/bin/env bash
# check-package.sh [--hardened] borne_VERSION_ARCH.deb: the package as a school gets it. Its fields and
# what it holds; then installed by dpkg into a throwaway root (no container, no change to this machine),
# its programs run from there (a script and its journal, --help and --version, the manual pages against
# the help, the menu entry's launcher, the starting point built against the install), and removed: the
# root must be left as it was. --hardened also checks the multiarch library folder and the hardening of
# the programs (the build of the `deb` and `release-werror` presets).
set -euo pipefail
hardened=false
if [ "${1:-}" = --hardened ]; then
    hardened=true
    shift
fi
[ $# -eq 1 ] && [ -f "$1" ] || { echo "usage: check-package.sh [--hardened] PACKAGE.deb" >&2; exit 2; }
deb="$(realpath "$1")"
source="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
pid=""
trap '[ -z "$pid" ] || kill "$pid" 2>/dev/null || true; rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
programs=(borne borne-scenario borne-log borne-start)

# The fields.
version="$(sed -n 's/^project(borne VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = borne ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version $(field Version), not project()'s $version"
[ "$(basename "$deb")" = "borne_${version}_$(field Architecture).deb" ] || fail "file named $(basename "$deb")"
[ "$(field Section)" = education ] || fail "Section is $(field Section)"
depends="$(field Depends)"
for needed in libc6 libstdc++6 libqt6widgets6 libjpeg62-turbo fonts-liberation bubblewrap; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
[[ "$(field Recommends)" == *python3* ]] || fail "Recommends lacks python3"

# What it holds.
dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$scratch/contents"
holds() { grep -qx -- "$1" "$scratch/contents" || fail "the package does not hold $1"; }
for p in "${programs[@]}"; do
    holds "/usr/bin/$p"
    holds "/usr/share/man/man1/$p.1.gz"
done
for f in applications/borne.desktop icons/hicolor/scalable/apps/borne.svg doc/borne/copyright \
    doc/borne/changelog.gz doc/borne/README.md borne/examples/supervised/Config.cfg \
    borne/controller/CMakeLists.txt borne/controller/MonControleur.cpp; do
    holds "/usr/share/$f"
done
holds /usr/include/borne/control/Controleur.h
# Under the multiarch folder when built for /usr (the presets'); a build for another prefix packaged
# (the test build's) keeps its lib/.
if $hardened; then
    holds "/usr/lib/$(gcc -print-multiarch)/cmake/borne/borneConfig.cmake"
else
    grep -q '^/usr/lib/\([^/]*/\)\?cmake/borne/borneConfig.cmake$' "$scratch/contents" || fail "no CMake package"
fi
! grep -q '^/usr/local' "$scratch/contents" || fail "files under /usr/local"

# Installed into a root of its own; what it needs is on this machine, not in that root.
root="$scratch/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() { dpkg --root="$root" --log=/dev/null --force-not-root --force-depends "$@" >"$scratch/dpkg.log" 2>&1 ||
    { cat "$scratch/dpkg.log" >&2; fail "dpkg $*"; }; }
dpkg_root --install "$deb"
bin="$root/usr/bin"

grep -q 'License: Expat' "$root/usr/share/doc/borne/copyright" || fail "the copyright file names no licence"
grep -q 'panel/images' "$root/usr/share/doc/borne/copyright" || fail "the copyright file says nothing of the pictures"
grep -q 'fonts-liberation' "$root/usr/share/doc/borne/copyright" || fail "the copyright file says nothing of fonts"
for p in borne borne-scenario borne-log; do
    sections="$(readelf -SW "$bin/$p")"
    ! grep -q '\.debug_\|\.symtab' <<<"$sections" || fail "$p is not stripped"
done
if $hardened; then
    for p in borne borne-scenario borne-log; do
        # Read whole first: grep -q leaving early would fail the pipe.
        segments="$(readelf -lW "$bin/$p")" dynamic="$(readelf -dW "$bin/$p")"
        symbols="$(readelf --dyn-syms -W "$bin/$p")" texts="$(strings "$bin/$p")"
        grep -q GNU_RELRO <<<"$segments" || fail "$p: no RELRO"
        grep -q 'BIND_NOW\|FLAGS_1.*NOW' <<<"$dynamic" || fail "$p: not linked with -z now"
        grep -q '__stack_chk_fail' <<<"$symbols" || fail "$p: no stack protector"
        # borne-log calls no function the fortify checks cover.
        [ "$p" = borne-log ] || grep -q '__[a-z]*_chk@' <<<"$symbols" || fail "$p: not fortified"
        ! grep -qF "$source" <<<"$texts" || fail "$p holds the source folder's path"
    done
fi

# The menu entry: found by "borne", what it is, its icon, a launcher that is installed.
entry="$root/usr/share/applications/borne.desktop"
for key in Name GenericName Keywords; do
    grep -q "^$key=." "$entry" || fail "the menu entry has no $key"
done
grep -qi '^\(Name\|Keywords\)=.*borne' "$entry" || fail "neither Name nor Keywords say borne"
[ -x "$bin/$(sed -n 's/^Exec=//p' "$entry")" ] || fail "the menu entry runs what is not installed"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$(sed -n 's/^Icon=//p' "$entry").svg" ] ||
    fail "the menu entry's icon is not installed"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$entry" || fail "desktop file"; fi

# --version and --help on every program, from an empty folder that they leave empty; the manual page
# names every option the help names.
mkdir "$scratch/empty"
cd "$scratch/empty"
for p in "${programs[@]}"; do
    out="$(QT_QPA_PLATFORM=offscreen timeout 20 "$bin/$p" --version)" || fail "$p --version failed"
    [ "$(sed -n 1p <<<"$out")" = "$p (borne) $version" ] || fail "$p --version says: $out"
    grep -qx 'controller interface [0-9]\+' <<<"$out" || fail "$p --version names no controller interface"
    help="$(QT_QPA_PLATFORM=offscreen timeout 20 "$bin/$p" --help)" || fail "$p --help failed"
    grep -q "^usage: $p" <<<"$help" || fail "$p --help prints no usage"
    page="$(zcat "$root/usr/share/man/man1/$p.1.gz" | sed 's/\\-/-/g; s/\\f[BRI]//g')"
    for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$help" | sort -u); do
        grep -q -- "$option" <<<"$page" || fail "the manual page of $p lacks $option"
    done
    [ -z "$(ls -A)" ] || fail "$p --help or --version left $(ls -A)"
done

# A script and its journal, as the README's first script, with the installed example settings.
cp "$root/usr/share/borne/examples/supervised/"* .
printf '%s\n' 'tick CheckBox1' turn 'expect etat ETAT_ATTENTE_AUTORISATION' 'tick CheckBox3' turn turn turn \
    'expect CheckBox4.Checked 1' >entry.scn
"$bin/borne-scenario" entry.scn >run.out || { cat run.out >&2; fail "the installed borne-scenario fails a script"; }
[ "$("$bin/borne-log" | head -n1)" = "$(printf '1\tETAT_ATTENTE_AUTORISATION\tVEHICULE_SUR_BOUCLE_AMONT')" ] ||
    fail "the installed borne-log does not show the journal"

# The menu entry's launcher opens the window in a working folder of its own, which gets a journal.
folder="$scratch/data/borne/supervised"
env -i HOME="$scratch/home" XDG_DATA_HOME="$scratch/data" QT_QPA_PLATFORM=offscreen PATH=/usr/bin:/bin \
    "$bin/borne-start" >"$scratch/start.out" 2>&1 &
pid=$!
for _ in $(seq 300); do
    [ -s "$folder/Log.txt" ] && break
    kill -0 "$pid" 2>/dev/null || { cat "$scratch/start.out" >&2; fail "the window ended at once"; }
    sleep 0.1
done
[ -s "$folder/Log.txt" ] || fail "the window wrote no journal in $folder"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=""

# The student's starting point, built against the install alone, passes its lab.
config="$(dirname "$(find "$root/usr/lib" -name borneConfig.cmake | head -n1)")"
starting="$root/usr/share/borne/controller"
if ! cmake -S "$starting" -B "$scratch/starting" -G Ninja -Dborne_DIR="$config" >"$scratch/sp.log" 2>&1 ||
    ! cmake --build "$scratch/starting" >>"$scratch/sp.log" 2>&1; then
    cat "$scratch/sp.log" >&2
    fail "the starting point does not build against the install"
fi
"$bin/borne-scenario" --suite --controller "$scratch/starting/mon_controleur.so" "$starting/lab" >lab.out 2>&1 ||
    { cat lab.out >&2; fail "the starting point fails its lab"; }

# Removed, it leaves nothing behind.
dpkg_root --remove borne # as `apt remove` does: no configuration file is kept back
left="$(cd "$root" && find . -mindepth 1 ! -path './var' ! -path './var/lib' ! -path './var/lib/dpkg' \
    ! -path './var/lib/dpkg/*')"
[ -z "$left" ] || fail "left after removal: $left"
echo "borne $version: fields, contents, install, programs, manual pages, menu entry, starting point and removal ok"
