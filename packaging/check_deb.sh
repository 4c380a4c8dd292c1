#!/bin/sh
# Makes the Debian package of the terminal program with cpack and checks
# what a user gets: the program and its manual page where Debian puts them,
# the control fields, and the version the installed program tells; and that
# `cmake --install` puts the same two files under a prefix. Usage:
# check_deb.sh CMAKE CPACK BUILD-DIR VERSION
set -eu
cmake=$1
cpack=$2
build=$3
version=$4
fail() { echo "check_deb: $*" >&2; exit 1; }

work=$build/deb-check
rm -rf "$work"
mkdir -p "$work"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$work/cpack.log")"
set -- "$work"/*.deb
[ $# -eq 1 ] && [ -s "$1" ] || fail "cpack made not one package but: $(ls "$work")"
deb=$1

field() { dpkg-deb -f "$deb" "$1"; }
arch=$(dpkg --print-architecture)
[ "$(field Package)" = norrik ] || fail "Package is '$(field Package)', not norrik"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(basename "$deb")" = "norrik_${version}_$arch.deb" ] || fail "the package is named $(basename "$deb")"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not $arch"
[ "$(field Section)" = net ] || fail "Section is '$(field Section)', not net"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
# The C library, the terminal library and libsodium, which the program
# links, must be installed with it: their packages, as dpkg-shlibdeps names
# them.
depends=$(field Depends)
echo "$depends" | grep -Eq '(^|, )libc6( |,|$)' || fail "Depends has no libc6: $depends"
echo "$depends" | grep -Eq '(^|, )(libncursesw?6|libtinfo6)( |,|$)' || fail "Depends has no ncurses library: $depends"
echo "$depends" | grep -Eq '(^|, )libsodium23( |,|$)' || fail "Depends has no libsodium23: $depends"
# A sanitized program would want the sanitizers' libraries, and run slowly.
if echo "$depends" | grep -Eq 'lib(a|ub)san'; then fail "the packaged program is sanitized: $depends"; fi

listing=$(dpkg-deb -c "$deb")
entry() { echo "$listing" | awk -v path="$1" '$6 == path { print $1 }'; }
case $(entry ./usr/bin/norrik) in
    -rwx*x) ;;
    *) fail "no executable ./usr/bin/norrik in the package: $listing" ;;
esac
[ -n "$(entry ./usr/share/man/man1/norrik.1.gz)$(entry ./usr/share/man/man1/norrik.1)" ] ||
    fail "no manual page in ./usr/share/man/man1/: $listing"
[ -n "$(entry ./usr/share/doc/norrik/copyright)" ] || fail "no ./usr/share/doc/norrik/copyright"

# The unpacked tree as dpkg would lay it out: the program runs from it and
# tells its version, and its manual page is the one of this version.
dpkg-deb -x "$deb" "$work/root"
said=$("$work/root/usr/bin/norrik" --version) || fail "the packaged norrik --version failed"
[ "$said" = "norrik $version" ] || fail "the packaged norrik --version says '$said', not 'norrik $version'"
page=$work/root/usr/share/man/man1/norrik.1
[ -f "$page.gz" ] && gzip -dc "$page.gz" >"$page"
head -n 5 "$page" | grep -qF ".TH NORRIK 1 \"\" \"Norrik $version\"" || fail "the manual page is not of version $version"
# As man would lay it out, with every warning groff has.
warnings=$(groff -man -Tutf8 -ww -z "$page" 2>&1) || fail "groff cannot lay out the manual page: $warnings"
[ -z "$warnings" ] || fail "the manual page has warnings: $warnings"

# cmake --install into a prefix of our own: the program in bin/, the page
# in share/man/man1/.
"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$work/install.log")"
[ -x "$work/prefix/bin/norrik" ] || fail "cmake --install put no program in bin/"
ls "$work/prefix/share/man/man1/norrik.1"* >/dev/null 2>&1 || fail "cmake --install put no manual page in share/man/man1/"
said=$("$work/prefix/bin/norrik" --version) || fail "the installed norrik --version failed"
[ "$said" = "norrik $version" ] || fail "the installed norrik --version says '$said', not 'norrik $version'"
echo "checked $deb: $(field Package) $(field Version), Depends: $depends"
