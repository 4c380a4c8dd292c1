#!/bin/sh
# Builds Debian's own libsodium source package into a static library for a
# build that Debian ships no libsodium for: Windows (MinGW-w64, 64 and 32
# bits) and 32-bit Linux. cmake/sodium.cmake runs it at configure time when
# ROOT/HOST holds no finished build, so a second build reuses the first.
#   build-libsodium.sh ROOT HOST CC [CFLAGS]
# The source comes through apt with a source list, package lists and cache of
# its own under ROOT/apt, made from the Debian archives this machine's apt
# already uses: the machine's apt configuration is read, never changed.
set -eu
root=$1 host=$2 cc=$3 cflags=${4:-}
prefix=$root/$host
mkdir -p "$root"
# Two configures at once (a test run and the mutation check) build it once.
exec 9>"$root/lock"
flock 9
[ -f "$prefix/built" ] && exit 0

fetch_source() {
    [ -f "$root/source/unpacked" ] && return 0
    apt=$root/apt
    rm -rf "$apt" "$root/source"
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$root/source"
    # Every archive of the machine's own source lists, as a deb-src line.
    apt-get indextargets --no-release-info --format 'deb-src $(REPO_URI) $(RELEASE) $(COMPONENT)' |
        sort -u >"$apt/sources.list"
    [ -s "$apt/sources.list" ] || { echo "build-libsodium: this machine's apt lists no archive" >&2; exit 1; }
    set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/sources.list.d" \
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Sandbox::User=root
    # An archive without sources fails its part of the update alone; the
    # source package then comes from the others, or the next step says so.
    apt-get "$@" update || echo "build-libsodium: some archives gave no source index (see above)" >&2
    # The version of the native build's libsodium-dev, when it is installed;
    # if an archive lists it but cannot give its files (a mirror may lack a
    # pool), then what each archive in turn gives.
    version=$(dpkg-query -W -f='${Version}' libsodium-dev 2>/dev/null || true)
    for wanted in "libsodium${version:+=$version}" $(awk '{print "libsodium/" $3}' "$apt/sources.list"); do
        if (cd "$root/source" && apt-get "$@" source "$wanted"); then
            # The source has no configure script: Debian's build makes it.
            (cd "$root/source"/libsodium-*/ && autoreconf -fi)
            touch "$root/source/unpacked"
            return 0
        fi
    done
    echo "build-libsodium: no archive gave the libsodium source package" >&2
    exit 1
}

fetch_source
source_dir=$(find "$root/source" -mindepth 1 -maxdepth 1 -type d -name 'libsodium-*' | head -n 1)
[ -n "$source_dir" ] || { echo "build-libsodium: no libsodium source in $root/source" >&2; exit 1; }
work=$root/build-$host
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
# No stack protector: MinGW's needs libssp, which a static norrik.exe does
# not link.
"$source_dir/configure" --host="$host" --prefix="$prefix" --disable-shared --enable-static \
    --disable-ssp --disable-dependency-tracking CC="$cc" CFLAGS="-O2 $cflags"
make -j2
make install
cd "$root"
rm -rf "$work"
basename "$source_dir" >"$prefix/built"
