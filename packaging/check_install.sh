#!/bin/sh
# Installs the release under Wine, silently, checks what a user gets, then
# uninstalls it and checks that it is gone. Usage: check_install.sh WINE-RUN
# WINEPREFIX RELEASE-DIR NETSH-STANDIN VERSION
set -eu
wine_run=$1
prefix=$2
version=$5
setup=$3/norrik-$version-setup.exe
dir="$prefix/drive_c/Program Files/Norrik"
menu="$prefix/drive_c/users/$(id -un)/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Norrik"
fail() { echo "check_install: $*" >&2; exit 1; }

# Wine has no firewall: a stand-in takes netsh's place in the system folder
# for the install and the uninstall, and notes how it was started. Wine
# prefers its own netsh unless told to load the one on disk.
netsh="$prefix/drive_c/windows/system32/netsh.exe"
netsh_log="$prefix/drive_c/netsh.log"
cp "$netsh" "$netsh.norrik-check"
trap 'mv -f "$netsh.norrik-check" "$netsh"' EXIT
cp "$4" "$netsh"
rm -f "$netsh_log"
export NORRIK_NETSH_LOG='C:\netsh.log' WINEDLLOVERRIDES="mscoree,mshtml=;netsh.exe=n"
run_windows() { WINEPREFIX="$prefix" WINEDEBUG=-all wine "$@" >"$prefix/check_install.out" 2>&1 </dev/null; }

run_windows "$setup" /S || fail "the installer failed"
for file in norrik.exe nrkhelp.txt beep.wav README.md LICENSE uninstall.exe; do
    [ -s "$dir/$file" ] || fail "$file not installed"
done
cmp -s "$dir/norrik.exe" "$(dirname "$wine_run")/bin/norrik.exe" || fail "installed norrik.exe is not the one built"
[ -f "$menu/Norrik.lnk" ] || fail "no Start menu entry"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Norrik'
"$wine_run" reg query "$uninstall_key" /v UninstallString >/dev/null || fail "no uninstall entry in the registry"
# The list of installed programs shows the name and version, which the
# package managers also match against.
entry=$("$wine_run" reg query "$uninstall_key" | tr -d '\r')
for value in "DisplayName REG_SZ Norrik $version" "DisplayVersion REG_SZ $version"; do
    echo "$entry" | sed 's/^ *//; s/  */ /g' | grep -qxF "$value" || fail "no '$value' in the uninstall entry: $entry"
done

run_windows "$dir/uninstall.exe" /S || fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself; give it a bounded while.
for _ in $(seq 1 100); do
    [ ! -e "$dir" ] && [ ! -e "$menu" ] && break
    sleep 0.1
done
[ ! -e "$dir" ] || fail "the program folder is still there"
# The rule: netsh by its full path, for the program, on private and domain
# networks only; and the uninstaller removes it the same way.
system32='"C:\windows\system32\netsh.exe"'
expected_add="$system32 advfirewall firewall add rule name=\"Norrik chat (TCP 6374)\" dir=in action=allow protocol=TCP localport=6374 program=\"C:\Program Files\Norrik\norrik.exe\" profile=private,domain"
expected_delete="$system32 advfirewall firewall delete rule name=\"Norrik chat (TCP 6374)\""
[ -f "$netsh_log" ] || fail "netsh was never run"
[ "$(tr -d '\r' <"$netsh_log")" = "$(printf '%s\n%s' "$expected_add" "$expected_delete")" ] ||
    fail "netsh ran as: $(cat "$netsh_log")"
[ ! -e "$menu" ] || fail "the Start menu folder is still there"
if "$wine_run" reg query "$uninstall_key" >/dev/null 2>&1; then fail "the uninstall entry is still there"; fi
echo "installed, checked and uninstalled under Wine"
