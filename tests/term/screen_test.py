#!/usr/bin/env python3
"""The terminal program's screen in a real terminal (tmux), with a raw peer
of the test's own on 127.0.0.1: what the screen shows and what goes on the
wire. Usage: screen_test.py NORRIK. Every wait is bounded."""
import os
import re
import pty
import select
import socket
import subprocess
import sys
import tempfile
import time

NORRIK = sys.argv[1]
SERVER = "screen-test-%d" % os.getpid()
WAIT = 5.0


# The program and tmux in a UTF-8 locale, as a user's terminal is.
UTF8 = dict(os.environ, LC_ALL="C.UTF-8")


def tmux(*args):
    return subprocess.run(["tmux", "-L", SERVER] + list(args), capture_output=True, text=True,
                          timeout=WAIT, env=UTF8).stdout


def screen():
    return tmux("capture-pane", "-p", "-t", "t")


def wait_for(part, shows=None):
    """The screen once it shows part (or once shows(screen) holds)."""
    end = time.time() + WAIT
    while time.time() < end:
        shown = screen()
        if (shows(shown) if shows else part in shown):
            return shown
        time.sleep(0.05)
    raise AssertionError("the screen never showed %r:\n%s" % (part, screen()))


def message(code, text):
    data = (bytes([2, code]) if code else b"\x01") + text + b"\x0c\x0d"
    return data + b"\0" * (-len(data) % 10)


def read(peer, count):
    data = b""
    end = time.time() + WAIT
    while len(data) < count and time.time() < end:
        try:
            block = peer.recv(count - len(data))
        except socket.timeout:
            continue
        if not block:
            break
        data += block
    return data


def leaves_when_the_terminal_goes():
    """A first start: without a settings file, the login name is the
    nickname, and the first line says so. Then a terminal that goes away
    without a SIGHUP (the program's session has no controlling terminal):
    standard input hangs up, and the program leaves rather than spin on it."""
    master, slave = pty.openpty()
    program = subprocess.Popen([NORRIK], stdin=slave, stdout=slave, stderr=slave, start_new_session=True,
                               env=dict(UTF8, HOME=tempfile.mkdtemp(), TERM="xterm", LOGNAME="penguin"))
    os.close(slave)
    shown, end = b"", time.time() + WAIT
    while b"penguin" not in shown and time.time() < end:
        if select.select([master], [], [], 0.1)[0]:
            shown += os.read(master, 4096)
    assert b"Your nickname is penguin" in shown, shown
    os.close(master)
    end, pid = time.time() + WAIT, 0
    while pid == 0 and time.time() < end:
        time.sleep(0.05)
        pid, _, usage = os.wait4(program.pid, os.WNOHANG)
    if pid == 0:
        program.kill()
        program.wait()
        raise AssertionError("still running after its terminal went away")
    assert usage.ru_utime + usage.ru_stime < 1.0, "it spun: %.2f s of CPU" % (usage.ru_utime + usage.ru_stime)


def main():
    if subprocess.run(["sh", "-c", "command -v tmux"], capture_output=True).returncode != 0:
        print("skipped: tmux is not installed")
        return 77
    home = tempfile.mkdtemp()
    os.makedirs(home + "/.config/norrik")
    with open(home + "/.config/norrik/settings.ini", "w") as settings:
        settings.write("Nickname=Tux\n")
    tmux("-f", "/dev/null", "new-session", "-d", "-s", "t", "-x", "80", "-y", "24",
         "env HOME=%s TERM=xterm-256color LC_ALL=C.UTF-8 %s --server" % (home, NORRIK))
    try:
        # The platform's own words: no WinSock.
        shown = wait_for("***Your IP number is: ")
        assert "Using POSIX sockets" in shown and "WinSock" not in shown, shown
        peer = socket.create_connection(("127.0.0.1", 6374), timeout=WAIT)
        peer.settimeout(0.2)
        assert read(peer, 20) == message(0x20, b"Tux"), "the greeting"
        # A peer's escape sequence is shown, not obeyed.
        peer.sendall(message(0x20, b"Anna") + message(0, b"hi\x1b[2J\tthere"))
        shown = wait_for("<Anna> hi?[2J   there")
        assert shown.splitlines()[0].startswith(" Norrik 1.9 | connected to Anna (NOT encrypted)"), shown
        assert "***Not encrypted: Anna's program does not support encryption" in shown, shown

        # A popup that arrives while the user types takes none of the keys:
        # the line goes out whole, and the box waits for Tab.
        tmux("send-keys", "-t", "t", "I was saying that the se")
        wait_for("> I was saying that the se")
        peer.sendall(message(0x10, b"Lunch?\r\nAt noon?"))
        shown = wait_for("Popup message from Anna")
        tmux("send-keys", "-t", "t", "rver is fine", "Escape", "Enter")
        assert read(peer, 40) == message(0, b"I was saying that the server is fine"), "the typed line"
        shown = wait_for("Tab: go here to reply or close")
        assert "| Lunch?" in shown and "| At noon?" in shown and "Tab: go here to reply or close" in shown, shown
        assert shown.splitlines()[0].rstrip().endswith("Tab: 1 popup"), shown
        tmux("send-keys", "-t", "t", "Tab")
        wait_for("r: reply  Esc: close  Ctrl+X: close all  Tab: back")
        tmux("send-keys", "-t", "t", "r")
        wait_for("Send popup message to Anna")
        tmux("send-keys", "-t", "t", "Yes", "C-j", "see you", "Enter")
        assert read(peer, 30) == message(0x10, b"Yes\r\nsee you"), "the reply"
        # Esc closes the box, and the keys are the input line's again; the
        # popups, received and sent, stay in the history.
        tmux("send-keys", "-t", "t", "Escape", "/disconnect", "Enter")
        shown = wait_for("***/disconnect is not available now")
        assert "***Popup from Anna: Lunch?" in shown and "***Popup sent to Anna: Yes" in shown, shown
        # Colours: the program's lines, the peer's name.
        coloured = tmux("capture-pane", "-p", "-e", "-t", "t")
        assert re.search(r"\x1b\[36m\[\d\d:\d\d\] \*\*\*/disconnect is not available now", coloured), coloured
        assert "\x1b[35m<Anna>\x1b[39m hi?[2J" in coloured, coloured
        # Many popups: the input line keeps working, and one key closes all.
        peer.sendall(message(0x10, b"one") + message(0x10, b"two") + message(0x10, b"three"))
        wait_for("Tab: 3 popups")
        tmux("send-keys", "-t", "t", "Escape", "C-x")
        wait_for("no popup", lambda shown: "Popup message" not in shown and "Tab:" not in shown)
        # An error box shows at once and takes no typed text: Esc, or Enter
        # on an empty line, dismisses it.
        tmux("send-keys", "-t", "t", "/popup", "Enter")
        wait_for("| Unable to comply(empty message)")
        tmux("send-keys", "-t", "t", "hello world again", "Enter", "/me jumps high", "Enter", "/popup at 2", "Enter")
        assert read(peer, 60) == (message(0, b"hello world again") + message(0x08, b"jumps high") +
                                  message(0x10, b"at 2")), "typed under a box"
        wait_for("***Popup sent to Anna: at 2")
        tmux("send-keys", "-t", "t", "Escape", "/popup", "Enter")
        wait_for("Esc: OK")
        tmux("send-keys", "-t", "t", "Enter")
        wait_for("no box", lambda shown: "Esc: OK" not in shown)
        tmux("send-keys", "-t", "t", "hello there", "Enter")
        assert read(peer, 20) == message(0, b"hello there"), "the chat line"
        # Characters, not bytes: typed, edited and shown in the locale, sent
        # in Windows-1252, where a character it lacks is '?'.
        tmux("send-keys", "-t", "t", "héllo 日本", "BSpace")
        wait_for("> héllo 日", lambda shown: shown.splitlines()[-1].rstrip() == "> héllo 日")
        tmux("send-keys", "-t", "t", "Enter")
        assert read(peer, 20) == message(0, b"h\xe9llo ?"), "the line in the code page"
        peer.sendall(message(0, b"w\xf6rld \x80"))
        wait_for("<Anna> wörld €")
        # /save keeps the nickname in use, and says where.
        tmux("send-keys", "-t", "t", "/nick Tuxedo", "Enter", "/save", "Enter")
        assert read(peer, 20) == message(0x04, b"Tuxedo"), "the new nickname"
        settings = home + "/.config/norrik/settings.ini"
        wait_for("***Nickname Tuxedo saved in " + settings)
        with open(settings) as saved:
            assert saved.read().startswith("Nickname=Tuxedo\n"), "the file"
        wait_for("<Tux> hello there")

        # Scrolled back, arriving lines do not move the view; the status
        # line counts them until PgDn comes back to the end.
        peer.sendall(b"".join(message(0, b"filler %d" % i) for i in range(30)))
        wait_for("<Anna> filler 29")
        tmux("send-keys", "-t", "t", "PPage")
        before = wait_for("PgDn: newer").splitlines()[1:-1]
        peer.sendall(message(0, b"while you read"))
        shown = wait_for("1 new").splitlines()
        assert shown[1:-1] == before, shown
        tmux("send-keys", "-t", "t", "NPage", "NPage")
        wait_for("<Anna> while you read")

        # Smaller: laid out again, the status on top, the input line at the
        # bottom, the newest line just above it; Up recalls the lines typed,
        # as they were typed.
        tmux("resize-window", "-t", "t", "-x", "40", "-y", "10")
        tmux("send-keys", "-t", "t", "Up", "Up", "Up")
        lines = wait_for("> héllo 日 on the input line",
                         lambda shown: shown.splitlines()[-1:] == ["> héllo 日"]).splitlines()
        assert len(lines) == 10 and lines[0].startswith(" Norrik 1.9 | connected"), lines
        assert re.fullmatch(r"\[\d\d:\d\d\] <Anna> while you read", lines[8]), lines
        assert lines[9].startswith("> héllo 日"), lines

        tmux("send-keys", "-t", "t", "C-c")
        assert read(peer, 20) == message(0x40, b"Leaving"), "the quit message on Ctrl+C"
        assert read(peer, 1) == b"", "the close"
    finally:
        tmux("kill-server")
    leaves_when_the_terminal_goes()
    print("screen test passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
