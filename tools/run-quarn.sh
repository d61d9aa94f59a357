#!/usr/bin/env bash
# Sets this machine up, builds the shipped 32-bit program and runs it against
# the local picture service (started here on the client's built-in address).
#
#   tools/run-quarn.sh [--user NAME --password TEXT]
#
# Until the windows exist, "running Quarn" is the console check: it signs in
# through the service core and prints the home feed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

bash tools/setup-machine.sh
deps=$(bash tools/build-windows-deps.sh i686 | tail -n 1)
tree=build/shipped-i686
cmake -S . -B "$tree" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-mingw.cmake \
    -DCMAKE_BUILD_TYPE=Release -DQUARN_WINDOWS_DEPS="$deps" -DQUARN_WINDOWS_TEST_LABELS=smoke > /dev/null
cmake --build "$tree" --target quarn_check -j 2

bash tools/localservice/run.sh start --port 8710
echo "The local service keeps running on http://127.0.0.1:8710/ (stop: tools/localservice/run.sh stop)."
bash tools/wine-run.sh "$tree/tools/check/quarn_check.exe" "$@"
