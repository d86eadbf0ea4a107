#!/usr/bin/env bash
# Builds mistle and runs every test: natively with g++ and clang, the Windows build (MinGW-w64)
# under wine, then the clang builds with the sanitizers and each fuzz target for a short time. A
# Release build of the tool and the stand-in, with warnings as errors, takes the first-run tour, so
# that the optimisation a distribution builds with stays free of warnings.
# Stops at the first suite that fails; its CTest summary (or the sanitizer's or fuzzer's report)
# is the last thing printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/prepare-machine.sh
export WINEDEBUG=-all
# No .NET or HTML engine installer prompts while wine prepares its prefix on a new machine.
export WINEDLLOVERRIDES="mscoree,mshtml="

run_suite() {
    local preset=$1
    echo "==== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    echo "==== $preset: tests"
    ctest --preset "$preset" -j2
}

# The sanitizer presets send every report to build/<preset>/sanitizer-reports: any report there
# fails the run, also one from a child process whose failure a test expected.
run_sanitized_suite() {
    local preset=$1
    local reports=build/$preset/sanitizer-reports
    echo "==== $preset: configure and build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    rm -rf "$reports" && mkdir -p "$reports"
    echo "==== $preset: tests"
    local failed=0
    ctest --preset "$preset" -j2 || failed=1
    if [ -n "$(ls -A "$reports")" ]; then
        echo "==== $preset: sanitizer reports"
        cat "$reports"/*
        failed=1
    fi
    return $failed
}

# Each fuzz target of the linux-asan build for a fixed time, starting from its stored inputs. A
# crash, a sanitizer report or a broken property fails the run; the input that did it is left in
# build/linux-asan/fuzz/<target>/, to be stored with the target's inputs as a regression case.
run_fuzz_targets() {
    local seconds=${MISTLE_FUZZ_SECONDS:-15}
    local corpus name work
    for corpus in tests/fuzz/corpus/*/; do
        name=$(basename "$corpus")
        work=build/linux-asan/fuzz/$name
        rm -rf "$work" && mkdir -p "$work/found"
        echo "==== fuzz $name: $seconds s"
        if ! "build/linux-asan/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 \
            -close_fd_mask=1 -artifact_prefix="$work/" "$work/found" "$corpus" 2>"$work/log"; then
            tail -n 60 "$work/log"
            echo "fuzz_$name failed: the input is in $work/; store it in $corpus as regression-<what>"
            return 1
        fi
        grep "^Done" "$work/log"
    done
}

# The tool and the stand-in only: the suites run in the builds above and below.
run_release_tour() {
    echo "==== linux-release: configure, build the tool and the stand-in, tour"
    cmake --preset linux-release >/dev/null
    cmake --build --preset linux-release --target mistle mistle_sim_libraries
    local work=build/linux-release
    # Card locks of its own: a run of the tool elsewhere on the machine does not hold up the tour.
    mkdir -p $work/tour-tmp
    TMPDIR=$PWD/$work/tour-tmp scripts/tour.sh $work/app/mistle $work/simlib $work >$work/tour.log ||
        { cat $work/tour.log && return 1; }
    tail -n 1 $work/tour.log
}

run_suite linux
run_release_tour
run_suite linux-clang
if command -v x86_64-w64-mingw32-g++-posix >/dev/null && [ -x /usr/lib/wine/wine64 ]; then
    # One wine server for all test programs, instead of one start-up per program.
    /usr/lib/wine/wineserver64 -p 2>/dev/null || true
    /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1 || true
    run_suite windows
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
fi
run_sanitized_suite linux-asan
run_sanitized_suite linux-tsan
run_fuzz_targets
