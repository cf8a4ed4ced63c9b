#!/usr/bin/env python3
"""Makes the captures the golden cases name as "made:NAME", deterministically (the same
NAME always gives the same bytes), so that they need not be committed.

  random.pcap     the random traffic among 40 stations that the tshark cross-check makes
                  (tests/model/tshark_totals.py: multicast and broadcast, self-addressed
                  and jumbo frames, equal and backward-stepping timestamps)
  random.pcapng   the same frames in the pcapng form (one section, one interface, one
                  enhanced packet block a frame)
  mix.pcap        3000 frames among 12 stations that a protocol tree can sort
                  (tools/make_test_capture.py, kind "mix", imix sizes)
  reports.pcap    60 frames of the same mix among 5 stations in turn, for the report
                  cases (tests/golden/reports.ethers names three of them)
  empty.pcap      a capture without frames

usage: make_capture.py NAME OUTPUT
"""
import os
import struct
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.join(HERE, "..", "..")
sys.path.insert(0, os.path.join(SOURCE, "tests", "model"))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import make_test_capture  # noqa: E402
import tshark_totals  # noqa: E402


def pcap_records(path):
    """(seconds, microseconds, captured bytes, wire length) of every frame of a pcap file."""
    with open(path, "rb") as f:
        data = f.read()
    at, records = 24, []
    while at + 16 <= len(data):
        sec, usec, incl, orig = struct.unpack_from("<IIII", data, at)
        records.append((sec, usec, data[at + 16:at + 16 + incl], orig))
        at += 16 + incl
    return records


def block(kind, body):
    body += b"\0" * (-len(body) % 4)
    length = 12 + len(body)
    return struct.pack("<II", kind, length) + body + struct.pack("<I", length)


def write_pcapng(path, records):
    with open(path, "wb") as f:
        f.write(block(0x0A0D0D0A, struct.pack("<IHHq", 0x1A2B3C4D, 1, 0, -1)))  # section header
        f.write(block(1, struct.pack("<HHI", 1, 0, 65535)))  # interface: Ethernet, microseconds
        for sec, usec, frame, wire in records:
            t = sec * 1000000 + usec
            f.write(block(6, struct.pack("<IIIII", 0, t >> 32, t & 0xFFFFFFFF, len(frame), wire) + frame))


def make(name, out):
    if name == "random.pcap":
        tshark_totals.make_capture(out)
    elif name == "random.pcapng":
        with tempfile.TemporaryDirectory() as tmp:
            pcap = os.path.join(tmp, "random.pcap")
            tshark_totals.make_capture(pcap)
            write_pcapng(out, pcap_records(pcap))
    elif name == "mix.pcap":
        make_test_capture.write_capture(out, frames=3000, hosts=12, pairs="random", size="imix", kind="mix", seed=9)
    elif name == "reports.pcap":
        make_test_capture.write_capture(out, frames=60, hosts=5, pairs="round-robin", size="imix", kind="mix", seed=3)
    elif name == "empty.pcap":
        make_test_capture.write_capture(out, frames=0, hosts=2)
    else:
        sys.exit(f"make_capture.py: no made capture named {name}")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    name, out = sys.argv[1:]
    # Written beside and renamed, so that tests running side by side never see half a file.
    tmp = f"{out}.{os.getpid()}"
    make(name, tmp)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
