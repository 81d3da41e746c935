#!/usr/bin/env bash
# Hardening checks, run by CI after ./test.sh (which leaves the normal build in build/):
#   1. the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan);
#   2. the concurrency, window (offscreen), journal and stress suites with ThreadSanitizer (build-tsan);
#   3. the libFuzzer targets built with clang (build-fuzz), each run for a bounded time on a copy of
#      its seed corpus, after replaying the inputs that once broke something (fuzz/regressions/);
#   4. the million-turn soak of the normal build (build/bench/soak/borne-soak).
# Any sanitizer report, fuzzer crash, failed test or broken soak invariant fails the script. The time of
# each stage is printed, and a summary at the end.
#
# Settings (environment):
#   HARDEN_PREFIX   prefix of the build folders (default "build-": build-asan, build-tsan, build-fuzz)
#   HARDEN_BUILD    the normal build with the soak program (default "build")
#   FUZZ_SECONDS    time per fuzz target (default 60)
#   SOAK_TURNS      turns per mode of the soak (default 1000000)
#   HARDEN_STAGES   stages to run, among "asan tsan fuzz soak" (default: all)
set -uo pipefail
cd "$(dirname "$0")/.."
racine="$PWD"

source tools/packages.sh
tools/install-packages.sh "${BUILD_PACKAGES[@]}" "${WINDOW_PACKAGES[@]}" "${TEST_PACKAGES[@]}" \
    "${HARDEN_PACKAGES[@]}" || exit 1

prefixe="${HARDEN_PREFIX:-build-}"
normal="${HARDEN_BUILD:-build}"
secondes="${FUZZ_SECONDS:-60}"
tours="${SOAK_TURNS:-1000000}"
etapes="${HARDEN_STAGES:-asan tsan fuzz soak}"
coeurs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# Sanitizer settings: every report is fatal (UBSan is built without recovery), leaks included; only the
# suppressions of the libraries' own frames in tests/ apply.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$racine/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$racine/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0"

bilan=()
echec=0
debut_total=$SECONDS

# Runs one stage (a shell function), timing it and recording its outcome.
etape() {
    local nom="$1"
    shift
    case " $etapes " in *" $nom "*) ;; *) return 0 ;; esac
    echo
    echo "=== hardening stage: $nom"
    local debut=$SECONDS
    "$@"
    local code=$?
    local duree=$((SECONDS - debut))
    local issue="ok"
    if [ "$code" -ne 0 ]; then
        issue="FAILED (status $code)"
        echec=1
    fi
    echo "=== hardening stage $nom: $issue in ${duree} s"
    bilan+=("$(printf '%-6s %5d s  %s' "$nom" "$duree" "$issue")")
}

configurer() {
    local dossier="$1"
    shift
    cmake -S . -B "$dossier" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBORNE_BENCH=OFF "$@" >/dev/null
}

asan() {
    local dossier="${prefixe}asan"
    configurer "$dossier" -DBORNE_SANITIZE=address || return 1
    cmake --build "$dossier" || return 1
    ctest --test-dir "$dossier" --output-on-failure -j"$coeurs"
}

tsan() {
    local dossier="${prefixe}tsan"
    configurer "$dossier" -DBORNE_SANITIZE=thread || return 1
    # Only the suites that run more than one thread.
    local cibles=(test_panel test_journal test_stress test_robustness)
    if [ -e "$dossier/tests/window" ]; then cibles+=(test_window borne-scripted-user); fi
    if grep -q test_stress_fenetre "$dossier/build.ninja"; then cibles+=(test_stress_fenetre); fi
    cmake --build "$dossier" --target "${cibles[@]}" || return 1
    ctest --test-dir "$dossier" --output-on-failure -j"$coeurs" -L 'panel|journal|window|stress'
}

fuzz() {
    local dossier="${prefixe}fuzz"
    CC=clang CXX=clang++ cmake -S fuzz -B "$dossier" -G Ninja >/dev/null || return 1
    cmake --build "$dossier" || return 1
    local artefacts="$racine/$dossier/artefacts"
    mkdir -p "$artefacts"
    local code=0
    for cible in "$dossier"/fuzz_*; do
        [ -x "$cible" ] || continue
        local nom
        nom="$(basename "$cible")"
        # Inputs that once broke something: each must now pass.
        if [ -d "fuzz/regressions/$nom" ] && [ -n "$(ls -A "fuzz/regressions/$nom")" ]; then
            if ! "$cible" -runs=1 "$racine/fuzz/regressions/$nom"/* >"$artefacts/$nom.regressions.log" 2>&1; then
                echo "$nom: a regression input fails again:"
                tail -40 "$artefacts/$nom.regressions.log"
                code=1
            fi
        fi
        # New inputs go to a scratch copy, never into the committed seeds.
        local travail
        travail="$(mktemp -d)"
        cp -r "fuzz/corpus/$nom/." "$travail/" 2>/dev/null
        local journal="$artefacts/$nom.log"
        "$cible" -max_total_time="$secondes" -print_final_stats=1 -artifact_prefix="$artefacts/$nom-" \
            -timeout=10 -rss_limit_mb=2048 "$travail" >"$journal" 2>&1
        local rc=$?
        local execs vitesse
        execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$journal")"
        vitesse="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$journal")"
        echo "$nom: ${execs:-?} runs in ${secondes} s, ${vitesse:-?} exec/s, corpus $(ls "$travail" | wc -l) inputs"
        if [ "$rc" -ne 0 ]; then
            echo "$nom: the fuzzer found a fault (status $rc); the input is in $artefacts:"
            grep -E "ERROR|SUMMARY|Test unit written" "$journal" | head -10
            tail -60 "$journal"
            code=1
        fi
        rm -rf "$travail"
    done
    return "$code"
}

soak() {
    # Built by ./test.sh already; this only makes sure it is there and up to date.
    if [ ! -f "$normal/build.ninja" ]; then
        cmake -S . -B "$normal" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || return 1
    fi
    cmake --build "$normal" --target borne-soak || return 1
    "$normal/bench/soak/borne-soak" "$tours"
}

etape asan asan
etape tsan tsan
etape fuzz fuzz
etape soak soak

echo
echo "=== hardening summary (total $((SECONDS - debut_total)) s)"
for ligne in "${bilan[@]}"; do echo "  $ligne"; done
exit "$echec"
