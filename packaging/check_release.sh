#!/bin/sh
# Checks what the release target made: the portable zip and the installer
# hold the program, its help, its sound, the README and the licence, and
# the installer has its uninstaller and the means to add the firewall rule;
# the program in the zip carries the project's version in its version
# record and its About box. Usage: check_release.sh RELEASE-DIR VERSION
set -eu
dir=$1
version=$2
zip=$dir/norrik-$version-portable.zip
setup=$dir/norrik-$version-setup.exe
fail() { echo "check_release: $*" >&2; exit 1; }
[ -s "$zip" ] || fail "no $zip"
[ -s "$setup" ] || fail "no $setup"
listing=$(7z l "$zip")
for file in norrik.exe nrkhelp.txt beep.wav README.md LICENSE; do
    echo "$listing" | grep -q " norrik-$version/$file\$" || fail "$file missing from the zip"
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

# The version record as 7-Zip reads it from the program, and the About box's
# line: after the STATIC class (FFFF 0082), in UTF-16 up to its terminator.
exe=$(mktemp)
trap 'rm -f "$exe"' EXIT
7z x -so "$zip" "norrik-$version/norrik.exe" >"$exe" 2>/dev/null || fail "cannot unpack norrik.exe from the zip"
record=$(7z x -so "$exe" .rsrc/version.txt | tr -d '\0\r' | sed 's/^ *//; s/  */ /g')
numbers=$(echo "$version.0.0.0" | cut -d. -f1-4)
for line in "FILEVERSION $(echo "$numbers" | tr . ,)" "PRODUCTVERSION $(echo "$numbers" | tr . ,)" \
            "VALUE \"FileVersion\", \"$numbers\"" "VALUE \"ProductVersion\", \"$version\""; do
    echo "$record" | grep -qxF "$line" || fail "the version record of norrik.exe has no line '$line'"
done
hex() { od -An -v -tx1 | tr -d ' \n'; }
about="ffff8200$(printf 'Norrik Version %s' "$version" | iconv -t UTF-16LE | hex)0000"
case $(7z x -so "$exe" '.rsrc/DIALOG/*' | hex) in
    *"$about"*) ;;
    *) fail "no About box text 'Norrik Version $version' in norrik.exe" ;;
esac
echo "release packages checked: $zip, $setup"
