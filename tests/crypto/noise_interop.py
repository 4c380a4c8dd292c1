#!/usr/bin/env python3
"""Our Noise_XX_25519_ChaChaPoly_BLAKE2b against dissononce, Debian's
independent implementation of the Noise Protocol Framework.

For every row of CASES, dissononce first runs the handshake and the transport
records between two parties of its own, with fixed keys: those bytes are the
known answers. Then noise_tool plays each side in turn against them: every
byte it writes must be the known answer, it must read what dissononce wrote,
and a fresh dissononce party must read the very bytes the tool wrote. The
failure rows follow: flipped, truncated, oversized, replayed, reordered and
out-of-turn messages, a prologue not shared, buffers too small, the reserved
nonce. Last, two of our parties with random ephemeral keys agree.

    noise_interop.py [RUNNER...] TOOL     (RUNNER: wine-run for noise_tool.exe)
"""
import hashlib
import os
import subprocess
import sys

from dissononce.cipher.chachapoly import ChaChaPolyCipher
from dissononce.dh.x25519.private import PrivateKey
from dissononce.dh.x25519.x25519 import X25519DH
from dissononce.exceptions.decrypt import DecryptFailedException
from dissononce.extras.dh.dangerous.dh_nogen import NoGenDH
from dissononce.hash.blake2b import Blake2bHash
from dissononce.processing.handshakepatterns.interactive.XX import XXHandshakePattern
from dissononce.processing.impl.cipherstate import CipherState
from dissononce.processing.impl.handshakestate import HandshakeState
from dissononce.processing.impl.symmetricstate import SymmetricState

# name, prologue, payloads of the three handshake messages, then transport
# records after Split: (sender, plaintext), "i" the initiator, "r" the responder.
CASES = [
    ("empty", b"", (b"", b"", b""), [("i", b""), ("r", b"")]),
    ("greetings", b"NORRIK 1\x00alice\x00bob", (b"", b"", b""), [("i", b"hello"), ("r", b"hi"), ("r", b"there")]),
    ("payloads", b"prologue", (b"first", b"second payload", b"\x00\x01\x02"),
     [("i", b"a"), ("r", b"bb"), ("r", b"ccc"), ("i", b"dddd")]),
    ("long", bytes(range(256)) * 2, (b"x" * 500, b"y" * 1000, b"z"), [("r", bytes(range(256)) * 4), ("i", b"")]),
]
RESERVED = 2 ** 64 - 1


def key(case, what):
    """A fixed private key of a case: 'si', 'ei', 'sr', 'er'."""
    return hashlib.blake2b((case[0] + "/" + what).encode(), digest_size=32).digest()


def public(private):
    return X25519DH().generate_keypair(PrivateKey(private)).public.data


def party(case, initiator):
    """A dissononce party of the case, with its fixed keys."""
    role = "i" if initiator else "r"
    state = HandshakeState(SymmetricState(CipherState(ChaChaPolyCipher()), Blake2bHash()),
                           NoGenDH(X25519DH(), PrivateKey(key(case, "e" + role))))
    state.initialize(XXHandshakePattern(), initiator, case[1],
                     s=X25519DH().generate_keypair(PrivateKey(key(case, "s" + role))))
    return state


class Transcript:
    """The known answers of a case: dissononce talking to itself."""

    def __init__(self, case):
        parties = {True: party(case, True), False: party(case, False)}
        self.messages = []
        for index, payload in enumerate(case[2]):
            writer = index % 2 == 0
            message, read = bytearray(), bytearray()
            ciphers = parties[writer].write_message(payload, message)
            parties[not writer].read_message(bytes(message), read)
            assert bytes(read) == payload
            self.messages.append(bytes(message))
        # The last write returned (c1, c2); both parties hold equal pairs.
        c1, c2 = ciphers
        self.records = []
        for sender, plaintext in case[3]:
            self.records.append((c1 if sender == "i" else c2).encrypt_with_ad(b"", plaintext))
        self.hash = parties[True].symmetricstate.get_handshake_hash()
        assert self.hash == parties[False].symmetricstate.get_handshake_hash()


def init(initiator, case, prologue=None):
    role = "i" if initiator else "r"
    prologue = case[1] if prologue is None else prologue
    return ("init %s %s %s %s" % (role, key(case, "s" + role).hex(), key(case, "e" + role).hex(), prologue.hex()),
            public(key(case, "s" + role)).hex())


def handshake(case, ref, initiator, messages=3):
    """Our side's first messages of the case, each answer the known one."""
    steps = [init(initiator, case)]
    for index, payload in enumerate(case[2][:messages]):
        if (index % 2 == 0) == initiator:
            steps.append(("write " + payload.hex(), ref.messages[index].hex()))
        else:
            steps.append(("read " + ref.messages[index].hex(), payload.hex()))
    return steps


def whole_case(case, ref, initiator):
    """A case from our side, and a fresh dissononce party reading what we wrote."""
    steps = handshake(case, ref, initiator) + [("split", "ok")]
    mine = "i" if initiator else "r"
    for (sender, plaintext), record in zip(case[3], ref.records):
        if sender == mine:
            steps.append(("send " + plaintext.hex(), record.hex()))
        else:
            steps.append(("recv " + record.hex(), plaintext.hex()))
    steps += [("hash", ref.hash.hex()), ("remote", public(key(case, "s" + ("r" if initiator else "i"))).hex())]

    def peer_reads(answers):
        peer = party(case, not initiator)
        ciphers = None
        for index, payload in enumerate(case[2]):
            message = bytearray()
            if (index % 2 == 0) == initiator:
                ciphers = peer.read_message(bytes.fromhex(answers[1 + index]), message)
                assert bytes(message) == payload, "dissononce read another payload of message %d" % (index + 1)
            else:
                ciphers = peer.write_message(payload, message)
        c1, c2 = ciphers
        receive = c1 if initiator else c2
        for step, (sender, plaintext) in enumerate(case[3]):
            if sender == mine:
                got = receive.decrypt_with_ad(b"", bytes.fromhex(answers[5 + step]))
                assert got == plaintext, "dissononce read another record %d" % step
    return steps, peer_reads


def flip(data, index):
    changed = bytearray(data)
    changed[index] ^= 0x01
    return bytes(changed)


def failures(case, ref):
    """(name, steps): what our side must refuse, and what it does next."""
    m1, m2, m3 = ref.messages
    r = [record.hex() for record in ref.records]
    p = [payload.hex() for payload in case[2]]
    t = [plaintext.hex() for _, plaintext in case[3]]
    rows = []
    for index in (0, 31, 32, 79, 80, len(m2) - 1):
        rows.append(("second message flipped at %d" % index, handshake(case, ref, True, 1) + [
            ("read " + flip(m2, index).hex(), "FAIL"), ("write " + p[2], "FAIL"), ("split", "FAIL")]))
    for index in (0, 47, 48, len(m3) - 1):
        rows.append(("third message flipped at %d" % index, handshake(case, ref, False, 2) + [
            ("read " + flip(m3, index).hex(), "FAIL"), ("split", "FAIL")]))
    for length in (0, 31, 95, len(m2) - 1):
        rows.append(("second message cut to %d" % length, handshake(case, ref, True, 1) + [
            ("read " + m2[:length].hex(), "FAIL")]))
    for length in (0, 47, 63, len(m3) - 1):
        rows.append(("third message cut to %d" % length, handshake(case, ref, False, 2) + [
            ("read " + m3[:length].hex(), "FAIL")]))
    rows += [
        ("first message cut to 31", [init(False, case), ("read " + m1[:31].hex(), "FAIL")]),
        ("first message of 65535 bytes", [init(False, case), ("read " + m1.hex() + "00" * (65535 - len(m1)),
                                                              p[0] + "00" * (65535 - len(m1)))]),
        ("first message of 65536 bytes", [init(False, case), ("read " + m1.hex() + "00" * (65536 - len(m1)), "FAIL")]),
        ("prologue not shared", [init(True, case, case[1] + b"!"), ("write " + p[0], m1.hex()),
                                 ("read " + m2.hex(), "FAIL")]),
        ("initiator reads first", [init(True, case), ("read " + m2.hex(), "FAIL"), ("write " + p[0], "FAIL")]),
        ("responder writes first", [init(False, case), ("write " + p[1], "FAIL")]),
        ("first message twice", [init(False, case), ("read " + m1.hex(), p[0]), ("read " + m1.hex(), "FAIL")]),
        ("split before the third message", handshake(case, ref, True, 2) + [("split", "FAIL")]),
        ("records before split", handshake(case, ref, True) + [("send " + t[0], "FAIL"), ("recv " + r[1], "FAIL")]),
        ("message buffer too small", [init(True, case), ("cap %d" % (len(m1) - 1), "ok"), ("write " + p[0], "FAIL")]),
        ("payload buffer too small", [init(False, case), ("cap %d" % (len(case[2][0]) - 1), "ok"),
                                      ("read " + m1.hex(), "FAIL")]),
        # Transport: the records of the case ("i" a, "r" bb, "r" ccc, "i" dddd)
        # to our initiator. A refused record leaves the nonce as it was.
        ("records flipped, cut, reordered, replayed", handshake(case, ref, True) + [
            ("split", "ok"), ("send " + t[0], r[0]),
            ("recv " + flip(ref.records[1], 0).hex(), "FAIL"), ("recv " + flip(ref.records[1], 17).hex(), "FAIL"),
            ("recv " + r[1][:30], "FAIL"), ("recv " + r[2], "FAIL"), ("recv " + r[1], t[1]), ("recv " + r[1], "FAIL"),
            ("recv " + r[2], t[2]), ("recv " + r[2], "FAIL"), ("cap %d" % (len(case[3][3][1]) + 15), "ok"),
            ("send " + t[3], "FAIL"), ("cap 65536", "ok"), ("send " + t[3], r[3])]),
    ]
    # The last nonce before the reserved one seals as dissononce does; then
    # the state refuses.
    sender = party(case, True)
    for index, payload in enumerate(case[2]):
        if index % 2 == 0:
            ciphers = sender.write_message(payload, bytearray())
        else:
            sender.read_message(ref.messages[index], bytearray())
    c1 = ciphers[0]
    c1.set_nonce(RESERVED - 1)
    rows.append(("the reserved nonce", handshake(case, ref, True) + [
        ("split", "ok"), ("nonce %d" % (RESERVED - 1), "ok"), ("send 6869", c1.encrypt_with_ad(b"", b"hi").hex()),
        ("send 6869", "FAIL")]))
    return rows


def random_ephemerals(case, a, b):
    """Two of our parties with random ephemeral keys: they agree, whatever
    the keys; the caller checks that two runs differ."""
    pi, pr = public(key(case, "si")).hex(), public(key(case, "sr")).hex()
    return [("%s init i %s - %s" % (a, key(case, "si").hex(), case[1].hex()), pi),
            ("%s init r %s - %s" % (b, key(case, "sr").hex(), case[1].hex()), pr),
            ("%s write 01" % a, None), ("%s read @" % b, "01"), ("%s write 02" % b, None), ("%s read @" % a, "02"),
            ("%s write 03" % a, None), ("%s read @" % b, "03"), ("%s split" % a, "ok"), ("%s split" % b, "ok"),
            ("%s send 6869" % a, None), ("%s recv @" % b, "6869"), ("%s send 686f" % b, None), ("%s recv @" % a, "686f"),
            ("%s hash" % a, None), ("%s hash" % b, None), ("%s remote" % a, pr), ("%s remote" % b, pi)]


def main(command):
    blocks = []  # (name, [(line, expected or None)], check of the answers or None)
    for case in CASES:
        ref = Transcript(case)
        for initiator in (True, False):
            steps, peer_reads = whole_case(case, ref, initiator)
            blocks.append(("%s, ours the %s" % (case[0], "initiator" if initiator else "responder"),
                           [("x " + line, want) for line, want in steps], peer_reads))
    payloads = next(case for case in CASES if case[0] == "payloads")
    for name, steps in failures(payloads, Transcript(payloads)):
        blocks.append((name, [("x " + line, want) for line, want in steps], None))
    runs = []
    for a, b in (("a", "b"), ("c", "d")):
        def agree(answers, runs=runs):
            assert answers[14] == answers[15], "the two parties' handshake hashes differ"
            runs.append((answers[2], answers[14]))
        blocks.append(("random ephemeral keys, run " + a, random_ephemerals(payloads, a, b), agree))

    script = os.path.abspath("noise_interop.script")
    with open(script, "w") as f:
        for _, steps, _ in blocks:
            f.writelines(line + "\n" for line, _ in steps)
    # A relative name: Wine reaches the working folder, not every Unix path.
    done = subprocess.run(command + [os.path.basename(script)], stdout=subprocess.PIPE, timeout=100)
    answers = [line.strip()[2:] for line in done.stdout.decode(errors="replace").splitlines()
               if line.startswith("= ")]
    wanted = sum(len(steps) for _, steps, _ in blocks)
    if done.returncode != 0 or len(answers) != wanted:
        print("noise_tool exited %d with %d answers of %d" % (done.returncode, len(answers), wanted))
        return 1
    faults = 0
    at = 0
    for name, steps, check in blocks:
        mine = answers[at:at + len(steps)]
        at += len(steps)
        for (line, want), got in zip(steps, mine):
            if want is not None and got != want:
                faults += 1
                print("%s: %s\n  wanted %s\n  got    %s" % (name, line[:60], want[:80], got[:80]))
        if check:
            try:
                check(mine)
            except (AssertionError, DecryptFailedException, ValueError) as fault:
                faults += 1
                print("%s: %s" % (name, fault or type(fault).__name__))
    if len(runs) == 2 and (runs[0][0][:64] == runs[1][0][:64] or runs[0][1] == runs[1][1]):
        faults += 1
        print("random ephemeral keys: two runs gave the same first message or hash")
    print("%d rows, %d answers: %s" % (len(blocks), wanted, "%d faults" % faults if faults else "all as dissononce"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
