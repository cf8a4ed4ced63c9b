#!/usr/bin/env python3
"""Checks the per-host and per-link frame and byte totals of `hopscope-replay --dump`
against tshark, an independent dissector, on captures given on the command line and on
captures this script makes (classic pcap and pcapng).

Hosts: tshark's Ethernet endpoints (Tx packets, Tx bytes). Links: tshark's per-frame
source, destination and length, summed per ordered pair, and the frame counts of its
Ethernet conversations in each direction.

usage: tshark_totals.py REPLAY-BINARY [CAPTURE ...]   (exit 77: skipped)
"""
import collections
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

SKIP = 77


def make_capture(path, frames=20000, seed=7):
    """Random traffic among 40 stations, multicast and broadcast included, with
    self-addressed frames, jumbo frames, equal and backward-stepping timestamps."""
    rnd = random.Random(seed)
    stations = [bytes([0x00, 0x1b, 0x21, 0, rnd.randrange(256), i]) for i in range(36)]
    stations += [b"\xff" * 6, bytes.fromhex("01005e000001"), bytes.fromhex("333300000001"), bytes.fromhex("0180c2000000")]
    senders = stations[:36]
    t = 1_700_000_000_000_000
    with open(path, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for i in range(frames):
            src = rnd.choice(senders)
            dst = src if rnd.random() < 0.01 else rnd.choice(stations)
            size = rnd.choice([60, 64, 128, 590, 1514, 1514, rnd.randrange(60, 1515)])
            if rnd.random() < 0.002:
                size = 9014
            step = rnd.choice([0, 0, 50, 1000, 20000, 300000])
            if rnd.random() < 0.001:
                step = -2_000_000
            t += step
            ethertype = rnd.choice([0x0800, 0x0806, 0x86DD, 0x88CC])
            frame = dst + src + struct.pack(">H", ethertype) + bytes(size - 14)
            f.write(struct.pack("<IIII", t // 1_000_000, t % 1_000_000, len(frame), len(frame)))
            f.write(frame)


def run(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def replay_totals(replay, capture):
    hosts, links = {}, {}
    for line in run([replay, "--dump", capture]).splitlines():
        rec = line.split("\t")
        if rec[0] == "host":
            hosts[rec[1].lower()] = (int(rec[2]), int(rec[3]))
        elif rec[0] == "link":
            links[(rec[1].lower(), rec[2].lower())] = (int(rec[3]), int(rec[4]))
    return hosts, links


def tshark_totals(capture):
    hosts = {}
    out = run(["tshark", "-n", "-r", capture, "-q", "-z", "endpoints,eth"])
    for line in out.splitlines():
        parts = line.split()
        if len(parts) == 7 and parts[0].count(":") == 5:
            hosts[parts[0].lower()] = (int(parts[3]), int(parts[4]))
    links = collections.defaultdict(lambda: [0, 0])
    out = run(["tshark", "-n", "-r", capture, "-T", "fields", "-E", "occurrence=f",
               "-e", "eth.src", "-e", "eth.dst", "-e", "frame.len"])
    for line in out.splitlines():
        src, dst, length = line.split("\t")
        links[(src.lower(), dst.lower())][0] += 1
        links[(src.lower(), dst.lower())][1] += int(length)
    # Conversations give the frames in each direction of every pair.
    conv = {}
    out = run(["tshark", "-n", "-r", capture, "-q", "-z", "conv,eth"])
    for line in out.splitlines():
        parts = line.split()
        if len(parts) > 8 and parts[1] == "<->":
            a, b = parts[0].lower(), parts[2].lower()
            conv[(b, a)] = int(parts[3])   # "<-" frames: from b to a
            conv[(a, b)] = int(parts[6])   # "->" frames: from a to b (after "N unit")
    return hosts, {k: tuple(v) for k, v in links.items()}, conv


def compare(replay, capture):
    r_hosts, r_links = replay_totals(replay, capture)
    t_hosts, t_links, t_conv = tshark_totals(capture)
    problems = []
    for addr, (frames, nbytes) in t_hosts.items():
        if r_hosts.get(addr) != (frames, nbytes):
            problems.append(f"host {addr}: tshark {frames} frames {nbytes} bytes, replay {r_hosts.get(addr)}")
    for addr in r_hosts.keys() - t_hosts.keys():
        problems.append(f"host {addr} only in replay")
    if r_links != t_links:
        for k in sorted(r_links.keys() | t_links.keys()):
            if r_links.get(k) != t_links.get(k):
                problems.append(f"link {k}: tshark {t_links.get(k)}, replay {r_links.get(k)}")
    for pair, frames in t_conv.items():
        got = r_links.get(pair, (0, 0))[0]
        if frames != got and pair[0] != pair[1]:
            problems.append(f"conversation {pair}: tshark {frames} frames, replay {got}")
    print(f"{capture}: {len(t_hosts)} hosts, {len(t_links)} links, "
          f"{sum(f for f, _ in t_links.values())} frames: {'agree' if not problems else 'DIFFER'}")
    for p in problems[:20]:
        print("  " + p)
    return not problems


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    if not shutil.which("tshark"):
        print("skipped: tshark is not installed")
        return SKIP
    replay = sys.argv[1]
    ok = True
    with tempfile.TemporaryDirectory() as tmp:
        made = os.path.join(tmp, "random.pcap")
        make_capture(made)
        captures = [made]
        if shutil.which("editcap"):
            ng = os.path.join(tmp, "random.pcapng")
            subprocess.run(["editcap", "-F", "pcapng", made, ng], check=True, capture_output=True)
            captures.append(ng)
        captures += [c for c in sys.argv[2:] if os.path.exists(c)]
        for c in captures:
            ok = compare(replay, c) and ok
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
