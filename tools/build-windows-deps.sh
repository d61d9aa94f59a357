#!/usr/bin/env bash
# Cross-builds the static Windows libraries the program links -- libcurl
# (HTTP, HTTPS through Schannel, HTTP/2 through nghttp2, gzip through zlib),
# jsoncpp and TinyXML -- from Debian's source packages with the MinGW-w64
# posix compilers.
#
#   tools/build-windows-deps.sh i686|x86_64
#
# The result lives outside the clone, in
#   ${QUARN_DEPS_CACHE:-/var/cache/quarn-deps}/<arch>-<key>
# where <key> hashes the source versions, the compiler and runtime versions and
# this script, so a change to any of them builds a new folder and an unchanged
# machine reuses the old one. The folder's path is the last line on stdout;
# everything else goes to stderr.
set -euo pipefail

arch=${1:-}
case "$arch" in
    i686)   debarch=i686 ;;
    x86_64) debarch=x86-64 ;;
    *) echo "usage: $0 i686|x86_64" >&2; exit 2 ;;
esac

triple=$arch-w64-mingw32
cc=$triple-gcc-posix
cxx=$triple-g++-posix
cache=${QUARN_DEPS_CACHE:-/var/cache/quarn-deps}
jobs=${QUARN_JOBS:-2}
packages=(curl libjsoncpp tinyxml nghttp2 zlib)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# Applied to curl's source before it is built; they are part of the key.
# curl-schannel-alpn.patch: this curl offers ALPN over Schannel only when
# built with Microsoft's compiler, and turns it off whenever it finds itself
# under Wine, so every request was HTTP/1.1 and parallel requests to one host
# each took a connection of their own. MinGW-w64's headers have what ALPN
# needs (the one missing declaration is added), and Wine 8's Schannel offers
# and reports ALPN, so the Wine check only cost HTTP/2. On Windows it changes
# nothing but the compiler's check.
curl_patches=("$here/curl-schannel-alpn.patch")

log() { echo "build-windows-deps[$arch]: $*" >&2; }

# Highest version of a source package that the deb-src lists offer.
source_version() {
    local best="" v
    for v in $(apt-cache showsrc --only-source "$1" 2>/dev/null | awk '/^Version:/ {print $2}'); do
        if [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
    done
    echo "$best"
}

declare -A version
lists_updated=0
for pkg in "${packages[@]}"; do
    version[$pkg]=$(source_version "$pkg")
    if [ -z "${version[$pkg]}" ] && [ "$lists_updated" = 0 ]; then
        log "no source package $pkg in the apt lists; running apt-get update"
        # A list that fails (a mirror mid-sync) may not be the one we need: the
        # lookup below decides.
        if [ "$(id -u)" = 0 ]; then apt-get update -q >&2 || true; else sudo apt-get update -q >&2 || true; fi
        lists_updated=1
        version[$pkg]=$(source_version "$pkg")
    fi
    if [ -z "${version[$pkg]}" ]; then
        log "cannot find the source package $pkg (are the deb-src entries of tools/setup-machine.sh in place?)"
        exit 1
    fi
done

toolchain_versions=$(dpkg-query -W -f '${Package}=${Version}\n' \
    "g++-mingw-w64-$debarch-posix" "gcc-mingw-w64-$debarch-posix" "mingw-w64-$debarch-dev" \
    "binutils-mingw-w64-$debarch" 2>/dev/null || true)
toolchain_versions+=$'\n'$("$cxx" --version | head -n 1)

key_text=$(
    for pkg in "${packages[@]}"; do echo "$pkg=${version[$pkg]}"; done
    echo "$toolchain_versions"
    sha256sum < "${BASH_SOURCE[0]}"
    for patch in "${curl_patches[@]}"; do sha256sum < "$patch"; done
)
key=$(printf '%s' "$key_text" | sha256sum | cut -c1-16)
dest=$cache/$arch-$key

if [ -f "$dest/.complete" ]; then
    echo "$dest"
    exit 0
fi

mkdir -p "$cache/src" "$cache/logs"
# Two callers building the same arch at once would race on the same folder.
exec 9> "$cache/.$arch.lock"
flock 9
if [ -f "$dest/.complete" ]; then
    echo "$dest"
    exit 0
fi

start=$(date +%s)
work=$(mktemp -d /var/tmp/quarn-deps-$arch.XXXXXX)
stage=$dest.partial
trap 'rm -rf "$work" "$stage"' EXIT
rm -rf "$stage"

# Runs a build step with its output in a log file, shown only when it fails.
step() {
    local name=$1; shift
    local logfile=$cache/logs/$arch-$key-$name.log
    if ! "$@" > "$logfile" 2>&1; then
        log "step '$name' failed; the end of $logfile:"
        tail -n 40 "$logfile" >&2
        exit 1
    fi
}

# Downloads land once in the cache; both arches unpack from there.
fetch_source() {
    local pkg=$1 ver=${version[$1]}
    local dsc=$cache/src/${pkg}_${ver#*:}.dsc
    if [ ! -f "$dsc" ]; then
        log "downloading source $pkg $ver"
        (cd "$cache/src" && apt-get source -q --download-only "$pkg=$ver") >&2
    fi
    dpkg-source --no-check -x "$dsc" "$work/$pkg" > /dev/null
}

cat > "$work/toolchain.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $arch)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

cmake_common=(
    -G Ninja
    -DCMAKE_TOOLCHAIN_FILE="$work/toolchain.cmake"
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$stage"
    -DBUILD_SHARED_LIBS=OFF
)

# The HTTP/2 library alone (no tools, no server), static. MinGW has both
# clock_gettime and GetTickCount64, a pair this version's clock code cannot
# take (it then calls a function it left out): the Windows one is used.
build_nghttp2() {
    fetch_source nghttp2
    step nghttp2-configure cmake -S "$work/nghttp2" -B "$work/nghttp2-build" "${cmake_common[@]}" \
        -DHAVE_CLOCK_GETTIME=0 -DENABLE_LIB_ONLY=ON -DENABLE_STATIC_LIB=ON -DENABLE_SHARED_LIB=OFF -DENABLE_DOC=OFF \
        -DENABLE_EXAMPLES=OFF -DENABLE_HPACK_TOOLS=OFF -DENABLE_PYTHON_BINDINGS=OFF -DWITH_JEMALLOC=OFF
    step nghttp2-build cmake --build "$work/nghttp2-build" -j "$jobs"
    step nghttp2-install cmake --install "$work/nghttp2-build"
}

# zlib's own build makes a DLL as well; only the static library is kept.
build_zlib() {
    fetch_source zlib
    step zlib-configure cmake -S "$work/zlib" -B "$work/zlib-build" "${cmake_common[@]}"
    step zlib-build cmake --build "$work/zlib-build" -j "$jobs" --target zlibstatic
    mkdir -p "$stage/lib" "$stage/include"
    install -m 644 "$work/zlib-build/libzlibstatic.a" "$stage/lib/libz.a"
    install -m 644 "$work/zlib/zlib.h" "$work/zlib-build/zconf.h" "$stage/include/"
}

build_curl() {
    fetch_source curl
    local patch
    for patch in "${curl_patches[@]}"; do
        step "curl-patch-$(basename "$patch" .patch)" patch -d "$work/curl" -p1 -i "$patch"
    done
    # HTTP only, TLS through the system's Schannel, HTTP/2 and gzip through
    # the libraries above; no certificate path of this machine baked in.
    step curl-configure cmake -S "$work/curl" -B "$work/curl-build" "${cmake_common[@]}" \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DPICKY_COMPILER=OFF \
        -DHTTP_ONLY=ON -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON \
        -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
        -DCMAKE_C_FLAGS=-DNGHTTP2_STATICLIB \
        -DUSE_NGHTTP2=ON -DNGHTTP2_INCLUDE_DIR="$stage/include" -DNGHTTP2_LIBRARY="$stage/lib/libnghttp2.a" \
        -DCURL_ZLIB=ON -DZLIB_INCLUDE_DIR="$stage/include" -DZLIB_LIBRARY="$stage/lib/libz.a" \
        -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF \
        -DCURL_USE_LIBSSH2=OFF -DCURL_USE_LIBSSH=OFF -DCURL_USE_GSSAPI=OFF \
        -DCURL_USE_LIBPSL=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF
    step curl-build cmake --build "$work/curl-build" -j "$jobs"
    step curl-install cmake --install "$work/curl-build"
    # Its files name the staging folder (the paths of nghttp2 and zlib too);
    # the libraries end up in $dest.
    { grep -rlF "$stage" "$stage/lib/cmake" "$stage/lib/pkgconfig" "$stage/bin" || true; } | xargs -r sed -i "s|$stage|$dest|g"
}

build_jsoncpp() {
    fetch_source libjsoncpp
    step jsoncpp-configure cmake -S "$work/libjsoncpp" -B "$work/jsoncpp-build" "${cmake_common[@]}" \
        -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF \
        -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF
    step jsoncpp-build cmake --build "$work/jsoncpp-build" -j "$jobs"
    step jsoncpp-install cmake --install "$work/jsoncpp-build"
}

# TinyXML has no build system worth using; Debian's rules compile three files
# with TIXML_USE_STL (tinystr is only for the non-STL flavour). Same here.
build_tinyxml() {
    fetch_source tinyxml
    local src=$work/tinyxml f
    for f in tinyxml tinyxmlparser tinyxmlerror; do
        step "tinyxml-$f" "$cxx" -O2 -DTIXML_USE_STL -c "$src/$f.cpp" -o "$src/$f.o"
    done
    mkdir -p "$stage/lib/cmake/tinyxml" "$stage/lib/pkgconfig" "$stage/include"
    step tinyxml-ar "$triple-ar" rcs "$stage/lib/libtinyxml.a" \
        "$src/tinyxml.o" "$src/tinyxmlparser.o" "$src/tinyxmlerror.o"
    install -m 644 "$src/tinyxml.h" "$stage/include/"
    cat > "$stage/lib/cmake/tinyxml/tinyxmlConfig.cmake" <<'EOF'
# TinyXML 2.6, static, built with TIXML_USE_STL.
get_filename_component(_tinyxml_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET tinyxml::tinyxml)
    add_library(tinyxml::tinyxml STATIC IMPORTED)
    set_target_properties(tinyxml::tinyxml PROPERTIES
        IMPORTED_LOCATION "${_tinyxml_prefix}/lib/libtinyxml.a"
        INTERFACE_INCLUDE_DIRECTORIES "${_tinyxml_prefix}/include"
        INTERFACE_COMPILE_DEFINITIONS TIXML_USE_STL)
endif()
unset(_tinyxml_prefix)
EOF
    cat > "$stage/lib/pkgconfig/tinyxml.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: TinyXml
Description: simple, small, C++ XML parser
Version: ${version[tinyxml]%%-*}
Libs: -L\${libdir} -ltinyxml
Cflags: -I\${includedir} -DTIXML_USE_STL
EOF
}

log "building into $dest"
build_nghttp2
build_zlib
build_curl
build_jsoncpp
build_tinyxml

printf '%s\n' "$key_text" > "$stage/quarn-deps.txt"
touch "$stage/.complete"
rm -rf "$dest"
mv "$stage" "$dest"
log "done in $(( $(date +%s) - start )) s"
echo "$dest"
