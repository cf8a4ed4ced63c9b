#!/usr/bin/env python3
"""Counts the frames of a classic pcap file whose EtherType (bytes 12-13, untagged) is
the one given, and their bytes on the wire: "FRAMES BYTES". Read independently of the
program, to check what its capture filter lets through.

    count_frames.py CAPTURE 0x0806
"""
import struct
import sys


def main():
    path, ethertype = sys.argv[1], int(sys.argv[2], 0)
    frames = wire = 0
    with open(path, 'rb') as f:
        magic = f.read(24)[:4]
        order = '<' if magic in (b'\xd4\xc3\xb2\xa1', b'\x4d\x3c\xb2\xa1') else '>'
        while True:
            head = f.read(16)
            if len(head) < 16:
                break
            _, _, captured, length = struct.unpack(order + 'IIII', head)
            data = f.read(captured)
            if len(data) >= 14 and int.from_bytes(data[12:14], 'big') == ethertype:
                frames += 1
                wire += length
    print(frames, wire)


if __name__ == '__main__':
    main()
