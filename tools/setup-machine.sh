#!/usr/bin/env bash
# Installs everything Quarn needs on a fresh Debian 12 machine: native and
# MinGW compilers, Wine (64-bit and 32-bit), QEMU user mode for the 32-bit
# loader, Xvfb, fonts, and the libraries. Safe to run again.
#
# Needs root for apt-get and QEMU's registration: a user with sudo is asked
# once here; root runs it as it is (a minimal Debian has no sudo).
set -euo pipefail

if [ "$(id -u)" != 0 ]; then
    exec sudo QUARN_CACHE_OWNER="$(id -un)" bash "$0" "$@"
fi

SOURCES=/etc/apt/sources.list.d/quarn.sources
need_update=0

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    need_update=1
fi

if [ ! -f "$SOURCES" ]; then
    cat > "$SOURCES" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    need_update=1
fi

# A mirror caught mid-sync serves an index of the wrong size: try again, and
# if a list still fails, go on with the lists apt has rather than stop the
# setup (the next run updates again).
update_package_lists() {
    local attempt
    for attempt in 1 2 3; do
        apt-get update -q && return 0
        [ "$attempt" = 3 ] || { echo "setup: apt-get update failed (attempt $attempt); trying again" >&2; sleep $((attempt * 15)); }
    done
    echo "setup: apt-get update still fails; going on with the lists apt has" >&2
    return 1
}

# Without a fresh security list for one architecture (i386, say), its
# packages would lag the other's and the 32-bit Wine could not be installed
# beside the 64-bit one. This run then takes both from the point release,
# which is consistent, and leaves the security updates to the next.
install_options=()
hold_back_security() {
    local preferences
    preferences=$(mktemp)
    printf 'Package: *\nPin: release l=Debian-Security\nPin-Priority: 50\n' > "$preferences"
    install_options=(-o "Dir::Etc::Preferences=$preferences")
    echo "setup: security updates held back in this run: their lists are incomplete" >&2
}

stamp=/var/lib/apt/periodic/quarn-update-stamp
if [ "$need_update" = 1 ] || [ ! -f "$stamp" ]; then
    if update_package_lists; then
        mkdir -p "$(dirname "$stamp")" && touch "$stamp"
    else
        hold_back_security
    fi
fi

export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q --no-install-recommends "${install_options[@]}" \
    build-essential cmake ninja-build pkg-config dpkg-dev clang clang-format-14 \
    libcurl4-openssl-dev libjsoncpp-dev libtinyxml-dev libgtest-dev libgmock-dev libbenchmark-dev \
    g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools \
    wine wine64 wine32:i386 libwine:i386 \
    xvfb xdotool x11-apps imagemagick librsvg2-bin \
    fonts-wqy-zenhei fonts-liberation \
    curl valgrind python3 file ccache locales xcompmgr nsis openssl nghttp2-proxy

# Wine runs in a Chinese locale, so the ANSI code page is 936 as on the
# systems the program is made for.
if ! locale -a 2>/dev/null | grep -qx zh_CN.utf8; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
fi

# The 32-bit Wine loader runs through QEMU user mode; bookworm's own QEMU
# cannot run it, the backported one can.
apt-get install -y -q --no-install-recommends "${install_options[@]}" -t bookworm-backports qemu-user qemu-user-binfmt

# Register QEMU for 32-bit x86 ELF files: the host kernel cannot run them itself,
# so Wine's 32-bit loader goes through qemu-i386.
if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc || true
fi
if [ -e /proc/sys/fs/binfmt_misc/register ] && [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:F' \
        > /proc/sys/fs/binfmt_misc/register
fi

# The caches the other scripts fill without root: owned by whoever asked for
# the setup, so builds and the Wine prefix (Wine refuses a prefix that is not
# the user's own) need no sudo afterwards.
owner=${QUARN_CACHE_OWNER:-root}
for dir in /var/cache/quarn-deps /var/cache/quarn-wine /var/cache/quarn-ccache /var/cache/quarn-tls \
           /var/cache/quarn-service-data /var/lib/quarn; do
    mkdir -p "$dir"
    if [ "$(stat -c %U "$dir")" != "$owner" ]; then
        chown -R "$owner:" "$dir"
    fi
done
