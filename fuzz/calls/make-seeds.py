#!/usr/bin/env python3
"""Writes the seed corpus of fuzz_h225_connection from the recorded calls of the tests
(tests/stack/h225/data/*.calls): each side of each call as the fuzzer's input, our callee taking
the caller's messages or our caller the callee's, H.245 of a connection of its own tunnelled.

    fuzz/calls/make-seeds.py   (from the source folder)"""
import os
import struct

DATA = "tests/stack/h225/data"
OUT = "fuzz/corpus/fuzz_h225_connection"
# capture, direction of the far end's signalling, its separate H.245 (or None), our side
SIDES = [
    ("routed-g711", "30000>1722", None, "callee"),
    ("routed-g711", "1721>35048", None, "caller"),
    ("direct-g711", "31100>1722", None, "callee"),
    ("direct-g711", "1722>31100", None, "caller"),
    ("routed-noTunnel", "20001>1722", "30001>31000", "callee"),
    ("routed-noTunnel", "1721>31101", "30000>31102", "caller"),
    ("routed-faststart-noTunnel", "20001>1722", None, "callee"),
    ("routed-faststart-noTunnel", "1721>31101", None, "caller"),
    ("routed-dtmf-busy", "20003>1722", None, "callee"),
    ("routed-dtmf-busy", "1721>31200", None, "caller"),
]


def load(name):
    calls, direction = {}, None
    for line in open(os.path.join(DATA, name + ".calls")):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        if line.startswith("stream "):
            direction = line.split()[2]
            continue
        calls.setdefault(direction, []).append(bytes.fromhex(line))
    return calls


def record(kind, payload):
    return bytes([kind]) + struct.pack(">H", len(payload)) + payload


def main():
    os.makedirs(OUT, exist_ok=True)
    for capture, signalling, h245, side in SIDES:
        calls = load(capture)
        for flags in (0, 2 | 4):  # as we are, and without fast start and tunnelling
            seed = bytes([(1 if side == "callee" else 0) | flags | 8])
            messages = calls[signalling]
            for i, m in enumerate(messages):
                if h245 and i == len(messages) - 1:
                    for h in calls[h245]:
                        seed += record(1, h)
                seed += record(0, m) + record(3, b"\x01")
            seed += record(4, b"\x00")
            name = f"{capture}-{side}-{flags}"
            with open(os.path.join(OUT, name), "wb") as f:
                f.write(seed)


if __name__ == "__main__":
    main()
