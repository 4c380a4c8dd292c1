#!/usr/bin/env python3
"""Prints scripts/bench's figures as two tables: the program beside its
baselines, and the program with and without Nagle's algorithm.

Reads every *.txt in the results folder given, whose lines are
"<name> <value> <unit>" (the value may be "n/a", with the reason as unit;
a negative value is shown as not measured).
"""
import pathlib
import sys


def load(folder):
    figures = {}
    for path in sorted(pathlib.Path(folder).glob("*.txt")):
        prefix = "nagle:" if path.name == "nagle.txt" else ""
        for line in path.read_text(errors="replace").splitlines():
            parts = line.split()
            if len(parts) != 3:
                continue
            name, value, unit = parts
            try:
                figures[prefix + name] = (float(value), unit)
            except ValueError:
                figures[prefix + name] = (None, unit)
            # No time, size or rate is below zero: such a value is a broken
            # measurement, never a figure.
            if figures[prefix + name][0] is not None and figures[prefix + name][0] < 0:
                figures[prefix + name] = (None, "negative-" + unit + "-not-a-measurement")
    return figures


def shown(figure):
    if figure is None:
        return "-"
    value, unit = figure
    if value is None:
        return "n/a (" + unit + ")"
    if unit == "B":
        return "%d KB" % round(value / 1024)
    if unit == "KB":
        return "%d KB" % round(value)
    if abs(value) >= 100:
        return "%.0f %s" % (value, unit)
    if abs(value) >= 10:
        return "%.1f %s" % (value, unit)
    return "%.2f %s" % (value, unit)


def ratio(top, bottom):
    if top is None or bottom is None or top[0] is None or bottom[0] is None or bottom[0] == 0:
        return "-"
    return "%.2f" % (top[0] / bottom[0])


def table(header, rows):
    widths = [max(len(str(row[i])) for row in [header] + rows) for i in range(len(header))]
    def line(row):
        return "| " + " | ".join(str(cell).ljust(width) for cell, width in zip(row, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (width + 2) for width in widths) + "|")
    for row in rows:
        print(line(row))


# Network figures: (label, figure after "norrik." / "norrik.min.", the
# socket program's figure after "baseline.nodelay." / "baseline.nagle.").
NETWORK = [
    ("One-way to a silent copy, short line (2 blocks), median", "short.oneway.median", "short.oneway.median"),
    ("One-way to a silent copy, short line (2 blocks), p95", "short.oneway.p95", "short.oneway.p95"),
    ("One-way to a silent copy, 300-char (31 blocks), median", "typed300.oneway.median", "typed300.oneway.median"),
    ("One-way to a silent copy, 300-char (31 blocks), p95", "typed300.oneway.p95", "typed300.oneway.p95"),
    ("Conversation round trip, short lines, median", "talk.short.roundtrip.median", "talk.short.roundtrip.median"),
    ("Conversation round trip, short lines, p95", "talk.short.roundtrip.p95", "talk.short.roundtrip.p95"),
    ("Conversation round trip, 300-char, median", "talk.typed300.roundtrip.median",
     "talk.typed300.roundtrip.median"),
    ("Conversation round trip, 300-char, p95", "talk.typed300.roundtrip.p95", "talk.typed300.roundtrip.p95"),
    ("One-way, 300-char line to raw peer, median", "peer300.oneway.median", "typed300.oneway.median"),
    ("Round trip, 300 chars out, 500 back, median", "peer300.roundtrip.median", "peer300.roundtrip.median"),
    ("Round trip, 300 chars out, 500 back, p95", "peer300.roundtrip.p95", "peer300.roundtrip.p95"),
    ("Received 500-byte messages", "received500.throughput", "500.throughput"),
    ("Received 500-byte messages, wire bytes", "received500.throughput_kb", "500.throughput_kb"),
    ("Copy to copy, typed 300-char lines", "typed300.throughput", "typed300.throughput"),
    ("Copy to copy, typed 300-char lines, bytes", "typed300.throughput_kb", "typed300.throughput_kb"),
    ("Poll round trip (latency resolution)", "poll", None),
]

# The encrypted layer: a peer that seals beside one in the clear, the same
# copy and the same lines (after "norrik." / "norrik.min.").
SEALED = [
    ("One-way, short line (16 chars) to the peer, median", "peer16.oneway.median"),
    ("One-way, short line (16 chars) from the peer, median", "peer16.in.median"),
    ("One-way, 300-char line from the peer, median", "peer300.in.median"),
    ("Round trip, short lines, median", "peer16.roundtrip.median"),
    ("One-way, 300-char line to the peer, median", "peer300.oneway.median"),
    ("One-way, 300-char line to the peer, p95", "peer300.oneway.p95"),
    ("Round trip, 300 chars out, 500 back, median", "peer300.roundtrip.median"),
    ("Round trip, 300 chars out, 500 back, p95", "peer300.roundtrip.p95"),
]

# Figures of one copy beside the empty window (or nothing).
PROCESS = [
    ("Start to window shown, median", "norrik.startup.median", "empty.startup.median"),
    ("Start to window shown, p95", "norrik.startup.p95", "empty.startup.p95"),
    ("Working set, just started", "norrik.started.memory.working_set", "empty.started.memory.working_set"),
    ("Pagefile usage, just started", "norrik.started.memory.pagefile", "empty.started.memory.pagefile"),
    ("Private bytes, just started", "norrik.started.memory.private", "empty.started.memory.private"),
    ("Working set, idle connected client", "norrik.idle.client.memory.working_set",
     "empty.started.memory.working_set"),
    ("Pagefile usage, idle connected client", "norrik.idle.client.memory.pagefile",
     "empty.started.memory.pagefile"),
    ("Working set, idle connected server", "norrik.idle.server.memory.working_set",
     "empty.started.memory.working_set"),
    ("CPU time in 30 s idle, client", "norrik.idle.client.cpu", "empty.idle.cpu"),
    ("CPU time in 30 s idle, server", "norrik.idle.server.cpu", "empty.idle.cpu"),
    ("CPU time in 30 s idle, both, from /proc", "proc.idle.both.cpu", None),
    ("Size of the .exe", "size.norrik", "size.empty"),
]

# A history that fills: the shown copy beside history_window.exe, after
# "norrik.fill." and "history.fill.".
FILL = [
    ("Received 500-byte messages, first 10 s", "first"),
    ("Received 500-byte messages, history 750,000 characters or more", "full"),
    ("Received 500-byte messages, after the first trim", "trim1"),
    ("Received 500-byte messages, after the second trim", "trim2"),
    ("Received 500-byte messages, after the third trim", "trim3"),
    ("All 3,500 shown after", "all"),
    ("Pagefile usage after the first trim", "memory.trim1"),
    ("Pagefile usage after the burst", "memory.end"),
]


def main():
    folder = sys.argv[1]
    f = load(folder).get
    machine = pathlib.Path(folder, "machine.txt")
    if machine.exists():
        print(machine.read_text().strip())
    print()
    print("Normal build (TCP_NODELAY) beside the socket program (no-delay); ratio = norrik / baseline")
    print()
    rows = []
    for label, mine, base in NETWORK:
        shown_ = f("norrik." + mine)
        hidden = f("norrik.min." + mine)
        baseline = f("baseline.nodelay." + base) if base else None
        if shown_ is None and hidden is None:
            continue
        rows.append((label, shown(shown_), shown(hidden), shown(baseline) if base else "-",
                     ratio(shown_, baseline), ratio(hidden, baseline)))
    table(["Figure", "windows shown", "minimised", "socket program", "ratio shown", "ratio min."], rows)
    if f("norrik.sealed.peer300.oneway.median") is not None:
        print()
        print("Encrypted beside plaintext, the same copy and peer; ratio = encrypted / plaintext")
        print()
        rows = []
        for label, name in SEALED:
            for view, title in (("norrik.", "shown"), ("norrik.min.", "minimised")):
                plain, sealed = f(view + name), f(view + "sealed." + name)
                rows.append((label + ", " + title, shown(plain), shown(sealed), ratio(sealed, plain)))
        plain, sealed = f("plain.firstline.median"), f("sealed.firstline.median")
        rows.append(("Connect to the first line shown, median", shown(plain), shown(sealed), ratio(sealed, plain)))
        table(["Figure", "plaintext", "encrypted", "ratio"], rows)
    print()
    print("One copy beside the empty window program; ratio = norrik / empty window")
    print()
    table(["Figure", "norrik", "empty window", "ratio"],
          [(label, shown(f(mine)), shown(f(base)) if base else "-", ratio(f(mine), f(base)) if base else "-")
           for label, mine, base in PROCESS if f(mine) is not None])
    if f("before.startup.median") is not None:
        print()
        print("An earlier norrik.exe (NORRIK_BENCH_BEFORE) started in turn with this one and the empty window;"
              " ratios to the empty window")
        print()
        rows = []
        for label, mine, base in PROCESS[:4]:
            earlier = f(mine.replace("norrik.", "before.", 1))
            rows.append((label, shown(earlier), shown(f(mine)), shown(f(base)), ratio(earlier, f(base)),
                         ratio(f(mine), f(base))))
        table(["Figure", "before", "after", "empty window", "before", "after"], rows)
    if f("norrik.fill.first") is not None or f("history.fill.first") is not None:
        print()
        print("3,500 messages of 500 bytes in one burst to a shown window, beside the history window program;"
              " ratio = norrik / history window")
        print()
        table(["Figure", "norrik", "history window", "ratio"],
              [(label, shown(f("norrik.fill." + name)), shown(f("history.fill." + name)),
                ratio(f("norrik.fill." + name), f("history.fill." + name))) for label, name in FILL])
    print()
    print("Nagle's algorithm: normal build (TCP_NODELAY) and NORRIK_KEEP_NAGLE=ON; ratio = kept / off")
    print()
    rows = []
    for label, mine, base in NETWORK:
        if base is None:
            continue
        cells = [f(build + view + mine) for view in ("norrik.min.", "norrik.") for build in ("", "nagle:")]
        if all(cell is None for cell in cells):
            continue
        rows.append((label, shown(cells[0]), shown(cells[1]), ratio(cells[1], cells[0]), shown(cells[2]),
                     shown(cells[3]), ratio(cells[3], cells[2]), shown(f("baseline.nodelay." + base)),
                     shown(f("baseline.nagle." + base))))
    table(["Figure", "min. off", "min. kept", "ratio", "shown off", "shown kept", "ratio", "socket off",
           "socket kept"], rows)


if __name__ == "__main__":
    main()
