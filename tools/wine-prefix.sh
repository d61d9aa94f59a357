#!/usr/bin/env bash
# Makes the Wine prefix the Windows tests run in: a 64-bit prefix (it runs
# 32-bit programs too) whose fonts cover Chinese text. The program asks for
# "宋体" and "Arial", which Wine does not ship, so they are mapped onto the
# Debian fonts fonts-wqy-zenhei and fonts-liberation, and the dialog fonts
# fall back to WenQuanYi for characters they lack.
#
#   tools/wine-prefix.sh [PREFIX]
#
# Without PREFIX the prefix lives in ${QUARN_WINE_CACHE:-/var/cache/quarn-wine}
# under a name that hashes the Wine version and this script, so it is made once
# per machine and remade when either changes. An existing, finished prefix is
# left alone. The prefix's path is the last line on stdout.
set -euo pipefail

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver

log() { echo "wine-prefix: $*" >&2; }

if [ ! -x "$wine64" ]; then
    log "$wine64 is missing; run tools/setup-machine.sh"
    exit 1
fi

if [ $# -ge 1 ]; then
    prefix=$(realpath -m "$1")
else
    cache=${QUARN_WINE_CACHE:-/var/cache/quarn-wine}
    key=$({ "$wine64" --version; sha256sum < "${BASH_SOURCE[0]}"; } | sha256sum | cut -c1-12)
    prefix=$cache/prefix-$key
fi

if [ -f "$prefix/.quarn-ready" ]; then
    echo "$prefix"
    exit 0
fi

mkdir -p "$(dirname "$prefix")"
# Tests started in parallel may all ask for the prefix at once.
exec 9> "$prefix.lock"
flock 9
if [ -f "$prefix/.quarn-ready" ]; then
    echo "$prefix"
    exit 0
fi

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Some registry names below are Chinese; a UTF-8 locale keeps them intact.
export LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY

start=$(date +%s)
log "creating $prefix"
# Remake only what an interrupted run of this script left; never someone's prefix.
if [ -e "$prefix" ]; then
    if [ ! -f "$prefix/.quarn-partial" ]; then
        log "$prefix exists and was not made here; choose another folder"
        exit 1
    fi
    rm -rf "$prefix"
fi
mkdir -p "$prefix"
touch "$prefix/.quarn-partial"
# Wine's services outlive the command: they must not inherit the lock (fd 9),
# or a run that is stopped mid-way leaves the prefix locked for good.
"$wine64" wineboot -i > /dev/null 2>&1 9>&-
"$wineserver" -w 9>&-

link='wqy-zenhei.ttc,WenQuanYi Zen Hei'
regfile=$(mktemp /tmp/quarn-fonts.XXXXXX.reg)
trap 'rm -f "$regfile"' EXIT
{
    printf '\xef\xbb\xbfWindows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in 宋体 SimSun NSimSun; do
        printf '"%s"="WenQuanYi Zen Hei"\r\n' "$face"
    done
    printf '"Arial"="Liberation Sans"\r\n\r\n'
    printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
    for face in Arial Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
        # REG_MULTI_SZ holding one string, as hex(7) UTF-16LE.
        hex=$(printf '%s' "$link" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' | sed 's/^,//; s/,$//')
        printf '"%s"=hex(7):%s,00,00,00,00\r\n' "$face" "$hex"
    done
    printf '\r\n'
    # Direct connections, no proxy discovery: without this value WinHTTP
    # assumes discovery and would look up "wpad" on the network.
    printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections]\r\n'
    printf '"DefaultConnectionSettings"=hex:46,00,00,00,01,00,00,00,01,00,00,00,00,00,00,00,00,00,00,00,00,00,00,00'
    printf ',00%.0s' $(seq 32)
    printf '\r\n\r\n'
} > "$regfile.utf8"
# Windows reads version-5 registry files as UTF-16LE.
iconv -f UTF-8 -t UTF-16LE < "$regfile.utf8" > "$regfile"
rm -f "$regfile.utf8"
winreg=$("$wine64" winepath -w "$regfile" 2>/dev/null | tr -d '\r')
# 32-bit programs see their own view of HKLM\Software in a 64-bit prefix.
"$wine64" reg import "$winreg" /reg:64 > /dev/null 9>&-
"$wine64" reg import "$winreg" /reg:32 > /dev/null 9>&-
"$wineserver" -w 9>&-

rm -f "$prefix/.quarn-partial"
touch "$prefix/.quarn-ready"

# A prefix takes over a gigabyte: drop cached ones of other versions that
# have not been made for a day (a run of an older checkout may still use one).
if [ $# -eq 0 ]; then
    for old in "$cache"/prefix-*/.quarn-ready; do
        old=$(dirname "$old")
        if [ "$old" != "$prefix" ] && [ -n "$(find "$old/.quarn-ready" -mtime +0 2> /dev/null)" ]; then
            log "removing the old prefix $old"
            rm -rf "$old" "$old.lock"
        fi
    done
fi
log "ready in $(( $(date +%s) - start )) s"
echo "$prefix"
