#!/usr/bin/env bash
# build-outside.sh BUILD SOURCE WHERE WORK GENERATOR COMPILER [LAUNCHER]: builds controllers as someone
# outside the project does, each a project of its own against borne's package (WHERE: "tree", the build
# folder as it is, or "install", a prefix it is installed into), then runs them with --controller:
#   - the terminal's own controller, its two files copied unchanged beside a four-line CMakeLists.txt,
#     must pass the project's journeys, and (against the tree) fail one once a text of its turn changes;
#   - the starting point examples/controller (its installed copy for an install), built from its own
#     folder, must pass its lab and fail a journey that needs the states it leaves to write (exit 1:
#     failed, not broken); the Python one beside it gives the same verdicts.
# Both are compiled with the project's warnings, as errors, in WORK, emptied first: a folder that keeps its
# path from one run to the next, so that a compiler cache finds what it compiled there the last time.
set -euo pipefail
build="$1" source="$2" where="$3" scratch="$4" generator="$5" compiler="$6" launcher="${7:-}"
rm -rf "$scratch"
mkdir -p "$scratch"
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL ($where): $*" >&2; exit 1; }

runner="$build/tools/scenario/borne-scenario"
example_source="$source/examples/controller"
case "$where" in
tree) package=(-Dborne_DIR="$build") ;;
install)
    cmake --install "$build" --prefix "$scratch/prefix" >/dev/null
    # The starting point comes with the package; it is not a mode the menu's launcher offers.
    example_source="$scratch/prefix/share/borne/controller"
    [ ! -e "$scratch/prefix/share/borne/examples/controller" ] ||
        fail "the starting point is installed as a mode"
    package=(-DCMAKE_PREFIX_PATH="$scratch/prefix")
    # The installed runner when the install has one (the window's build installs it).
    [ -x "$scratch/prefix/bin/borne-scenario" ] && runner="$scratch/prefix/bin/borne-scenario"
    ;;
*) fail "WHERE is tree or install" ;;
esac

# build_project SOURCE BUILD: configures and builds the project in SOURCE, in BUILD.
build_project() {
    local log="$2.log"
    local settings=(-G "$generator" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$compiler"
        -DCMAKE_CXX_FLAGS="-Wall -Wextra -Wpedantic -Werror" "${package[@]}")
    [ -z "$launcher" ] || settings+=(-DCMAKE_CXX_COMPILER_LAUNCHER="$launcher")
    if ! cmake -S "$1" -B "$2" "${settings[@]}" >"$log" 2>&1 || ! cmake --build "$2" >>"$log" 2>&1; then
        cat "$log" >&2
        fail "$1 does not build"
    fi
}

own="$scratch/own"
mkdir -p "$own"
cp "$source/control/tGestionBarriere.cpp" "$source/control/tGestionBarriere.h" "$own/"
cat >"$own/CMakeLists.txt" <<'END'
cmake_minimum_required(VERSION 3.25)
project(own)
find_package(borne)
borne_add_controller(own SOURCES tGestionBarriere.cpp)
END
build_project "$own" "$scratch/own-build"
journeys="$source/tests/scenarios/journeys"
"$runner" --suite --controller "$scratch/own-build/own.so" "$journeys" >"$scratch/own.out" 2>&1 ||
    { cat "$scratch/own.out" >&2; fail "the terminal's own controller built outside fails the journeys"; }

# The same copy with one change must run its change, not the program's class of the same name: the
# prefix of the code's line, written by a turn (the host calls the turns, the start-up is the plug-in's).
if [ "$where" = tree ]; then
    sed -i 's/CODE_PREFIXE = "Code : "/CODE_PREFIXE = "Pin : "/' "$own/tGestionBarriere.cpp"
    grep -q '"Pin : "' "$own/tGestionBarriere.cpp" || fail "the code's prefix is not in the terminal's source"
    build_project "$own" "$scratch/changed-build"
    "$runner" --suite --controller "$scratch/changed-build/own.so" "$journeys/entry-by-code" \
        >"$scratch/changed.out" 2>&1 || true
    grep -q 'got "pin : "' "$scratch/changed.out" ||
        { cat "$scratch/changed.out" >&2; fail "a changed copy of the terminal's controller runs unchanged"; }
fi

build_project "$example_source" "$scratch/example-build"
example="$scratch/example-build/mon_controleur.so"
"$runner" --suite --controller "$example" "$example_source/lab" >"$scratch/lab.out" 2>&1 ||
    { cat "$scratch/lab.out" >&2; fail "the starting point fails its lab"; }
set +e
"$runner" --suite --controller "$example" "$journeys/entry-by-code" >"$scratch/journey.out" 2>&1
code=$?
set -e
[ "$code" = 1 ] ||
    { cat "$scratch/journey.out" >&2; fail "the starting point on entry-by-code: exit $code, not 1"; }

# The starting point in Python (its installed copy for an install) is the same start: on its lab and the
# journeys, the same verdicts and the same first failures as the C++ one.
python_start="$(dirname "$example_source")/controller-python/MonControleur.py"
[ -x "$python_start" ] || fail "no executable Python starting point at $python_start"
for start in "$example" "$python_start"; do
    "$runner" --suite --controller "$start" "$example_source/lab" "$journeys" >>"$scratch/$(basename "$start").out" 2>&1 || true
done
diff -u "$scratch/mon_controleur.so.out" "$scratch/MonControleur.py.out" >&2 ||
    fail "the Python starting point differs from the C++ one"
tail -n1 "$scratch/own.out" "$scratch/lab.out"
