# Shared by scripts/run and scripts/test: install what is missing, configure
# and build. Sourced, not run.

NORRIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
NORRIK_BUILD=${NORRIK_BUILD:-$NORRIK_ROOT/build}

# Debian packages, installed only when missing, so a second run costs nothing.
# The terminal program needs only the first list. The Windows builds make
# their libsodium from Debian's source package (cmake/build-libsodium.sh):
# dpkg-dev unpacks it, the autotools build it.
NORRIK_TERM_PACKAGES=(cmake ninja-build g++ python3 libncurses-dev libsodium-dev)
NORRIK_BUILD_PACKAGES=("${NORRIK_TERM_PACKAGES[@]}" g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
                       dpkg-dev autoconf automake libtool make)
NORRIK_WIN32_PACKAGES=(g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-multilib)
NORRIK_WINE_PACKAGES=(wine wine64 fonts-wine)
NORRIK_TEST_PACKAGES=(googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev
                      xvfb xauth x11-utils imagemagick nsis p7zip-full iproute2 util-linux
                      tmux dpkg-dev file gzip groff-base python3-dissononce)

ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "Need root (or sudo) to install: ${missing[*]}" >&2; exit 1; }
        sudo=sudo
    fi
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
}

configure_and_build_windows() {
    cmake -S "$NORRIK_ROOT" -B "$NORRIK_BUILD/win64" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$NORRIK_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DNORRIK_WINEPREFIX="$NORRIK_BUILD/wineprefix" \
        -DNORRIK_TERMINAL_PROGRAM="$NORRIK_BUILD/native/src/term/norrik" >/dev/null
    cmake --build "$NORRIK_BUILD/win64" "$@"
}

# The terminal program as it is shipped: optimised, without sanitizers and
# without tests but the check of its Debian package.
configure_and_build_terminal() {
    cmake -S "$NORRIK_ROOT" -B "$NORRIK_BUILD/term" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DNORRIK_SANITIZE= -DNORRIK_TESTS=OFF >/dev/null
    cmake --build "$NORRIK_BUILD/term" "$@"
}

# True when a do-nothing C program built with gcc and the given flags runs
# here, through the command given, if any. It must exit with 42: where
# execve answers "Exec format error" a shell reads the program as a script
# instead, so no message is trusted.
probe_runs() {
    local dir=$1 flags=$2
    shift 2
    mkdir -p "$dir"
    printf 'int main(void) { return 42; }\n' >"$dir/probe.c"
    gcc $flags -o "$dir/probe" "$dir/probe.c" >/dev/null 2>&1 || return 1
    local status=0
    "$@" "$dir/probe" >/dev/null 2>&1 || status=$?
    [ "$status" -eq 42 ]
}

wine_environment() {
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml="
}

# Creates the Wine prefix once; later runs reuse it.
ensure_wineprefix() {
    export WINEPREFIX=$1
    wine_environment
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "Creating Wine prefix in $WINEPREFIX (once)..."
        mkdir -p "$WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        timeout 60 wineserver -w || true
    fi
    # Debian's Wine does not find its own Marlett font, which draws the
    # caption buttons; without it they show as "0 1 r".
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    if [ ! -f "$fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        mkdir -p "$fonts" && cp /usr/share/wine/fonts/marlett.ttf "$fonts/"
    fi
}

# Windows of the prefix live in one Wine virtual desktop. Without a window
# manager, Wine waits up to two seconds for every top-level window it hides
# or destroys to be withdrawn; inside a virtual desktop it does not.
use_virtual_desktop() {
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$1" /f >/dev/null 2>&1
}

# A private X server for the Wine tests, whatever display the caller has,
# on the first free display number from FIRST (99) up; it and the
# wineserver this run started (claim_wineprefix) stop when the calling
# script exits. Two runs on this machine can find the same number free at
# the same moment: only one Xvfb gets the display's lock file and the other
# ends at once, and a run that went on with the number would draw on the
# other run's server and lose it when that run ends. A display counts as
# this run's only once its lock file names this run's Xvfb.
start_test_display() {
    local display=${1:-99} attempt
    NORRIK_XVFB_PID=""
    trap stop_test_session EXIT
    for attempt in $(seq 1 20); do
        while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
        Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        NORRIK_XVFB_PID=$!
        if display_is_ours "$display"; then
            export DISPLAY=":$display"
            return 0
        fi
        kill "$NORRIK_XVFB_PID" >/dev/null 2>&1 || true
        NORRIK_XVFB_PID=""
        display=$((display + 1))
    done
    echo "Xvfb did not start on a display of its own in $attempt tries: the Win32 tests need it." >&2
    exit 1
}

# True once the Xvfb just started holds the lock file of display $1 and
# answers there; false once it has ended (another server got the number)
# or after 10 s.
display_is_ours() {
    local _
    for _ in $(seq 1 100); do
        kill -0 "$NORRIK_XVFB_PID" 2>/dev/null || return 1
        if [ "$(tr -d ' \n' 2>/dev/null <"/tmp/.X$1-lock")" = "$NORRIK_XVFB_PID" ] &&
            xdpyinfo -display ":$1" >/dev/null 2>&1; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# What start_test_display and claim_wineprefix started, and nothing else:
# another run's wineserver or X server is not this run's to stop.
stop_test_session() {
    if [ -n "${NORRIK_WINESERVER_OURS:-}" ]; then wineserver -k >/dev/null 2>&1 || true; fi
    if [ -n "${NORRIK_XVFB_PID:-}" ]; then kill "$NORRIK_XVFB_PID" >/dev/null 2>&1 || true; fi
}

# Makes prefix $1 this run's: its own persistent wineserver, started here.
# scripts/test, scripts/bench and scripts/mutants all use build/wineprefix,
# and each stops the prefix's server when it ends; a Wine program whose
# server stops under it ends without a word, with status 0, 1 or SIGQUIT
# (docs/wine.md). The server is also where the programs' sockets live, so
# a run in a network namespace of its own must not use a server started
# outside it. So one run at a time holds the prefix: the server it starts
# inherits the lock on $1.lock and keeps it until it ends, however the run
# ends; another run waits for it (20 minutes at most). A server that holds
# no lock belongs to no run (a program started there by hand) and is
# stopped first.
claim_wineprefix() {
    local lock
    exec {lock}>>"$1.lock"
    if ! flock -n "$lock"; then
        echo "Another run (scripts/test, scripts/bench or scripts/mutants) is using $1; waiting for it to end..." >&2
        if ! flock -w 1200 "$lock"; then
            exec {lock}>&-
            echo "$1 was still in use after 20 minutes. If no run is left, its wineserver was left behind:" \
                 "WINEPREFIX=$1 wineserver -k stops it." >&2
            return 1
        fi
    fi
    ensure_wineprefix "$1"
    wineserver -k >/dev/null 2>&1 || true
    wineserver -p
    NORRIK_WINESERVER_OURS=1
    # From here the server holds the lock; programs started later must not,
    # or one left running would keep the prefix from the next run.
    exec {lock}>&-
}

# The build's own prefix, its server kept up between the tests' processes,
# and the virtual desktop the GUI tests share.
prepare_test_wineprefix() {
    claim_wineprefix "$NORRIK_BUILD/wineprefix"
    use_virtual_desktop 1280x1024
}

# The tests listen on and connect to port 6374 of 127.0.0.1. As root they
# run in a network namespace of their own (only a loopback), so that no
# other program on this machine, such as a running Norrik or another test
# run, can hold that port or answer on it. Re-runs the calling script
# there with the same arguments; where no namespace can be made it says so
# and goes on as it is.
enter_private_network() {
    if [ -n "${NORRIK_NETNS:-}" ]; then
        ip link set lo up
        return 0
    fi
    if [ "$(id -u)" -ne 0 ] || ! unshare --net true 2>/dev/null; then
        echo "Note: no private network namespace here (it needs root); the tests share this machine's loopback."
        return 0
    fi
    exec unshare --net env NORRIK_NETNS=1 "$@"
}
