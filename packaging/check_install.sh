#!/bin/sh
# Installs the release under Wine, silently, checks what a user gets, then
# uninstalls it and checks that it is gone. Usage: check_install.sh WINE-RUN
# WINEPREFIX RELEASE-DIR
set -eu
wine_run=$1
prefix=$2
setup=$3/norrik-1.9-setup.exe
dir="$prefix/drive_c/Program Files/Norrik"
menu="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Norrik"
fail() { echo "check_install: $*" >&2; exit 1; }

"$wine_run" "$setup" /S || fail "the installer failed"
for file in norrik.exe nrkhelp.txt beep.wav README.md LICENSE uninstall.exe; do
    [ -s "$dir/$file" ] || fail "$file not installed"
done
cmp -s "$dir/norrik.exe" "$(dirname "$wine_run")/bin/norrik.exe" || fail "installed norrik.exe is not the one built"
[ -f "$menu/Norrik.lnk" ] || fail "no Start menu entry"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norrik'
"$wine_run" reg query "$uninstall_key" /v UninstallString >/dev/null || fail "no uninstall entry in the registry"

"$wine_run" "$dir/uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself; give it a bounded while.
for _ in $(seq 1 100); do
    [ ! -e "$dir" ] && [ ! -e "$menu" ] && break
    sleep 0.1
done
[ ! -e "$dir" ] || fail "the program folder is still there"
[ ! -e "$menu" ] || fail "the Start menu folder is still there"
if "$wine_run" reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall entry is still there"; fi
echo "installed, checked and uninstalled under Wine"
