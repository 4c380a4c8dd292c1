#!/bin/sh
# Checks what the release target made: the portable zip and the installer
# hold the program, its help, its sound, the README and the licence, and
# the installer has its uninstaller and the means to add the firewall rule.
set -eu
dir=$1
zip=$dir/norrik-1.9-portable.zip
setup=$dir/norrik-1.9-setup.exe
fail() { echo "check_release: $*" >&2; exit 1; }
[ -s "$zip" ] || fail "no $zip"
[ -s "$setup" ] || fail "no $setup"
listing=$(7z l "$zip")
for file in norrik.exe nrkhelp.txt beep.wav README.md LICENSE; do
    echo "$listing" | grep -q " norrik-1.9/$file\$" || fail "$file missing from the zip"
done
listing=$(7z l "$setup")
for file in norrik.exe nrkhelp.txt beep.wav README.md LICENSE; do
    echo "$listing" | grep -q " $file\$" || fail "$file missing from the installer"
done
# The firewall rule is run through nsExec, and the uninstaller is written at
# install time: both leave their mark in the listing.
for file in '$PLUGINSDIR/nsExec.dll' uninstall.exe; do
    echo "$listing" | grep -qF " $file" || fail "$file missing from the installer"
done
echo "release packages checked: $zip, $setup"
