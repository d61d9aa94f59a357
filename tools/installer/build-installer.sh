#!/usr/bin/env bash
# Builds the installer of the 32-bit Quarn (NSIS, Debian's nsis package).
#
#   tools/installer/build-installer.sh
#       builds the 32-bit program in build/installer-i686 (the libraries from
#       tools/build-windows-deps.sh) and writes build/QuarnSetup.exe
#   tools/installer/build-installer.sh --bin DIR --out FILE
#       packages an already built program folder (Quarn.exe, skinkit.dll,
#       faultcatch.dll, the stand-ins and the skin) into FILE
#
# Environment: QUARN_SERVICE_BASE_URL (the service the program talks to;
# the build's default when unset), QUARN_JOBS (2).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=""
out=""
while [ $# -gt 0 ]; do
    case $1 in
        --bin) bin=$2; shift 2 ;;
        --out) out=$2; shift 2 ;;
        *) echo "usage: $0 [--bin DIR --out FILE]" >&2; exit 2 ;;
    esac
done
command -v makensis > /dev/null || { echo "build-installer: makensis is missing (apt-get install nsis)" >&2; exit 1; }

if [ -z "$bin" ]; then
    tree=$root/build/installer-i686
    deps=$(bash "$root/tools/build-windows-deps.sh" i686 | tail -n 1)
    url_arg=()
    [ -n "${QUARN_SERVICE_BASE_URL:-}" ] && url_arg=(-DQUARN_SERVICE_BASE_URL="$QUARN_SERVICE_BASE_URL")
    cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-mingw.cmake" \
        -DQUARN_WINDOWS_DEPS="$deps" -DQUARN_WINDOWS_TEST_LABELS=smoke "${url_arg[@]}"
    cmake --build "$tree" -j "${QUARN_JOBS:-2}" --target Quarn skinkit faultcatch Patchling Reportling skinkit_skin
    bin=$tree/bin
    out=${out:-$root/build/QuarnSetup.exe}
fi
[ -n "$out" ] || { echo "build-installer: --out is missing" >&2; exit 2; }
for file in Quarn.exe skinkit.dll faultcatch.dll Patchling.exe Reportling.exe Qnv_resource Ziv_resource; do
    [ -e "$bin/$file" ] || { echo "build-installer: $bin/$file is missing" >&2; exit 1; }
done
mkdir -p "$(dirname "$out")"
# The shipped files without their debugging information.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp -r "$bin"/{Quarn.exe,skinkit.dll,faultcatch.dll,Patchling.exe,Reportling.exe,Qnv_resource,Ziv_resource} "$stage"/
i686-w64-mingw32-strip "$stage"/*.exe "$stage"/*.dll
makensis -V2 -INPUTCHARSET UTF8 -DSTAGE="$stage" -DCONFIG="$root/client/shell/vlconfig.xml" -DOUTFILE="$out" \
    "$here/quarn.nsi"
echo "build-installer: $out"
