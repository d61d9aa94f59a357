#!/usr/bin/env bash
# Sets this machine up, builds the shipped 32-bit Quarn.exe and runs it
# against the local picture service (started here on the client's built-in
# address, http://127.0.0.1:8710/).
#
#   tools/run-quarn.sh [--tls]
#
# --tls: the service gets its TLS front (nghttpx, https://127.0.0.1:9710/),
# the test authority is trusted in the Wine prefix only, and Quarn talks to
# the front (QUARN_SERVICE_BASE_URL).
#
# With a display (DISPLAY answers), Quarn opens on it; sign in with a sample
# user of the service (demo@quarn.test / quarn123), and end it with "关闭".
# Without one, Quarn runs on an X server of its own: the login window opens,
# the demo user signs in by typing, and the screenshots of both are kept in
# build/shipped-i686/screenshots/.
set -euo pipefail
tls=0
[ "${1:-}" = --tls ] && tls=1
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/setup-machine.sh
deps=$(bash tools/build-windows-deps.sh i686 | tail -n 1)
tree=build/shipped-i686
cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQUARN_WINDOWS_DEPS="$deps" -DQUARN_WINDOWS_TEST_LABELS=smoke > /dev/null
# The updater and uploader stand-ins and the crash handler ship beside it.
cmake --build "$tree" --target Quarn Patchling Reportling faultcatch quarn_trust_ca -j 2

if [ "$tls" = 1 ]; then
    bash tools/localservice/run.sh restart --port 8710 --tls
    export QUARN_SERVICE_BASE_URL=https://127.0.0.1:9710/
    # The prefix Quarn runs in here, and the journeys' own for the run without a display.
    for cache in "" journeys; do
        prefix=$(QUARN_WINE_CACHE=${QUARN_WINE_CACHE:-/var/cache/quarn-wine}${cache:+/$cache} bash tools/wine-prefix.sh | tail -n 1)
        WINEPREFIX=$prefix bash tools/localservice/trust-test-authority.sh "$tree/tools/tlstrust/quarn_trust_ca.exe"
    done
    echo "Quarn talks to the TLS front on $QUARN_SERVICE_BASE_URL."
else
    bash tools/localservice/run.sh start --port 8710
fi
echo "The local service keeps running on http://127.0.0.1:8710/ (stop: tools/localservice/run.sh stop)."

if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry > /dev/null 2>&1; then
    cd "$tree/bin"
    exec bash "$root/tools/wine-run.sh" ./Quarn.exe
fi

echo "No display: Quarn runs on Xvfb, signs in as demo@quarn.test and keeps screenshots."
QUARN_SERVICE_URL=http://127.0.0.1:8710/ python3 tests/e2e/login_journeys.py \
    --bin "$tree/bin" --artifacts "$tree/screenshots" --slow smoke
ls "$root/$tree/screenshots/smoke/"*.png
