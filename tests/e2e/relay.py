#!/usr/bin/env python3
"""A relay on loopback between a client and a server that both use port 6374.

Usage: relay.py FOLDER MODE[,MODE...]. The server listens in the caller's
network namespace; the relay takes one of its own (as root), listens on
127.0.0.1:6374 there for the client (started in it: nsenter -t PID -n) and
carries one connection per MODE: forward; strip (without the client's first
'H' message); flip (one base64url character of the client's first 'R'
record changed). It keeps what each side sent in FOLDER/N.client and
FOLDER/N.server, which side closed first in FOLDER/N.closed, its pid in
FOLDER/relay.pid once it listens, or why not in FOLDER/relay.error. Every
wait is bounded: it ends within two minutes.
"""
import ctypes
import os
import select
import socket
import subprocess
import sys
import time

CLONE_NEWNET = 0x40000000
TERMINATOR = b"\x0c\x0d"
deadline = time.monotonic() + 120
folder, modes = sys.argv[1], sys.argv[2].split(",")


def write(name, data):
    path = os.path.join(folder, name)
    with open(path + ".part", "wb") as file:
        file.write(data)
    os.rename(path + ".part", path)


def changed(message, mode, done):
    """The message as it goes on, or None when it is dropped."""
    body = message.lstrip(b"\0")
    code = body[1:2] if body[:1] == b"\x02" else b""
    if mode == "strip" and code == b"H" and not done:
        return None
    if mode == "flip" and code == b"R" and not done:
        at = len(message) - len(body) + 2 + (len(body) - 4) // 2
        return message[:at] + (b"B" if message[at:at + 1] == b"A" else b"A") + message[at + 1:]
    return message


def carry(number, client, server, mode):
    seen = {client: b"", server: b""}
    rest = {client: b"", server: b""}
    other = {client: server, server: client}
    done = False
    closed = "neither"
    while time.monotonic() < deadline and closed == "neither":
        ready, _, _ = select.select([client, server], [], [], 1)
        for side in ready:
            try:
                data = side.recv(4096)
                seen[side] += data
                rest[side] += data
                # Whole messages only, each with the padding before it, so
                # that one can be changed or left out.
                while TERMINATOR in rest[side]:
                    end = rest[side].index(TERMINATOR) + 2
                    message, rest[side] = rest[side][:end], rest[side][end:]
                    if side is client:
                        kept = changed(message, mode, done)
                        done = done or kept != message
                        message = kept or b""
                    other[side].sendall(message)
            except OSError:
                data = b""
            if not data:
                closed = "client" if side is client else "server"
                break
    write(f"{number}.client", seen[client])
    write(f"{number}.server", seen[server])
    write(f"{number}.closed", closed.encode())
    client.close()
    server.close()


def main():
    # Made here, in the caller's namespace, where the server listens.
    outgoing = [socket.socket() for _ in modes]
    libc = ctypes.CDLL(None, use_errno=True)
    if libc.unshare(CLONE_NEWNET) != 0:
        write("relay.error", f"no network namespace of its own: {os.strerror(ctypes.get_errno())}".encode())
        return
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True, timeout=10)
    listener = socket.create_server(("127.0.0.1", 6374))
    listener.settimeout(30)
    write("relay.pid", str(os.getpid()).encode())
    for number, (mode, server) in enumerate(zip(modes, outgoing)):
        client, _ = listener.accept()
        server.settimeout(10)
        client.settimeout(10)
        server.connect(("127.0.0.1", 6374))
        carry(number, client, server, mode)


main()
