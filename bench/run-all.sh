#!/usr/bin/env bash
# Every benchmark against its reference, in one table (not a test).
#
#   bench/run-all.sh [--rounds N] [--startup-rounds N] [--latency MS]
#                    [--parallel CAP]... [--soak-pictures N]
#                    [--only transfer,startup,relay,tlsrelay,parse,paint,browse,window,soak]
#
# Builds what it needs: a native tree (QUARN_BENCH_NATIVE, default
# build/bench-native), an x86_64 Windows tree (QUARN_BENCH_WINDOWS, default
# build/bench-win64) and the Windows curl tool (tools/build-windows-curl-tool.sh),
# then runs bench/run_all.py, whose last line is "bench: N of M goals met".
# The local service runs on QUARN_BENCH_PORT (default 8712); Wine uses the
# prefix of tools/wine-prefix.sh (QUARN_WINE_CACHE picks its folder).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
native=${QUARN_BENCH_NATIVE:-$root/build/bench-native}
windows=${QUARN_BENCH_WINDOWS:-$root/build/bench-win64}
jobs=${QUARN_JOBS:-2}
port=${QUARN_BENCH_PORT:-8712}

launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
log() { echo "run-all: $*" >&2; }

log "native tree $native"
cmake -S "$root" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUARN_WINDOWS_BUILDS=OFF \
    -DQUARN_TEST_SERVICE_PORT="$port" "${launcher[@]}" > /dev/null
cmake --build "$native" -j "$jobs" --target download_bench startup_bench parse_bench > /dev/null

deps=$(bash "$root/tools/build-windows-deps.sh" x86_64 | tail -n1)
curl_exe=$(bash "$root/tools/build-windows-curl-tool.sh" x86_64 | tail -n1)
log "Windows tree $windows"
# A Windows tree that does not build leaves its rows out, not the others.
if ! cmake -S "$root" -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARN_WINDOWS_DEPS="$deps" \
    -DQUARN_SERVICE_BASE_URL="http://127.0.0.1:$port/" -DQUARN_TEST_SERVICE_PORT="$port" \
    -DQUARN_START_LOCAL_SERVICE=OFF "${launcher[@]}" > "$native/run-all-windows.log" 2>&1 ||
    ! cmake --build "$windows" -j "$jobs" --target download_bench skinkit_paint_bench skinkit_viewer_bench \
        startup_bench quarn_trust_ca \
        >> "$native/run-all-windows.log" 2>&1; then
    log "the Windows tree did not build (see $native/run-all-windows.log); no Wine figures"
    rm -f "$windows/bench/transport/download_bench.exe" "$windows/bin/skinkit_paint_bench.exe" \
        "$windows/bin/skinkit_viewer_bench.exe" "$windows/bench/startup_bench.exe"
fi
# The window figure needs the whole program; without it that row is left out.
if ! cmake --build "$windows" -j "$jobs" --target Quarn Patchling Reportling faultcatch skinkit_skin bare_window \
    quarn_probe quarn_browse_bench > "$native/run-all-program.log" 2>&1; then
    log "the program did not build (see $native/run-all-program.log); no window figure"
    rm -f "$windows/bin/Quarn.exe" "$windows/bin/quarn_browse_bench.exe"
fi

exec python3 "$root/bench/run_all.py" --native "$native" --windows "$windows" --curl-exe "$curl_exe" \
    --port "$port" "$@"
