#!/usr/bin/env bash
# Runs a Windows program under Wine; the cross builds use it as
# CMAKE_CROSSCOMPILING_EMULATOR, so ctest runs Windows tests through it.
#
#   tools/wine-run.sh PROGRAM.exe [ARGS...]
#
# 64-bit programs go to wine64; 32-bit ones to the 32-bit loader, which runs
# through qemu-i386 on this host. WINEPREFIX comes from the environment, or is
# the shared prefix that tools/wine-prefix.sh makes. DISPLAY is passed on when
# set (Xvfb); console tests need none. The program's exit code is returned.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
    exit 2
fi
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
program=$1
shift

# PE machine field: at the offset stored at 0x3c, after the "PE\0\0" signature.
pe_machine() {
    local off
    off=$(od -An -t u4 -j 60 -N 4 "$1" | tr -d ' ')
    od -An -t x2 -j $((off + 4)) -N 2 "$1" | tr -d ' '
}

if [ ! -f "$program" ]; then
    echo "wine-run: no such program: $program" >&2
    exit 2
fi
case "$(pe_machine "$program")" in
    8664) loader=/usr/lib/wine/wine64 ;;
    014c) loader=/usr/lib/wine/wine ;;
    *) echo "wine-run: $program is not an x86 or x86-64 PE file" >&2; exit 2 ;;
esac

if [ -z "${WINEPREFIX:-}" ]; then
    WINEPREFIX=$(bash "$here/wine-prefix.sh" | tail -n 1)
fi
export WINEPREFIX
export WINEDEBUG=${QUARN_WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# The Unix locale sets Windows' locale and ANSI code page. The program is
# written for Chinese Windows (code page 936), so that is the default;
# QUARN_WINE_LANG picks another. Without the locale on this machine Wine
# would quietly fall back to English (code page 1252): say so.
wine_lang=${QUARN_WINE_LANG:-zh_CN.UTF-8}
wanted=$(tr 'A-Z' 'a-z' <<< "${wine_lang//-/}")
if ! locale -a 2> /dev/null | tr 'A-Z' 'a-z' | tr -d '-' | grep -qxF "$wanted"; then
    echo "wine-run: locale $wine_lang is missing (make it with: localedef -i zh_CN -f UTF-8 zh_CN.UTF-8); using C.UTF-8" >&2
    wine_lang=C.UTF-8
fi
export LANG=$wine_lang
unset LC_ALL LANGUAGE

exec "$loader" "$program" "$@"
