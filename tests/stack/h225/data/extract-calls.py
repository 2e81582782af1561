#!/usr/bin/env python3
"""Writes the call signalling and H.245 of a capture as test data: the TPKT payloads of each TCP
connection, per direction, in the order they were sent.

    extract-calls.py CAPTURE.pcap > NAME.calls

The output is text: a line "stream N SRCPORT>DSTPORT" before each direction's payloads, one
payload a line in hex. Needs tshark. Run by hand; the tests read only the output."""
import subprocess
import sys
from collections import OrderedDict


def main():
    pcap = sys.argv[1]
    out = subprocess.run(
        ["tshark", "-r", pcap, "-Y", "tcp.len > 0", "-T", "fields", "-e", "tcp.stream", "-e", "tcp.srcport",
         "-e", "tcp.dstport", "-e", "tcp.payload"],
        check=True, capture_output=True, text=True).stdout
    streams = OrderedDict()
    for line in out.splitlines():
        stream, src, dst, payload = line.split("\t")
        streams.setdefault((int(stream), int(src), int(dst)), bytearray()).extend(bytes.fromhex(payload.replace(":", "")))
    print("# " + pcap.split("/")[-1] + ": TPKT payloads of each TCP connection, per direction (extract-calls.py)")
    for (stream, src, dst), data in streams.items():
        packets = []
        i = 0
        while i + 4 <= len(data) and data[i] == 3:
            total = data[i + 2] << 8 | data[i + 3]
            if total < 4 or i + total > len(data):
                break
            if total > 4:
                packets.append(data[i + 4:i + total].hex())
            i += total
        if not packets:
            continue
        print(f"stream {stream} {src}>{dst}")
        for p in packets:
            print(p)


if __name__ == "__main__":
    main()
