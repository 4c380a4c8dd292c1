#!/bin/sh
# Copies the shared Wine prefix for tests that need a wineserver of their
# own, and sets the copy's desktop: the virtual one the shared prefix uses,
# and the given LogPixels (screen DPI), if any. With --remove, stops the
# copy's server and removes it.
set -e
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ "$1" = --remove ]; then
    WINEPREFIX=$2 wineserver -k 2>/dev/null || true
    rm -rf "$2"
    exit 0
fi
rm -rf "$2"
cp -a "$1" "$2"
export WINEPREFIX=$2
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null
[ -z "${3:-}" ] || wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$3" /f >/dev/null
wineserver -w
