#!/usr/bin/env python3
"""Writes a pcap of mixed LAN traffic for timing the capture pass and the classifier.

usage: make_mixed_capture.py OUT.pcap [FRAMES]   (default 500000 frames)

The frames are drawn, with a fixed seed, from a mix of what a busy office segment
carries: TLS and HTTP over IPv4 and IPv6, DNS, QUIC, SMB, ARP, mDNS, SSDP, ICMP,
NTP, DHCP, LLDP, STP, VLAN-tagged TCP and unknown UDP, between 60 stations. Nothing
in it is committed: make it when needed (a few tens of megabytes)."""
import random
import struct
import sys


def mac(i):
    return bytes([0x00, 0x1b, 0x21, 0x00, i >> 8, i & 0xFF])


def eth(dst, src, etype, payload):
    f = dst + src + struct.pack(">H", etype) + payload
    return f + bytes(max(0, 60 - len(f)))


def ipv4(proto, payload, src, dst):
    h = struct.pack(">BBHHHBBH4s4s", 0x45, 0, 20 + len(payload), 1, 0, 64, proto, 0,
                    bytes([192, 168, 1, src & 0xFF]), bytes([192, 168, 1, dst & 0xFF]))
    return h + payload


def ipv6(nh, payload, src, dst):
    a = bytes([0xfe, 0x80] + [0] * 13 + [src & 0xFF])
    b = bytes([0xfe, 0x80] + [0] * 13 + [dst & 0xFF])
    return struct.pack(">IHBB", 0x60000000, len(payload), nh, 64) + a + b + payload


def tcp(sp, dp, n):
    return struct.pack(">HHIIBBHHH", sp, dp, 1, 1, 0x50, 0x18, 65535, 0, 0) + bytes(n)


def udp(sp, dp, n):
    return struct.pack(">HHHH", sp, dp, 8 + n, 0) + bytes(n)


def main():
    out = sys.argv[1]
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500000
    rnd = random.Random(7)
    hosts = 60
    kinds = [
        (30, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(6, tcp(e, 443, rnd.choice([0, 100, 1400])), s, d))),
        (8, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(6, tcp(80, e, rnd.choice([0, 500, 1400])), s, d))),
        (10, lambda s, d, e: eth(mac(d), mac(s), 0x86DD, ipv6(6, tcp(e, 443, rnd.choice([0, 1200])), s, d))),
        (8, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(e, 53, 40), s, d))),
        (6, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(e, 443, 1200), s, d))),
        (5, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(6, tcp(e, 445, 300), s, d))),
        (4, lambda s, d, e: eth(b"\xff" * 6, mac(s), 0x0806, bytes(28))),
        (3, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(5353, 5353, 60), s, 251))),
        (3, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(e, 1900, 120), s, 250))),
        (3, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(1, bytes([8]) + bytes(63), s, d))),
        (2, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(123, 123, 48), s, d))),
        (2, lambda s, d, e: eth(b"\xff" * 6, mac(s), 0x0800, ipv4(17, udp(68, 67, 300), s, 255))),
        (2, lambda s, d, e: eth(mac(d), mac(s), 0x86DD, ipv6(58, bytes([135]) + bytes(23), s, d))),
        (2, lambda s, d, e: eth(mac(d), mac(s), 0x8100, struct.pack(">HH", 10, 0x0800) + ipv4(6, tcp(e, 22, 64), s, d))),
        (2, lambda s, d, e: eth(mac(d), mac(s), 0x0800, ipv4(17, udp(e, e + 1, 200), s, d))),
        (1, lambda s, d, e: eth(b"\x01\x80\xc2\x00\x00\x0e", mac(s), 0x88CC, bytes(40))),
        (1, lambda s, d, e: eth(b"\x01\x80\xc2\x00\x00\x00", mac(s), 38, b"\x42\x42\x03" + bytes(35))),
    ]
    weights = [k[0] for k in kinds]
    makers = [k[1] for k in kinds]
    with open(out, "wb") as f:
        f.write(struct.pack("<IHHiIII", 0xa1b2c3d4, 2, 4, 0, 0, 65535, 1))
        t = 1700000000.0
        for _ in range(count):
            s, d = rnd.randrange(hosts), rnd.randrange(hosts)
            frame = rnd.choices(makers, weights)[0](s, d, rnd.randrange(49152, 65535))
            t += rnd.expovariate(2000.0)
            f.write(struct.pack("<IIII", int(t), int((t % 1) * 1e6), len(frame), len(frame)))
            f.write(frame)


if __name__ == "__main__":
    main()
