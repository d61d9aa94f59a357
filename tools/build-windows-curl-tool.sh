#!/usr/bin/env bash
# Builds the curl command-line tool for Windows from the same Debian source
# and the same static libcurl that tools/build-windows-deps.sh made, so that
# benchmarks under Wine compare the program with a peer built alike.
#
#   tools/build-windows-curl-tool.sh i686|x86_64
#
# Only the tool's own sources are compiled here; they link the cached
# libcurl.a. The result lives in
#   ${QUARN_DEPS_CACHE:-/var/cache/quarn-deps}/curl-tool-<arch>-<key>/curl.exe
# where <key> hashes this script and the libraries folder, so new libraries
# or a change here build a new one. Its path is the last line on stdout.
set -euo pipefail

arch=${1:-}
case "$arch" in
    i686 | x86_64) ;;
    *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
triple=$arch-w64-mingw32
cc=$triple-gcc-posix
cache=${QUARN_DEPS_CACHE:-/var/cache/quarn-deps}
log() { echo "build-windows-curl-tool[$arch]: $*" >&2; }

deps=$(bash "$here/build-windows-deps.sh" "$arch" | tail -n1)
curl_version=$(sed -n 's/^curl=//p' "$deps/quarn-deps.txt")
key=$( (echo "$deps" && sha256sum < "${BASH_SOURCE[0]}") | sha256sum | cut -c1-16)
dest=$cache/curl-tool-$arch-$key

if [ -f "$dest/.complete" ]; then
    echo "$dest/curl.exe"
    exit 0
fi
exec 9> "$cache/.curl-tool-$arch.lock"
flock 9
if [ -f "$dest/.complete" ]; then
    echo "$dest/curl.exe"
    exit 0
fi

dsc=$cache/src/curl_${curl_version#*:}.dsc
[ -f "$dsc" ] || { log "no $dsc: run tools/build-windows-deps.sh $arch first"; exit 1; }
work=$(mktemp -d /var/tmp/quarn-curl-tool-$arch.XXXXXX)
trap 'rm -rf "$work"' EXIT
dpkg-source --no-check -x "$dsc" "$work/curl" > /dev/null

cat > "$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# Configured with the libraries' options, for the tool's curl_config.h only.
log "configuring curl $curl_version"
if ! cmake -S "$work/curl" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF \
    -DBUILD_CURL_EXE=ON -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DPICKY_COMPILER=OFF \
    -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
    -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON \
    -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    -DUSE_NGHTTP2=ON -DNGHTTP2_INCLUDE_DIR="$deps/include" -DNGHTTP2_LIBRARY="$deps/lib/libnghttp2.a" \
    -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR="$deps/include" -DZLIB_LIBRARY="$deps/lib/libz.a" \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
    -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF \
    -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF > "$work/configure.log" 2>&1; then
    tail -n 40 "$work/configure.log" >&2
    exit 1
fi

src=$work/curl/src
# The tool's file list, as its Makefile.inc names it (no manual built in).
files=$(sed -n '/^CURLX_CFILES = /,/^$/p; /^CURL_CFILES = /,/^$/p' "$src/Makefile.inc" |
    grep -o '[^ \\]*\.c' | grep -v tool_hugehelp.c)
echo '#include "tool_hugehelp.h"' > "$work/tool_hugehelp.c"
mkdir -p "$work/obj"
log "compiling the tool"
objects=()
for f in $files "$work/tool_hugehelp.c"; do
    case "$f" in /*) path=$f ;; *) path=$src/$f ;; esac
    object=$work/obj/$(basename "$f" .c).o
    "$cc" -O2 -DHAVE_CONFIG_H -DCURL_STATICLIB \
        -I"$deps/include" -I"$work/curl/lib" -I"$work/build/lib" -I"$src" \
        -c "$path" -o "$object"
    objects+=("$object")
done
mkdir -p "$dest.partial"
"$cc" -O2 -static -o "$dest.partial/curl.exe" "${objects[@]}" \
    -L"$deps/lib" -lcurl -lnghttp2 -lz -lwinmm -lws2_32 -ladvapi32 -lcrypt32 -lbcrypt -lsecur32
printf 'curl=%s\ndeps=%s\n' "$curl_version" "$deps" > "$dest.partial/quarn-curl-tool.txt"
touch "$dest.partial/.complete"
rm -rf "$dest"
mv "$dest.partial" "$dest"
echo "$dest/curl.exe"
