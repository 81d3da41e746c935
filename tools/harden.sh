#!/usr/bin/env bash
# Hardening checks, run by CI after ./test.sh (which leaves the normal build in build/):
#   1. the libraries, tools and window built with clang and its thread-safety analysis
#      (-Wthread-safety, warnings fatal) in build-clang: the locking rules written in the code hold;
#   2. the whole suite built with AddressSanitizer + UndefinedBehaviorSanitizer (build-asan);
#   3. the concurrency, window (offscreen), journal and stress suites with ThreadSanitizer (build-tsan);
#   4. the libFuzzer targets built with clang (build-fuzz), each run for a bounded time on a copy of
#      its seed corpus, after replaying the inputs that once broke something (fuzz/regressions/);
#   5. the million-turn soak of the normal build (build/bench/soak/borne-soak).
# Any analysis warning, sanitizer report, fuzzer crash, failed test or broken soak invariant fails the
# script. The time of each stage is printed, and a summary at the end.
#
# Settings (environment):
#   HARDEN_PREFIX   prefix of the build folders (default "build-": build-clang, build-asan, ...)
#   HARDEN_BUILD   the normal build with the soak program (default "build")
#   FUZZ_SECONDS    time per fuzz target (default 60)
#   SOAK_TURNS      turns per mode of the soak (default 1000000)
#   HARDEN_STAGES   stages to run, among "clang asan tsan fuzz soak" (default: all)
set -uo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

source tools/packages.sh
tools/install-packages.sh "${BUILD_PACKAGES[@]}" "${WINDOW_PACKAGES[@]}" "${TEST_PACKAGES[@]}" \
    "${HARDEN_PACKAGES[@]}" || exit 1

prefix="${HARDEN_PREFIX:-build-}"
normal="${HARDEN_BUILD:-build}"
seconds="${FUZZ_SECONDS:-60}"
turns="${SOAK_TURNS:-1000000}"
stages="${HARDEN_STAGES:-clang asan tsan fuzz soak}"
cores="$(nproc)"
export QT_QPA_PLATFORM=offscreen

# Sanitizer settings: every report is fatal (UBSan is built without recovery), leaks included; only the
# suppressions of the libraries' own frames in tests/ apply.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="suppressions=$root/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:report_signal_unsafe=0"

summary=()
failed=0
start_total=$SECONDS

# Runs one stage (a shell function), timing it and recording its outcome.
stage() {
    local name="$1"
    shift
    case " $stages " in *" $name "*) ;; *) return 0 ;; esac
    echo
    echo "=== hardening stage: $name"
    local start=$SECONDS
    "$@"
    local code=$?
    local duration=$((SECONDS - start))
    local outcome="ok"
    if [ "$code" -ne 0 ]; then
        outcome="FAILED (status $code)"
        failed=1
    fi
    echo "=== hardening stage $name: $outcome in ${duration} s"
    summary+=("$(printf '%-6s %5d s  %s' "$name" "$duration" "$outcome")")
}

# Configures a preset of CMakePresets.json in a folder of its own (HARDEN_PREFIX may move it).
configure() {
    cmake --preset "$1" -B "$2" >/dev/null
}

clang_analysis() {
    local folder="${prefix}clang"
    # BORNE_WERROR makes every analysis warning fatal. The tests are left out: they hold no lock
    # rule of the terminal's, and the sanitizer stages build them anyway.
    configure clang "$folder" || return 1
    cmake --build "$folder"
}

asan() {
    local folder="${prefix}asan"
    configure asan "$folder" || return 1
    cmake --build "$folder" || return 1
    ctest --test-dir "$folder" --output-on-failure -j"$cores"
}

tsan() {
    local folder="${prefix}tsan"
    configure tsan "$folder" || return 1
    # Only the suites that run more than one thread.
    local targets=(test_panel test_journal test_stress test_robustness)
    if [ -e "$folder/tests/window" ]; then targets+=(test_window borne-scripted-user); fi
    if [ -e "$folder/tests/recording" ]; then targets+=(test_recording borne-record-session); fi
    if grep -q test_stress_window "$folder/build.ninja"; then targets+=(test_stress_window); fi
    cmake --build "$folder" --target "${targets[@]}" || return 1
    # The recording sessions that start the whole program as a child are left to the other stages: in
    # the child, TSan sees only Qt's own thread pool, whose locks it cannot see, and under load the
    # instrumented program runs past the sessions' real-time deadlines.
    ctest --test-dir "$folder" --output-on-failure -j"$cores" -L 'panel|journal|window|stress' -E '^Session\.'
}

fuzz() {
    local folder="${prefix}fuzz"
    # A project of its own: its preset is in fuzz/CMakePresets.json.
    cmake -S fuzz --preset fuzz -B "$folder" >/dev/null || return 1
    cmake --build "$folder" || return 1
    local artifacts="$root/$folder/artefacts"
    mkdir -p "$artifacts"
    local code=0
    for target in "$folder"/fuzz_*; do
        [ -x "$target" ] || continue
        local name
        name="$(basename "$target")"
        # Inputs that once broke something: each must now pass.
        if [ -d "fuzz/regressions/$name" ] && [ -n "$(ls -A "fuzz/regressions/$name")" ]; then
            if ! "$target" -runs=1 "$root/fuzz/regressions/$name"/* >"$artifacts/$name.regressions.log" 2>&1; then
                echo "$name: a regression input fails again:"
                tail -40 "$artifacts/$name.regressions.log"
                code=1
            fi
        fi
        # New inputs go to a scratch copy, never into the committed seeds.
        local scratch
        scratch="$(mktemp -d)"
        cp -r "fuzz/corpus/$name/." "$scratch/" 2>/dev/null
        local log="$artifacts/$name.log"
        "$target" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
            -timeout=10 -rss_limit_mb=2048 "$scratch" >"$log" 2>&1
        local rc=$?
        local execs speed
        execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
        speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
        echo "$name: ${execs:-?} runs in ${seconds} s, ${speed:-?} exec/s, corpus $(ls "$scratch" | wc -l) inputs"
        if [ "$rc" -ne 0 ]; then
            echo "$name: the fuzzer found a fault (status $rc); the input is in $artifacts:"
            grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -10
            tail -60 "$log"
            code=1
        fi
        rm -rf "$scratch"
    done
    return "$code"
}

soak() {
    # Built by ./test.sh already; this only makes sure it is there and up to date.
    if [ ! -f "$normal/build.ninja" ]; then
        configure test "$normal" || return 1
    fi
    cmake --build "$normal" --target borne-soak || return 1
    "$normal/bench/soak/borne-soak" "$turns"
}

stage clang clang_analysis
stage asan asan
stage tsan tsan
stage fuzz fuzz
stage soak soak

echo
echo "=== hardening summary (total $((SECONDS - start_total)) s)"
for line in "${summary[@]}"; do echo "  $line"; done
exit "$failed"
