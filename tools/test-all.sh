#!/usr/bin/env bash
# The test command: everything from a fresh Debian 12 machine to one ctest run.
#
#   tools/test-all.sh
#
# 1. machine setup (tools/setup-machine.sh; skipped when it already ran in
#    this version and the key tools are present)
# 2. the Windows libraries for both arches (cached outside the clone)
# 3. the Wine prefix (cached) and an X display (Xvfb unless DISPLAY answers)
# 4. build/native with the Windows builds: configure, build, ctest once
# 5. build/asan (address and undefined-behaviour sanitizers) and build/tsan
#    (thread sanitizer): configure, build, ctest; then a minute of fuzzing
# Exits non-zero if any step or test failed.
#
# Environment: QUARN_BUILD_DIR (default build/), QUARN_JOBS (2),
# QUARN_CTEST_JOBS (1), QUARN_XVFB_SCREEN (1280x800x24),
# QUARN_SKIP_ASAN=1 / QUARN_SKIP_TSAN=1 /
# QUARN_SKIP_FUZZ=1 to leave those steps out, QUARN_FUZZ_SECONDS (60).
set -uo pipefail

# One block, read whole before it runs, so editing this file during a run
# cannot change the run.
{

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
build=${QUARN_BUILD_DIR:-$root/build}
jobs=${QUARN_JOBS:-2}
export QUARN_JOBS=$jobs

run_start=$(date +%s)
failures=()
timings=()
tests_passed=0
tests_failed=0

say() { printf '\n=== %s\n' "$*"; }
die() { echo "test-all: $*" >&2; exit 1; }

# Runs a named step, recording its time; returns its status.
timed() {
    local name=$1; shift
    local start=$(date +%s) status
    "$@"
    status=$?
    timings+=("$(printf '%-28s %4d s%s' "$name" $(( $(date +%s) - start )) "$([ $status = 0 ] || echo '  FAILED')")")
    return $status
}

# --- cleanup of what this run started --------------------------------------
xvfb_pid=""
cleanup() {
    # Wine's own processes end by themselves after the last program; on CI,
    # where the machine is this run's alone, leftovers of a hung test go too.
    if [ "${CI:-}" = true ] && [ -n "${WINEPREFIX:-}" ]; then
        WINEPREFIX=$WINEPREFIX /usr/lib/wine/wineserver -k > /dev/null 2>&1 || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2> /dev/null || true
        wait "$xvfb_pid" 2> /dev/null || true
    fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# --- 1. machine ---------------------------------------------------------------
machine_ready() {
    local tool
    for tool in cmake ninja x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix \
                /usr/lib/wine/wine64 /usr/lib/wine/wine Xvfb xdotool import qemu-i386 nghttpx openssl; do
        command -v "$tool" > /dev/null || return 1
    done
    [ -d /usr/src/googletest ] || return 1
    # The 32-bit Wine loader needs QEMU registered; a reboot can drop that.
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2> /dev/null || return 1
    [ -f "$setup_stamp" ]
}
setup_machine() {
    setup_stamp=/var/lib/quarn/setup-machine-$(sha256sum < tools/setup-machine.sh | cut -c1-16).done
    if machine_ready; then
        echo "machine already set up ($setup_stamp)"
        return 0
    fi
    bash tools/setup-machine.sh || return 1
    mkdir -p /var/lib/quarn && touch "$setup_stamp"
    machine_ready || { echo "setup-machine.sh ran but the machine still lacks a tool or QEMU's registration" >&2; return 1; }
}
say "machine"
timed "machine setup" setup_machine || die "machine setup failed"

# --- 2. Windows libraries -----------------------------------------------------
say "Windows libraries"
deps_x86_64=""
deps_i686=""
build_deps() {
    deps_x86_64=$(bash tools/build-windows-deps.sh x86_64 | tail -n 1) || return 1
    deps_i686=$(bash tools/build-windows-deps.sh i686 | tail -n 1) || return 1
    echo "x86_64: $deps_x86_64"
    echo "i686:   $deps_i686"
}
timed "windows libraries" build_deps || die "building the Windows libraries failed"

# --- 3. Wine and display -----------------------------------------
say "Wine prefix"
make_prefix() {
    WINEPREFIX=$(bash tools/wine-prefix.sh | tail -n 1) || return 1
    export WINEPREFIX
    echo "WINEPREFIX=$WINEPREFIX"
    # A Wine server left from a program on another display keeps that
    # display's screen size, and windows sized from it fail on this one.
    if [ "${CI:-}" = true ]; then
        /usr/lib/wine/wineserver -k > /dev/null 2>&1 || true
    fi
}
timed "wine prefix" make_prefix || die "creating the Wine prefix failed"

say "display"
start_xvfb() {
    if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry > /dev/null 2>&1; then
        echo "using DISPLAY=$DISPLAY"
        return 0
    fi
    local fdfile
    fdfile=$(mktemp /tmp/quarn-xvfb.XXXXXX)
    # -displayfd picks a free display number and writes it once the server is up.
    Xvfb -displayfd 3 -screen 0 "${QUARN_XVFB_SCREEN:-1280x800x24}" -nolisten tcp \
        3> "$fdfile" > /dev/null 2>&1 &
    xvfb_pid=$!
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        kill -0 "$xvfb_pid" 2> /dev/null || break
        sleep 0.1
    done
    local number
    number=$(head -n 1 "$fdfile")
    rm -f "$fdfile"
    [ -n "$number" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=:$number
    echo "started Xvfb on DISPLAY=$DISPLAY (pid $xvfb_pid)"
}
timed "display" start_xvfb || die "no X display"

# The tests start and stop their own local service (a ctest fixture on its
# own port), so nothing is started here.

# --- 4 and 5. builds and tests -----------------------------------------------
# Adds the counts of one ctest summary to the totals.
count_tests() {
    local line total failed
    line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -n 1)
    [ -n "$line" ] || return 0
    failed=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<< "$line")
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<< "$line")
    tests_passed=$(( tests_passed + total - failed ))
    tests_failed=$(( tests_failed + failed ))
}

# A fresh clone builds everything anew; ccache, keyed on paths relative to
# the clone, lets it reuse the objects of earlier runs in any folder.
launcher=()
if command -v ccache > /dev/null; then
    export CCACHE_DIR=${CCACHE_DIR:-/var/cache/quarn-ccache}
    export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE=${CCACHE_MAXSIZE:-8G}
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# test_tree NAME DIR CMAKE-ARGS...: configure, build, ctest.
test_tree() {
    local name=$1 dir=$2; shift 2
    # A tree configured earlier keeps its generator; new ones use Ninja.
    local generator=(-G Ninja) keep_going=(-k 0)
    if [ -f "$dir/CMakeCache.txt" ]; then
        generator=()
        grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt" || keep_going=(-k)
    fi
    say "$name: configure"
    timed "$name configure" cmake -S "$root" -B "$dir" "${generator[@]}" "${launcher[@]}" "$@" || { failures+=("$name configure"); return; }
    say "$name: build"
    # Keep going past a failed target: the tests of the parts that did build
    # still run and say more than the first compiler error alone.
    timed "$name build" cmake --build "$dir" -j "$jobs" -- "${keep_going[@]}" || failures+=("$name build")
    say "$name: test"
    local log=$dir/test-all-ctest.log
    timed "$name ctest" run_ctest "$dir" "$log" || failures+=("$name tests")
    count_tests "$log"
}

# Tests run one at a time by default: Windows tests share the display and
# several suites share the local service's state.
run_ctest() {
    ctest --test-dir "$1" --output-on-failure --no-tests=error -j "${QUARN_CTEST_JOBS:-1}" 2>&1 | tee "$2"
    return "${PIPESTATUS[0]}"
}

test_tree native "$build/native" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUARN_WINDOWS_BUILDS=ON \
    -DQUARN_WINDOWS_DEPS_x86_64="$deps_x86_64" \
    -DQUARN_WINDOWS_DEPS_i686="$deps_i686"

# Sanitizer findings fail the test instead of scrolling past.
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
if [ "${QUARN_SKIP_ASAN:-0}" != 1 ]; then
    test_tree asan "$build/asan" \
        -DCMAKE_BUILD_TYPE=Debug \
        -DQUARN_WINDOWS_BUILDS=OFF \
        -DQUARN_SANITIZE=address,undefined
fi

# Workers write the feed store and the signed-in record while the window
# reads them: the core's tests run again under ThreadSanitizer.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
if [ "${QUARN_SKIP_TSAN:-0}" != 1 ]; then
    test_tree tsan "$build/tsan" \
        -DCMAKE_BUILD_TYPE=Debug \
        -DQUARN_WINDOWS_BUILDS=OFF \
        -DQUARN_SANITIZE=thread
fi

# A minute of coverage-guided fuzzing of the answer parser from the kept
# corpus; any crash, leak or sanitizer report fails the run.
fuzz_answers() {
    local dir=$build/fuzz
    cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DQUARN_FUZZ=ON -DQUARN_START_LOCAL_SERVICE=OFF > /dev/null || return 1
    cmake --build "$dir" --target parse_answer_fuzz -j "$jobs" || return 1
    rm -rf "$dir/work" && mkdir -p "$dir/work"
    "$dir/tests/fuzz/parse_answer_fuzz" -max_total_time="${QUARN_FUZZ_SECONDS:-60}" -timeout=10 \
        -rss_limit_mb=2048 -print_final_stats=1 -dict="$root/tests/fuzz/answers.dict" "$dir/work" "$root/tests/fuzz/corpus" 2>&1 | tail -n 25
    return "${PIPESTATUS[0]}"
}
if [ "${QUARN_SKIP_FUZZ:-0}" != 1 ]; then
    say "fuzz: answer parser"
    timed "fuzz" fuzz_answers || failures+=("fuzz")
fi

# --- summary ------------------------------------------------------------------
say "summary"
printf '%s\n' "${timings[@]}"
printf '%-28s %4d s\n' "total" $(( $(date +%s) - run_start ))
if [ ${#failures[@]} -gt 0 ]; then
    printf 'FAILED: %s\n' "${failures[@]}"
fi
echo "test-all: $tests_passed passed, $tests_failed failed"
[ ${#failures[@]} = 0 ]
exit $?
}
