#!/usr/bin/env python3
"""Writes synthetic pcap captures for tests and benchmarks.

A capture of N frames exchanged among M stations, deterministic for a given set of
options (the same command always writes the same bytes).  Stations get real vendor
address prefixes so that manufacturer names resolve.  Frames are Ethernet II with
IPv4/UDP (kind "udp", the fastest to write), or a mix that a protocol tree can sort
(kind "mix": IPv4 TCP/UDP/ICMP, DNS queries, ARP, IPv6 UDP and ICMPv6, 802.3 LLC
spanning tree).
Lengths and IPv4 header checksums are correct; UDP over IPv4 goes without a checksum
(zero, which IPv4 allows); the other checksums are computed.  --size sets the wire
length of each frame; in a mix, ARP, DNS, neighbour solicitations and spanning tree keep
their natural lengths.  Kind "udp" frames shorter than 42 bytes are cut inside their
headers, which is how tests get runt frames.

Examples:
  tools/make_test_capture.py -o /tmp/bench.pcap --frames 1000000 --hosts 64 --pairs random --size 60:1514 --kind mix
  tools/make_test_capture.py -o small.pcap --frames 300 --hosts 4 --pairs round-robin --size 100 --rate 1000

It can also be imported: make_test_capture.write_capture(path, frames=..., ...).
"""

import argparse
import random
import struct
import sys

# Vendor prefixes handed out to stations in turn (Dell, HP, Apple, Intel, Cisco, Synology,
# Brother, Raspberry Pi).
OUIS = (b'\xf8\xbc\x12', b'\x3c\xd9\x2b', b'\x28\xcf\xe9', b'\x00\x1b\x21', b'\x00\x1a\xa1', b'\x00\x11\x32',
        b'\x00\x80\x77', b'\xb8\x27\xeb')
BROADCAST = b'\xff' * 6
STP_GROUP = b'\x01\x80\xc2\x00\x00\x00'
IMIX = ((60, 7), (594, 4), (1514, 1))   # the classic 7:4:1 mix of frame lengths


def station_mac(i):
    return OUIS[i % len(OUIS)] + struct.pack('!I', i)[1:]


def station_ip(i):
    return struct.pack('!I', 0x0A000001 + i)   # 10.0.0.1, 10.0.0.2, ...


def station_ip6(i):
    return b'\xfe\x80' + bytes(6) + station_mac(i)[:3] + b'\xff\xfe' + station_mac(i)[3:]


def checksum(data):
    if len(data) & 1:
        data += b'\0'
    total = sum(struct.unpack('!%dH' % (len(data) // 2), data))
    total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def ipv4_header(src, dst, proto, total_length, ident):
    hdr = struct.pack('!BBHHHBBH4s4s', 0x45, 0, total_length, ident, 0x4000, 64, proto, 0, src, dst)
    return hdr[:10] + struct.pack('!H', checksum(hdr)) + hdr[12:]


def parse_size(text):
    """'100' (fixed), '60:1514' (uniform range) or 'imix'."""
    if text == 'imix':
        return 'imix'
    if ':' in text:
        low, high = (int(x) for x in text.split(':', 1))
    else:
        low = high = int(text)
    if not 14 <= low <= high <= 65535:
        raise ValueError('frame sizes must lie between 14 and 65535 bytes, low before high')
    return (low, high)


class Builder:
    """Frames of one capture; `zeros` supplies payload bytes without copying per frame."""

    def __init__(self, hosts, kind, rng):
        self.kind = kind
        self.rng = rng
        self.macs = [station_mac(i) for i in range(hosts)]
        self.ips = [station_ip(i) for i in range(hosts)]
        self.zeros = bytes(65536)
        self.ident = 0
        self.next_seq = {}

    def udp4(self, src, dst, size, dst_mac=None, sport=50000, dport=9):
        size = max(size, 42)
        self.ident = (self.ident + 1) & 0xFFFF
        ip = ipv4_header(self.ips[src], self.ips[dst] if dst_mac is None else b'\xff\xff\xff\xff', 17, size - 14,
                         self.ident)
        return ((dst_mac or self.macs[dst]) + self.macs[src] + b'\x08\x00' + ip +
                struct.pack('!HHHH', sport, dport, size - 34, 0) + self.zeros[:size - 42])

    def tcp4(self, src, dst, size):
        size = max(size, 54)
        self.ident = (self.ident + 1) & 0xFFFF
        ip = ipv4_header(self.ips[src], self.ips[dst], 6, size - 14, self.ident)
        dport = (443, 80, 22)[(src + dst) % 3]
        sport = 40000 + (src * 7 + dst) % 20000
        payload = self.zeros[:size - 54]
        seq = self.next_seq.get((src, dst), src * 1000003 & 0xFFFFFFFF)
        self.next_seq[(src, dst)] = (seq + len(payload)) & 0xFFFFFFFF
        seg = struct.pack('!HHIIBBHHH', sport, dport, seq, dst * 999983 & 0xFFFFFFFF,
                          0x50, 0x18 if payload else 0x10, 1024, 0, 0) + payload
        pseudo = self.ips[src] + self.ips[dst] + struct.pack('!BBH', 0, 6, len(seg))
        seg = seg[:16] + struct.pack('!H', checksum(pseudo + seg)) + seg[18:]
        return self.macs[dst] + self.macs[src] + b'\x08\x00' + ip + seg

    def icmp4(self, src, dst, size):
        size = max(size, 42)
        self.ident = (self.ident + 1) & 0xFFFF
        ip = ipv4_header(self.ips[src], self.ips[dst], 1, size - 14, self.ident)
        body = struct.pack('!BBHHH', 8, 0, 0, src & 0xFFFF, self.ident) + self.zeros[:size - 42]
        body = body[:2] + struct.pack('!H', checksum(body)) + body[4:]
        return self.macs[dst] + self.macs[src] + b'\x08\x00' + ip + body

    def dns4(self, src, dst):
        """A DNS query for example.com (its natural length)."""
        self.ident = (self.ident + 1) & 0xFFFF
        msg = struct.pack('!HHHHHH', self.ident, 0x0100, 1, 0, 0, 0) + b'\x07example\x03com\x00' + b'\x00\x01\x00\x01'
        ip = ipv4_header(self.ips[src], self.ips[dst], 17, 28 + len(msg), self.ident)
        return (self.macs[dst] + self.macs[src] + b'\x08\x00' + ip +
                struct.pack('!HHHH', 50000 + self.ident % 10000, 53, 8 + len(msg), 0) + msg)

    def arp(self, src, dst):
        body = struct.pack('!HHBBH', 1, 0x0800, 6, 4, 1) + self.macs[src] + self.ips[src] + bytes(6) + self.ips[dst]
        return BROADCAST + self.macs[src] + b'\x08\x06' + body + bytes(18)

    def udp6(self, src, dst, size):
        size = max(size, 62)
        s6, d6 = station_ip6(src), station_ip6(dst)
        length = size - 54
        seg = struct.pack('!HHHH', 50000, 9, length, 0) + self.zeros[:length - 8]
        pseudo = s6 + d6 + struct.pack('!I3xB', length, 17)
        seg = seg[:6] + struct.pack('!H', checksum(pseudo + seg) or 0xFFFF) + seg[8:]
        return (self.macs[dst] + self.macs[src] + b'\x86\xdd' + struct.pack('!IHBB', 6 << 28, length, 17, 64) +
                s6 + d6 + seg)

    def icmp6(self, src, dst):
        s6, d6 = station_ip6(src), station_ip6(dst)
        body = struct.pack('!BBHI', 135, 0, 0, 0) + d6 + b'\x01\x01' + self.macs[src]
        pseudo = s6 + d6 + struct.pack('!I3xB', len(body), 58)
        body = body[:2] + struct.pack('!H', checksum(pseudo + body)) + body[4:]
        return (self.macs[dst] + self.macs[src] + b'\x86\xdd' + struct.pack('!IHBB', 6 << 28, len(body), 58, 255) +
                s6 + d6 + body)

    def stp(self, src):
        bridge = struct.pack('!H', 0x8000) + self.macs[src]
        bpdu = (struct.pack('!HBBB', 0, 0, 0, 0) + bridge + struct.pack('!I', 0) + bridge +
                struct.pack('!HHHHH', 0x8001, 0, 20 * 256, 2 * 256, 15 * 256))
        llc = b'\x42\x42\x03' + bpdu
        return STP_GROUP + self.macs[src] + struct.pack('!H', len(llc)) + llc + bytes(60 - 17 - len(bpdu))

    def frame(self, src, dst, size, broadcast):
        if self.kind == 'udp':
            if broadcast:
                return self.udp4(src, dst, size, BROADCAST, 68, 67)
            return self.udp4(src, dst, size)
        r = self.rng.random()
        if broadcast or r < 0.05:
            return self.arp(src, dst)
        if r < 0.65:
            return self.tcp4(src, dst, size)
        if r < 0.80:
            return self.udp4(src, dst, size, sport=50000 + src % 1000)
        if r < 0.85:
            return self.dns4(src, dst)
        if r < 0.90:
            return self.icmp4(src, dst, size)
        if r < 0.95:
            return self.udp6(src, dst, size)
        if r < 0.98:
            return self.icmp6(src, dst)
        return self.stp(src)


def write_capture(path, frames=1000, hosts=16, pairs='random', size=(60, 1514), kind='udp', seed=1,
                  rate=10000.0, start=1700000000, snaplen=65535, broadcast=0.0):
    """Writes the capture and returns the number of frames written."""
    if hosts < 2:
        raise ValueError('at least two hosts are needed')
    if frames < 0:
        raise ValueError('the frame count cannot be negative')
    if rate <= 0:
        raise ValueError('the rate must be positive')
    if isinstance(size, str):
        size = parse_size(size)
    rng = random.Random(seed)
    builder = Builder(hosts, kind, rng)
    if size == 'imix':
        table = [s for s, weight in IMIX for _ in range(weight)]
        pick_size = lambda: table[rng.randrange(len(table))]
    elif size[0] == size[1]:
        fixed = size[0]
        pick_size = lambda: fixed
    else:
        low, high = size
        pick_size = lambda: rng.randint(low, high)
    step_us = 1e6 / rate
    chunks = [struct.pack('<IHHiIII', 0xA1B2C3D4, 2, 4, 0, 0, snaplen, 1)]
    with open(path, 'wb') as out:
        for k in range(frames):
            if pairs == 'round-robin':
                src = k % hosts
                dst = (src + 1 + (k // hosts) % (hosts - 1)) % hosts
            else:
                src = rng.randrange(hosts)
                dst = rng.randrange(hosts - 1)
                if dst >= src:
                    dst += 1
            wire = pick_size()
            frame = builder.frame(src, dst, wire, broadcast > 0 and rng.random() < broadcast)
            if len(frame) < wire:
                frame += builder.zeros[:wire - len(frame)]
            elif len(frame) > wire and kind == 'udp':
                frame = frame[:wire]
            t_us = int(k * step_us)
            cap = frame[:snaplen]
            chunks.append(struct.pack('<IIII', start + t_us // 1000000, t_us % 1000000, len(cap), len(frame)))
            chunks.append(cap)
            if len(chunks) >= 8192:
                out.write(b''.join(chunks))
                chunks.clear()
        out.write(b''.join(chunks))
    return frames


def main(argv=None):
    parser = argparse.ArgumentParser(description='Write a deterministic synthetic pcap capture.')
    parser.add_argument('-o', '--output', required=True, help='capture file to write')
    parser.add_argument('--frames', type=int, default=1000, help='number of frames (default 1000)')
    parser.add_argument('--hosts', type=int, default=16, help='number of stations (default 16)')
    parser.add_argument('--pairs', choices=('random', 'round-robin'), default='random',
                        help='random source/destination pairs, or every ordered pair in turn')
    parser.add_argument('--size', default='60:1514',
                        help='wire length of each frame: N, MIN:MAX (uniform) or imix (default 60:1514)')
    parser.add_argument('--kind', choices=('udp', 'mix'), default='udp',
                        help='udp: IPv4/UDP frames only; mix: TCP, UDP, ICMP, ARP, IPv6, 802.3 (default udp)')
    parser.add_argument('--broadcast', type=float, default=0.0,
                        help='fraction of frames sent to the broadcast address (default 0)')
    parser.add_argument('--rate', type=float, default=10000.0, help='frames per second of capture time (default 10000)')
    parser.add_argument('--start', type=int, default=1700000000, help='time of the first frame, Unix seconds')
    parser.add_argument('--snaplen', type=int, default=65535,
                        help='bytes kept of each frame; longer frames are cut, their wire length kept')
    parser.add_argument('--seed', type=int, default=1, help='random seed (default 1)')
    args = parser.parse_args(argv)
    try:
        size = parse_size(args.size)
        if args.snaplen < 1:
            raise ValueError('the snap length must be positive')
        n = write_capture(args.output, args.frames, args.hosts, args.pairs, size, args.kind, args.seed, args.rate,
                          args.start, args.snaplen, args.broadcast)
    except (ValueError, OSError) as e:
        print('make_test_capture: %s' % e, file=sys.stderr)
        return 2
    print('%s: %d frames' % (args.output, n), file=sys.stderr)
    return 0


if __name__ == '__main__':
    sys.exit(main())
