#!/usr/bin/env python3
"""Writes data/demo.pcap, the demo capture shipped with Hopscope.

The capture is 150 seconds of a small office Ethernet segment, as a monitor on a
switch mirror port would see it: 26 stations (workstations, a gateway, a DNS server,
a DHCP server, a NAS, an intranet web server, three printers, a VoIP phone on a
tagged voice VLAN, a monitoring box, a legacy AppleTalk printer and the switch
itself) with the traffic such an office makes: ARP, DHCP, DNS, HTTP, HTTPS (TLS 1.3),
SSH, NTP, SNMP, SIP and RTP, raw printing, ICMP echo, NetBIOS name service, LLMNR,
SSDP, mDNS, IGMP, IPv6 neighbour discovery and MLD, STP, LLDP, CDP, IPX SAP and
AppleTalk AARP/NBP.

Every frame is built field by field (Python standard library only) with correct
lengths and checksums, TCP conversations keep exact sequence and acknowledgement
numbers, and every frame is kept whole (captured length = wire length).  The
output depends only on the seed: the same script always writes the same bytes.

Usage: tools/make_demo_capture.py [-o data/demo.pcap] [--seed N]
"""

import argparse
import heapq
import ipaddress
import os
import random
import struct
import sys

SEED = 1996
START = 1710234845          # 2024-03-12 09:14:05 UTC, time of the first frame's second
DURATION = 150.0            # seconds of traffic
MAX_FILE_BYTES = 5_000_000  # the demo must stay small enough to ship

MASK32 = 0xFFFFFFFF
BROADCAST = b'\xff' * 6
NTP_EPOCH_OFFSET = 2208988800

# TCP flag bits
FIN, SYN, RST, PSH, ACK = 0x01, 0x02, 0x04, 0x08, 0x10
C, S = 0, 1  # the two sides of a TCP connection: client, server


# ---------------------------------------------------------------------------
# Byte-level builders
# ---------------------------------------------------------------------------

def mac(text):
    return bytes.fromhex(text.replace(':', ''))


def a4(text):
    return ipaddress.IPv4Address(text).packed


def a6(text):
    return ipaddress.IPv6Address(text).packed


def checksum(data):
    if len(data) & 1:
        data += b'\0'
    total = sum(struct.unpack('!%dH' % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def put16(buf, offset, value):
    return buf[:offset] + struct.pack('!H', value) + buf[offset + 2:]


def pad(frame, minimum=60):
    """Ethernet frames shorter than the minimum carry padding on the wire."""
    if len(frame) < minimum:
        frame += bytes(minimum - len(frame))
    return frame


def ether(dst, src, ether_type, payload, vlan=None):
    """Ethernet II frame; vlan = (vid, priority) adds an 802.1Q tag."""
    if vlan is None:
        return pad(dst + src + struct.pack('!H', ether_type) + payload)
    tci = (vlan[1] << 13) | vlan[0]
    return pad(dst + src + struct.pack('!HHH', 0x8100, tci, ether_type) + payload, 64)


def ether_llc(dst, src, dsap, ssap, control, payload):
    """IEEE 802.3 frame (length field) with an 802.2 LLC header."""
    llc = bytes([dsap, ssap, control]) + payload
    return pad(dst + src + struct.pack('!H', len(llc)) + llc)


def ether_snap(dst, src, oui, pid, payload):
    return ether_llc(dst, src, 0xAA, 0xAA, 0x03, oui + struct.pack('!H', pid) + payload)


def mcast4_mac(group):
    b = a4(group)
    return bytes([0x01, 0x00, 0x5E, b[1] & 0x7F, b[2], b[3]])


def mcast6_mac(group_packed):
    return b'\x33\x33' + group_packed[12:]


def solicited_node(addr_packed):
    return a6('ff02::1:ff00:0')[:13] + addr_packed[13:]


def ipv4(src, dst, proto, payload, ident, ttl, df=True, tos=0, options=b''):
    ihl = 5 + len(options) // 4
    hdr = struct.pack('!BBHHHBBH4s4s', 0x40 | ihl, tos, ihl * 4 + len(payload), ident & 0xFFFF,
                      0x4000 if df else 0, ttl, proto, 0, src, dst) + options
    return put16(hdr, 10, checksum(hdr)) + payload


def ipv6(src, dst, next_header, payload, hop_limit=64, ext=b''):
    return struct.pack('!IHBB', 6 << 28, len(ext) + len(payload), next_header, hop_limit) + src + dst + ext + payload


def l4_checksum(src, dst, proto, segment):
    if len(src) == 4:
        pseudo = src + dst + struct.pack('!BBH', 0, proto, len(segment))
    else:
        pseudo = src + dst + struct.pack('!I3xB', len(segment), proto)
    return checksum(pseudo + segment)


def udp(src, dst, sport, dport, payload):
    seg = struct.pack('!HHHH', sport, dport, 8 + len(payload), 0) + payload
    return put16(seg, 6, l4_checksum(src, dst, 17, seg) or 0xFFFF)


def tcp(src, dst, sport, dport, seq, ack, flags, window, payload=b'', options=b''):
    offset = (20 + len(options)) // 4
    seg = struct.pack('!HHIIBBHHH', sport, dport, seq & MASK32, ack & MASK32, offset << 4, flags,
                      window, 0, 0) + options + payload
    return put16(seg, 16, l4_checksum(src, dst, 6, seg))


def icmp(type_, code, rest, data=b''):
    msg = struct.pack('!BBH', type_, code, 0) + rest + data
    return put16(msg, 2, checksum(msg))


def icmp6(src, dst, type_, code, body):
    msg = struct.pack('!BBH', type_, code, 0) + body
    return put16(msg, 2, l4_checksum(src, dst, 58, msg))


def arp(op, sha, spa, tha, tpa):
    return struct.pack('!HHBBH', 1, 0x0800, 6, 4, op) + sha + spa + tha + tpa


# --- DNS family (DNS, mDNS, LLMNR) -------------------------------------------

T_A, T_NS, T_CNAME, T_SOA, T_PTR, T_TXT, T_AAAA, T_SRV = 1, 2, 5, 6, 12, 16, 28, 33


def dns_name(name):
    out = b''
    for label in name.rstrip('.').split('.'):
        if label:
            raw = label.encode()
            out += bytes([len(raw)]) + raw
    return out + b'\0'


def dns_message(ident, flags, questions, answers=(), authority=(), additional=()):
    """questions: (name, type, class); records: (name, type, class, ttl, rdata)."""
    out = struct.pack('!HHHHHH', ident, flags, len(questions), len(answers), len(authority), len(additional))
    for name, qtype, qclass in questions:
        out += dns_name(name) + struct.pack('!HH', qtype, qclass)
    for name, rtype, rclass, ttl, rdata in (*answers, *authority, *additional):
        out += dns_name(name) + struct.pack('!HHIH', rtype, rclass, ttl, len(rdata)) + rdata
    return out


def rdata_srv(priority, weight, port, target):
    return struct.pack('!HHH', priority, weight, port) + dns_name(target)


def rdata_txt(*strings):
    out = b''
    for s in strings:
        raw = s.encode()
        out += bytes([len(raw)]) + raw
    return out or b'\0'


def rdata_soa(mname, rname, serial):
    return dns_name(mname) + dns_name(rname) + struct.pack('!IIIII', serial, 900, 600, 86400, 3600)


# --- NetBIOS name service ------------------------------------------------------

def nb_name(name, suffix):
    raw = name.upper().encode().ljust(15)[:15] + bytes([suffix])
    enc = bytearray()
    for b in raw:
        enc += bytes([0x41 + (b >> 4), 0x41 + (b & 0x0F)])
    return b'\x20' + bytes(enc) + b'\0'


# --- BER for SNMP --------------------------------------------------------------

def ber_len(n):
    if n < 0x80:
        return bytes([n])
    if n < 0x100:
        return bytes([0x81, n])
    return bytes([0x82, n >> 8, n & 0xFF])


def ber(tag, content):
    return bytes([tag]) + ber_len(len(content)) + content


def ber_int(value, tag=0x02):
    return ber(tag, value.to_bytes(max(1, (value.bit_length() + 8) // 8), 'big', signed=True))


def ber_oid(text):
    parts = [int(p) for p in text.split('.')]
    out = bytearray([40 * parts[0] + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        out += bytes(reversed(chunk))
    return ber(0x06, bytes(out))


def snmp_message(community, pdu_tag, request_id, bindings):
    """bindings: list of (oid text, encoded value)."""
    vbl = b''.join(ber(0x30, ber_oid(oid) + value) for oid, value in bindings)
    pdu = ber(pdu_tag, ber_int(request_id) + ber_int(0) + ber_int(0) + ber(0x30, vbl))
    return ber(0x30, ber_int(1) + ber(0x04, community.encode()) + pdu)


# --- NTP -----------------------------------------------------------------------

def ntp_ts(t):
    if t is None:
        return b'\0' * 8
    whole = START + t + NTP_EPOCH_OFFSET
    sec = int(whole)
    frac = int((whole - sec) * (1 << 32)) & MASK32
    return struct.pack('!II', sec & MASK32, frac)


def ntp_packet(mode, stratum, poll, precision, refid, ref, orig, recv, xmit, root_delay=0, root_disp=0):
    return (struct.pack('!BBbbII4s', (0 << 6) | (4 << 3) | mode, stratum, poll, precision, root_delay,
                        root_disp, refid) + ntp_ts(ref) + ntp_ts(orig) + ntp_ts(recv) + ntp_ts(xmit))


# --- DHCP ----------------------------------------------------------------------

DHCP_MAGIC = b'\x63\x82\x53\x63'


def dhcp_opt(code, value):
    return bytes([code, len(value)]) + value


def bootp(op, xid, chaddr, options, secs=0, flags=0, ciaddr=b'\0' * 4, yiaddr=b'\0' * 4, siaddr=b'\0' * 4):
    msg = struct.pack('!BBBBIHH4s4s4s4s16s64s128s', op, 1, 6, 0, xid, secs, flags, ciaddr, yiaddr, siaddr,
                      b'\0' * 4, chaddr, b'', b'') + DHCP_MAGIC + options + b'\xff'
    return msg + bytes(max(0, 300 - len(msg)))


# --- TLS records -----------------------------------------------------------------

def tls_record(content_type, payload, version=0x0303):
    return struct.pack('!BHH', content_type, version, len(payload)) + payload


def tls_ext(ext_type, data):
    return struct.pack('!HH', ext_type, len(data)) + data


def u16_list(items):
    body = b''.join(struct.pack('!H', i) for i in items)
    return struct.pack('!H', len(body)) + body


# ---------------------------------------------------------------------------
# Stations
# ---------------------------------------------------------------------------

class Station:
    def __init__(self, world, name, mac_text, ip=None, kind='win', vlan=None, host_name=None):
        self.world = world
        self.name = name
        self.host_name = host_name or name
        self.mac = mac(mac_text)
        self.ip = a4(ip) if ip else None
        self.kind = kind
        self.vlan = vlan
        self.ttl = {'win': 128, 'printer': 64, 'router': 255}.get(kind, 64)
        rng = world.rng
        self.ident = rng.randrange(65536)
        self.arp = {}        # IPv4 address -> time the entry stops being trusted
        self.nd = {}         # IPv6 address -> same, for neighbour discovery
        self.used_ports = set()
        self.next_port = rng.randrange(49700, 56000)
        m = self.mac
        eui = bytes([m[0] ^ 0x02]) + m[1:3] + b'\xff\xfe' + m[3:]
        self.ll6 = a6('fe80::')[:8] + eui
        self.g6 = None
        self.groups4 = []    # IPv4 multicast groups joined (IGMP reports)

    def next_ident(self):
        self.ident = (self.ident + 1) & 0xFFFF
        return self.ident

    def ephemeral(self):
        rng = self.world.rng
        if self.kind == 'win':
            self.next_port += 1
            if self.next_port > 65000:
                self.next_port = 49700
            port = self.next_port
        elif self.kind == 'linux' or self.kind == 'router' or self.kind == 'server':
            port = rng.randrange(32768, 61000)
        else:
            port = rng.randrange(49152, 65536)
        while port in self.used_ports or port in (5353, 5355, 1900, 3702, 5060):
            port += 1
        self.used_ports.add(port)
        return port


# ---------------------------------------------------------------------------
# TCP conversation model
# ---------------------------------------------------------------------------

class Tcp:
    """One TCP connection seen from the office segment.

    Times are capture times.  A remote server's frames are seen one path delay
    after it sends them, and the office's frames reach it one path delay later.
    Data is cut into MSS-sized segments, paced by the bottleneck bandwidth and
    by the congestion and receive windows; the receiver acknowledges every
    second segment and delays a lone acknowledgement by 40 ms.
    """

    def __init__(self, world, client, server_addr, dport, v6=False, sport=None):
        self.w = world
        rng = world.rng
        self.client = client
        self.v6 = v6
        self.caddr = client.g6 if v6 else client.ip
        self.saddr = server_addr
        self.server = (world.by_ip6 if v6 else world.by_ip).get(server_addr)
        self.remote = self.server is None
        gw = world.gw
        self.peer_mac = gw.mac if self.remote else self.server.mac
        self.vlan = client.vlan
        self.sport = sport or client.ephemeral()
        self.dport = dport
        self.mss = 1440 if v6 else 1460
        if self.remote:
            self.rtt = rng.uniform(0.006, 0.045)
            self.bw = rng.choice([20e6, 40e6, 80e6])
            self.server_ttl = rng.choice([44, 51, 53, 57, 113, 116])
            self.server_ident = rng.randrange(65536)
        else:
            self.rtt = 0.0
            self.bw = rng.choice([300e6, 600e6, 900e6])
            self.server_ttl = self.server.ttl
        self.seq = [rng.getrandbits(32), rng.getrandbits(32)]
        self.rcv = [0, 0]                    # next byte expected from the peer
        self.scale = [{'win': 8, 'mac': 6}.get(client.kind, 7), rng.choice([7, 8, 9])]
        self.rwnd = [rng.choice([131072, 262144, 524288]), rng.choice([65536, 131072, 262144])]
        self.cwnd = [10 * self.mss, 10 * self.mss]
        self.syn_window = [65535 if client.kind == 'mac' else 64240, rng.choice([65160, 64240, 65535])]
        self.unacked = 0                     # segments the receiving side still owes an ACK for
        self.owing = None                    # which side owes it
        self.ack_deadline = None             # capture time of its delayed ACK
        self.last = 0.0                      # latest capture time of any frame so far

    # --- delays -------------------------------------------------------------------

    def lan(self):
        return self.w.rng.uniform(0.00003, 0.00012)

    def arrive(self, side):
        """Capture time to arrival at `side`."""
        return self.rtt / 2 if (side == S and self.remote) else self.lan()

    def seen(self, side):
        """Sending time at `side` to capture time."""
        return self.rtt / 2 if (side == S and self.remote) else 0.0

    def react(self, side, t, work=0.0):
        """Capture time of `side`'s answer to a frame captured at t."""
        return t + self.arrive(side) + work + self.w.rng.uniform(0.00002, 0.00015) + self.seen(side)

    def serial(self, size):
        return (size + 58) * 8 / self.bw

    # --- frames -------------------------------------------------------------------

    def emit(self, t, side, flags, payload=b'', options=b'', ack=None):
        w = self.w
        if ack is None:
            ack = self.rcv[side] if flags & ACK else 0
        window = self.syn_window[side] if flags & SYN else self.rwnd[side] >> self.scale[side]
        if side == C:
            src, dst, sp, dp = self.caddr, self.saddr, self.sport, self.dport
            smac, dmac, ttl = self.client.mac, self.peer_mac, self.client.ttl
        else:
            src, dst, sp, dp = self.saddr, self.caddr, self.dport, self.sport
            smac, dmac, ttl = self.peer_mac, self.client.mac, self.server_ttl
        seg = tcp(src, dst, sp, dp, self.seq[side], ack, flags, window, payload, options)
        if self.v6:
            pkt, etype = ipv6(src, dst, 6, seg, ttl), 0x86DD
        else:
            if side == C:
                ident = self.client.next_ident()
            elif self.remote:
                self.server_ident = (self.server_ident + 1) & 0xFFFF
                ident = self.server_ident
            else:
                ident = self.server.next_ident()
            pkt, etype = ipv4(src, dst, 6, seg, ident, ttl), 0x0800
        w.emit(t, ether(dmac, smac, etype, pkt, self.vlan))
        self.seq[side] = (self.seq[side] + len(payload) + (1 if flags & (SYN | FIN) else 0)) & MASK32
        self.rcv[1 - side] = self.seq[side]
        self.last = max(self.last, t)

    def syn_options(self, side):
        mss = self.mss
        return (struct.pack('!BBH', 2, 4, mss) + b'\x01' + struct.pack('!BBB', 3, 3, self.scale[side]) +
                b'\x01\x01\x04\x02')

    # --- phases -------------------------------------------------------------------

    def open(self, t):
        self.emit(t, C, SYN, options=self.syn_options(C))
        t1 = self.react(S, t)
        self.emit(t1, S, SYN | ACK, options=self.syn_options(S))
        t2 = self.react(C, t1)
        self.emit(t2, C, ACK)
        return t2

    def flush(self):
        """Sends the delayed ACK still owed, when nothing else will carry it."""
        self.settle(self.ack_deadline if self.owing is not None else 0.0)

    def settle(self, t):
        """Sends the delayed ACK still owed if its timer runs out before t."""
        if self.owing is not None and self.ack_deadline <= t:
            self.emit(self.ack_deadline, self.owing, ACK)
            self.owing = None
            self.unacked = 0

    def send(self, t, side, data):
        """Sends `data` from `side` starting at capture time t.

        Returns the capture-equivalent time at which the receiver has it all."""
        peer = 1 - side
        self.settle(t)
        if self.owing == side:          # our data carries the ACK we owed
            self.owing = None
            self.unacked = 0
        rng = self.w.rng
        acked = self.seq[side]
        learned = []                    # (time the sender learns it, ack number)
        li = 0
        t_next = t
        last_seen = t
        unacked = self.unacked if self.owing == peer else 0
        limit_r = self.rwnd[peer]
        chunks = [data[i:i + self.mss] for i in range(0, len(data), self.mss)] or [b'']
        for n, chunk in enumerate(chunks):
            end = (self.seq[side] + len(chunk)) & MASK32
            while li < len(learned) and learned[li][0] <= t_next:
                self.cwnd[side] = min(self.cwnd[side] + ((learned[li][1] - acked) & MASK32), 4 << 20)
                acked = learned[li][1]
                li += 1
            while ((end - acked) & MASK32) > min(self.cwnd[side], limit_r) and li < len(learned):
                t_next = max(t_next, learned[li][0])
                self.cwnd[side] = min(self.cwnd[side] + ((learned[li][1] - acked) & MASK32), 4 << 20)
                acked = learned[li][1]
                li += 1
            last = n == len(chunks) - 1
            self.emit(t_next, side, ACK | (PSH if last else 0), chunk)
            last_seen = t_next
            unacked += 1
            if unacked >= 2:
                ta = self.react(peer, t_next)
                self.emit(ta, peer, ACK, ack=end)
                learned.append((ta + self.arrive(side) + self.seen(side), end))
                unacked = 0
            t_next = t_next + self.serial(len(chunk)) * rng.uniform(1.0, 1.15)
        arrival = last_seen + self.arrive(peer)
        if unacked:
            self.owing = peer
            self.unacked = unacked
            self.ack_deadline = arrival + 0.040 + self.seen(peer)
        else:
            self.owing = None
            self.unacked = 0
        return arrival

    def converse(self, t, steps):
        """steps: (side, data, think) -- `think` seconds after the side may act.

        A side may act once it has received the other side's last message, or
        once it has finished sending its own.  Returns the time of the last frame."""
        ready = [t, t]
        for side, data, think in steps:
            start = ready[side] + think + self.seen(side)
            start = max(start, self.last + 1e-6)
            arrival = self.send(start, side, data)
            ready[1 - side] = arrival
            ready[side] = self.last + 1e-6 - self.seen(side)
        return max(ready)

    def close(self, t, closer=C):
        """Orderly release: FIN from `closer`, FIN+ACK back, last ACK."""
        t = max(t, self.last + 0.0001)
        self.settle(t)
        self.owing = None
        self.emit(t, closer, FIN | ACK)
        t1 = self.react(1 - closer, t)
        self.emit(t1, 1 - closer, FIN | ACK)
        t2 = self.react(closer, t1)
        self.emit(t2, closer, ACK)
        return t2


# ---------------------------------------------------------------------------
# The segment
# ---------------------------------------------------------------------------

REMOTE = {
    # name: (IPv4, IPv6 or None, CNAME or None)
    'www.example.com': ('203.0.113.10', '2001:db8:f00::10', None),
    'static.example.com': ('203.0.113.21', None, 'cdn.example.net'),
    'cdn.example.net': ('203.0.113.21', None, None),
    'login.example.com': ('203.0.113.40', '2001:db8:f00::40', None),
    'mail.example.org': ('198.51.100.25', None, None),
    'api.example.net': ('198.51.100.80', None, None),
    'calendar.example.org': ('198.51.100.31', None, None),
    'docs.example.org': ('198.51.100.33', '2001:db8:f11::33', None),
    'news.example.net': ('192.0.2.66', None, None),
    'chat.example.com': ('203.0.113.70', None, None),
    'telemetry.example.net': ('198.51.100.90', None, None),
    'updates.example.com': ('192.0.2.50', None, None),
    'deb.example.org': ('192.0.2.80', None, None),
    'pbx.example.net': ('203.0.113.50', None, None),
}
BROWSING = ['www.example.com', 'static.example.com', 'login.example.com', 'mail.example.org',
            'api.example.net', 'calendar.example.org', 'docs.example.org', 'news.example.net',
            'chat.example.com']
UPSTREAM_DNS = a4('198.51.100.53')
DOMAIN = 'office.example'
WORDS = ('the quarterly report shows steady growth in every region while the service team closed '
         'most open tickets before the deadline and the new office opens next month with room for '
         'twenty more desks please book the meeting rooms early and remember the fire drill on '
         'friday afternoon lunch is served in the kitchen').split()


class World:
    def __init__(self, seed):
        self.rng = random.Random(seed)
        self.frames = []
        self.queue = []
        self.counter = 0
        self.by_ip = {}
        self.by_ip6 = {}
        self.stations = []
        self.dns_cache = {}

    # --- scheduling and output --------------------------------------------------

    def emit(self, t, frame):
        if 0.0 <= t <= DURATION:
            self.counter += 1
            self.frames.append((int(round(t * 1e6)), self.counter, frame))

    def at(self, t, fn, *args):
        if t <= DURATION - 0.5:
            self.counter += 1
            heapq.heappush(self.queue, (t, self.counter, fn, args))

    def run(self):
        while self.queue:
            t, _, fn, args = heapq.heappop(self.queue)
            fn(t, *args)

    def write(self, path):
        self.frames.sort(key=lambda f: (f[0], f[1]))
        out = bytearray(struct.pack('<IHHiIII', 0xA1B2C3D4, 2, 4, 0, 0, 65535, 1))
        for t_us, _, frame in self.frames:
            sec, usec = divmod(t_us, 1_000_000)
            out += struct.pack('<IIII', START + sec, usec, len(frame), len(frame)) + frame
        with open(path, 'wb') as f:
            f.write(out)
        return len(out)

    # --- stations -----------------------------------------------------------------

    def add(self, *args, **kwargs):
        st = Station(self, *args, **kwargs)
        self.stations.append(st)
        if st.ip:
            self.by_ip[st.ip] = st
        self.by_ip6[st.ll6] = st
        return st

    def set_global6(self, st):
        st.g6 = a6('2001:db8:10::')[:8] + st.ll6[8:]
        self.by_ip6[st.g6] = st

    def lan_delay(self):
        return self.rng.uniform(0.00004, 0.0004)

    def cache_life(self, st):
        return {'router': 240.0, 'printer': 300.0}.get(st.kind, self.rng.uniform(30.0, 60.0))

    # --- address resolution -------------------------------------------------------

    def send_ip4(self, t, src, dst_mac, dst_ip, proto, payload, ttl=None, df=True, tos=0, options=b'', vlan=None):
        pkt = ipv4(src.ip, dst_ip, proto, payload, src.next_ident(), ttl or src.ttl, df, tos, options)
        self.emit(t, ether(dst_mac, src.mac, 0x0800, pkt, vlan if vlan is not None else src.vlan))

    def send_udp4(self, t, src, dst_mac, dst_ip, sport, dport, payload, ttl=None, src_ip=None, vlan=None):
        sip = src_ip if src_ip is not None else src.ip
        seg = udp(sip, dst_ip, sport, dport, payload)
        pkt = ipv4(sip, dst_ip, 17, seg, src.next_ident(), ttl or src.ttl, df=False)
        self.emit(t, ether(dst_mac, src.mac, 0x0800, pkt, vlan if vlan is not None else src.vlan))

    def send_udp6(self, t, src, src_ip, dst_mac, dst_ip, sport, dport, payload, hop_limit=None):
        seg = udp(src_ip, dst_ip, sport, dport, payload)
        self.emit(t, ether(dst_mac, src.mac, 0x86DD, ipv6(src_ip, dst_ip, 17, seg, hop_limit or 64)))

    def arp_resolve(self, t, st, target_ip):
        """Resolves target_ip from st if st's cache no longer trusts it.

        Returns the time at which st may send."""
        expiry = st.arp.get(target_ip)
        if expiry is not None and t < expiry:
            return t
        target = self.by_ip[target_ip]
        vlan = st.vlan
        src_ip = st.ip
        dst = target.mac if expiry is not None else BROADCAST
        self.emit(t, ether(dst, st.mac, 0x0806, arp(1, st.mac, src_ip, b'\0' * 6, target_ip), vlan))
        tr = t + self.lan_delay()
        self.emit(tr, ether(st.mac, target.mac, 0x0806, arp(2, target.mac, target_ip, st.mac, src_ip), vlan))
        st.arp[target_ip] = tr + self.cache_life(st)
        target.arp[src_ip] = tr + self.cache_life(target)
        return tr + self.rng.uniform(0.00002, 0.0001)

    def nexthop4(self, st, ip):
        peer = self.by_ip.get(ip)
        if peer is not None and peer.vlan == st.vlan:
            return peer, ip
        return self.gw, (a4('192.168.100.1') if st.vlan else self.gw.ip)

    def reach4(self, t, st, ip):
        """ARP as needed before st talks to ip; returns (time, next-hop MAC)."""
        hop, hop_ip = self.nexthop4(st, ip)
        t = self.arp_resolve(t, st, hop_ip)
        if hop is not self.gw:
            # the peer answers too: it asks again if it no longer trusts its entry for st
            expiry = hop.arp.get(st.ip)
            if expiry is None or expiry <= t:
                t = max(t, self.arp_resolve(t + self.lan_delay(), hop, st.ip))
        return t, hop.mac

    def nd_resolve(self, t, st, src_ip, target_ip):
        expiry = st.nd.get(target_ip)
        if expiry is not None and t < expiry:
            return t
        target = self.by_ip6[target_ip]
        if expiry is None:
            group = solicited_node(target_ip)
            dst_ip, dst_mac = group, mcast6_mac(group)
        else:
            dst_ip, dst_mac = target_ip, target.mac
        body = b'\0' * 4 + target_ip + bytes([1, 1]) + st.mac
        msg = icmp6(src_ip, dst_ip, 135, 0, body)
        self.emit(t, ether(dst_mac, st.mac, 0x86DD, ipv6(src_ip, dst_ip, 58, msg, 255)))
        tr = t + self.lan_delay()
        flags = 0x60000000 | (0x80000000 if target is self.gw else 0)  # solicited, override (router)
        body = struct.pack('!I', flags) + target_ip + bytes([2, 1]) + target.mac
        msg = icmp6(target_ip, src_ip, 136, 0, body)
        self.emit(tr, ether(st.mac, target.mac, 0x86DD, ipv6(target_ip, src_ip, 58, msg, 255)))
        st.nd[target_ip] = tr + self.rng.uniform(20.0, 45.0)
        target.nd[src_ip] = tr + self.rng.uniform(20.0, 45.0)
        return tr + 0.00005


# ---------------------------------------------------------------------------
# Application payloads
# ---------------------------------------------------------------------------

def text_body(rng, size, kind='html'):
    words = []
    n = 0
    while n < size:
        w = rng.choice(WORDS)
        words.append(w)
        n += len(w) + 1
    text = ' '.join(words)
    if kind == 'html':
        head = '<!DOCTYPE html>\n<html><head><title>Office intranet</title></head><body>\n<p>'
        tail = '</p>\n</body></html>\n'
    elif kind == 'css':
        head, tail = 'body { font-family: sans-serif; }\n/* ', ' */\n'
    elif kind == 'js':
        head, tail = '"use strict";\n// ', '\nconsole.log("ready");\n'
    else:
        head, tail = '', '\n'
    body = (head + text)[:max(0, size - len(tail))] + tail
    return body.encode()


def json_body(rng, items):
    parts = []
    for i in range(items):
        title = ' '.join(rng.choice(WORDS) for _ in range(rng.randrange(3, 8)))
        parts.append('{"id":%d,"title":"%s","read":%s}' % (i + 1, title, rng.choice(['true', 'false'])))
    return ('{"items":[' + ','.join(parts) + ']}\n').encode()


def http_request(method, host, path, agent, extra=''):
    return ('%s %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: %s\r\nAccept: */*\r\n'
            'Accept-Language: en-GB,en;q=0.9\r\n%sConnection: keep-alive\r\n\r\n'
            % (method, path, host, agent, extra)).encode()


def http_response(status, ctype, body, server='nginx', extra=''):
    reason = {200: 'OK', 304: 'Not Modified', 404: 'Not Found'}[status]
    head = 'HTTP/1.1 %d %s\r\nServer: %s\r\nDate: Tue, 12 Mar 2024 09:15:00 GMT\r\n' % (status, reason, server)
    if status != 304:
        head += 'Content-Type: %s\r\nContent-Length: %d\r\n' % (ctype, len(body))
    head += extra + '\r\n'
    return head.encode() + (body if status != 304 else b'')


AGENTS = {
    'win': 'Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/122.0 Safari/537.36',
    'mac': 'Mozilla/5.0 (Macintosh; Intel Mac OS X 14_3) AppleWebKit/605.1.15 (KHTML, like Gecko) Version/17.3 Safari/605.1.15',
    'linux': 'Mozilla/5.0 (X11; Linux x86_64; rv:123.0) Gecko/20100101 Firefox/123.0',
}


def tls_client_hello(rng, sni):
    suites = [0x1301, 0x1302, 0x1303, 0xC02B, 0xC02F, 0xC02C, 0xC030, 0xCCA9, 0xCCA8, 0xC013, 0xC014,
              0x009C, 0x009D, 0x002F, 0x0035]
    name = sni.encode()
    exts = b''
    exts += tls_ext(0x0000, struct.pack('!HBH', len(name) + 3, 0, len(name)) + name)
    exts += tls_ext(0x0017, b'')
    exts += tls_ext(0xFF01, b'\0')
    exts += tls_ext(0x000A, u16_list([0x001D, 0x0017, 0x0018]))
    exts += tls_ext(0x000B, b'\x01\x00')
    exts += tls_ext(0x0023, b'')
    alpn = b'\x02h2\x08http/1.1'
    exts += tls_ext(0x0010, struct.pack('!H', len(alpn)) + alpn)
    exts += tls_ext(0x000D, u16_list([0x0403, 0x0804, 0x0401, 0x0503, 0x0805, 0x0501, 0x0806, 0x0601]))
    key = rng.getrandbits(256).to_bytes(32, 'big')
    exts += tls_ext(0x0033, struct.pack('!HHH', 36, 0x001D, 32) + key)
    exts += tls_ext(0x002D, b'\x01\x01')
    exts += tls_ext(0x002B, b'\x04\x03\x04\x03\x03')
    body = (struct.pack('!H', 0x0303) + rng.getrandbits(256).to_bytes(32, 'big') + b'\x20' +
            rng.getrandbits(256).to_bytes(32, 'big') + u16_list(suites) + b'\x01\x00')
    # pad the hello to 512 bytes, as browsers do
    base = len(body) + 2 + len(exts) + 4
    if base < 508:
        exts += tls_ext(0x0015, bytes(508 - base - 4))
    body += struct.pack('!H', len(exts)) + exts
    hs = struct.pack('!B', 1) + len(body).to_bytes(3, 'big') + body
    return tls_record(22, hs, 0x0301)


def tls_server_flight(rng, session_id_len=32):
    key = rng.getrandbits(256).to_bytes(32, 'big')
    exts = tls_ext(0x002B, b'\x03\x04') + tls_ext(0x0033, struct.pack('!HH', 0x001D, 32) + key)
    body = (struct.pack('!H', 0x0303) + rng.getrandbits(256).to_bytes(32, 'big') + bytes([session_id_len]) +
            rng.getrandbits(8 * session_id_len).to_bytes(session_id_len, 'big') + struct.pack('!HB', 0x1301, 0) +
            struct.pack('!H', len(exts)) + exts)
    hs = struct.pack('!B', 2) + len(body).to_bytes(3, 'big') + body
    encrypted = rng.randrange(1700, 3100)
    return (tls_record(22, hs) + tls_record(20, b'\x01') +
            tls_record(23, rng.getrandbits(8 * encrypted).to_bytes(encrypted, 'big')))


def tls_app(rng, size):
    """Application data records carrying `size` bytes of plaintext."""
    out = b''
    while size > 0:
        n = min(size, 16384)
        size -= n
        out += tls_record(23, rng.getrandbits(8 * (n + 17)).to_bytes(n + 17, 'big'))
    return out


def ssh_packet(payload, block=8):
    padding = block - (len(payload) + 5) % block
    if padding < 4:
        padding += block
    return struct.pack('!IB', len(payload) + 1 + padding, padding) + payload + bytes(padding)


def ssh_string(data):
    if isinstance(data, str):
        data = data.encode()
    return struct.pack('!I', len(data)) + data


def ssh_kexinit(rng, server):
    lists = [
        'curve25519-sha256,curve25519-sha256@libssh.org,ecdh-sha2-nistp256,diffie-hellman-group16-sha512' +
        (',kex-strict-s-v00@openssh.com' if server else ',ext-info-c,kex-strict-c-v00@openssh.com'),
        'ssh-ed25519,ecdsa-sha2-nistp256,rsa-sha2-512,rsa-sha2-256,ssh-rsa' if not server else 'ssh-rsa,rsa-sha2-512,rsa-sha2-256',
        'chacha20-poly1305@openssh.com,aes128-ctr,aes256-ctr,aes128-gcm@openssh.com,aes256-gcm@openssh.com',
        'chacha20-poly1305@openssh.com,aes128-ctr,aes256-ctr,aes128-gcm@openssh.com,aes256-gcm@openssh.com',
        'umac-64-etm@openssh.com,hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,hmac-sha1',
        'umac-64-etm@openssh.com,hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,hmac-sha1',
        'none,zlib@openssh.com', 'none,zlib@openssh.com', '', '',
    ]
    payload = b'\x14' + rng.getrandbits(128).to_bytes(16, 'big')
    for item in lists:
        payload += ssh_string(item)
    payload += b'\0' + b'\0\0\0\0'
    return ssh_packet(payload)


def ssh_host_key(rng):
    """An RSA host key blob (e = 65537, 2048-bit modulus) and a signature made with it."""
    modulus = b'\x00' + bytes([0xC0 | rng.getrandbits(6)]) + rng.getrandbits(255 * 8).to_bytes(255, 'big')
    key = ssh_string('ssh-rsa') + ssh_string(b'\x01\x00\x01') + ssh_string(modulus)
    sig = ssh_string('ssh-rsa') + ssh_string(rng.getrandbits(2048).to_bytes(256, 'big'))
    return key, sig


def ssh_encrypted(rng, plain_len):
    """A chacha20-poly1305 packet: encrypted length, padded payload, 16-byte tag."""
    total = plain_len + 5
    total += (8 - total % 8) % 8
    if total - plain_len - 5 < 4:
        total += 8
    n = total + 16
    return rng.getrandbits(8 * n).to_bytes(n, 'big')


# ---------------------------------------------------------------------------
# Behaviour of the segment
# ---------------------------------------------------------------------------

class Office:
    def __init__(self, seed):
        w = self.w = World(seed)
        add = w.add
        self.gw = w.gw = add('fw-office', '00:09:0f:3a:21:07', '192.168.10.1', 'router')
        w.by_ip[a4('192.168.100.1')] = self.gw
        self.sw_port = add('sw-core-01 Gi1/0/24', '00:1a:a1:5c:3e:98', None, 'switch')
        self.sw = add('sw-core-01', '00:1a:a1:5c:3e:c0', '192.168.10.2', 'switch')
        self.dns = add('dc01', '18:66:da:0b:41:7e', '192.168.10.10', 'server')
        self.dhcp = add('infra01', '00:17:a4:77:52:19', '192.168.10.11', 'server')
        self.nas = add('nas01', '00:11:32:8e:4d:22', '192.168.10.20', 'server')
        self.web = add('intranet', '00:50:56:a1:0f:3c', '192.168.10.30', 'server')
        self.prn_hp = add('prn-hp-2f', '3c:d9:2b:6e:90:15', '192.168.10.40', 'printer')
        self.prn_bro = add('prn-brother', '00:80:77:d2:64:8b', '192.168.10.41', 'printer')
        self.prn_canon = add('prn-canon', '00:00:85:e4:1a:53', '192.168.10.42', 'printer')
        self.phone = add('phone-reception', '00:04:f2:c9:33:a0', '192.168.100.20', 'phone', vlan=(100, 5))
        self.pi = add('monitor', 'b8:27:eb:4f:12:9d', '192.168.10.60', 'linux')
        self.lw = add('laserwriter', '08:00:07:a4:19:5c', None, 'legacy')
        ws = [
            ('ws101', 'f8:bc:12:44:0a:91', 'win'), ('ws102', 'd4:be:d9:1c:7e:22', 'win'),
            ('ws103', '54:bf:64:83:5b:0e', 'win'), ('ws104', '00:14:22:9a:c3:47', 'win'),
            ('ws105', 'e4:54:e8:2d:68:b3', 'win'), ('ws106', 'a4:5d:36:f0:11:6c', 'win'),
            ('ws107', 'f4:ce:46:3b:c9:02', 'win'), ('dev108', '00:1b:21:7e:54:d8', 'linux'),
            ('dev109', '00:1c:c0:12:a7:e5', 'linux'), ('mac110', '28:cf:e9:1d:8b:40', 'mac'),
            ('mac111', '3c:07:54:6a:2f:91', 'mac'), ('mac112', '00:1c:b3:b5:0c:7d', 'mac'),
            ('lap113', '00:21:5a:c8:3d:16', 'win'), ('lap114', '10:c5:95:3e:7a:61', 'win'),
        ]
        self.ws = []
        for i, (name, m, kind) in enumerate(ws):
            self.ws.append(add(name, m, '192.168.10.%d' % (101 + i), kind))
        self.by_name = {st.name: st for st in w.stations}
        for st in [self.gw, self.nas, self.web, self.dns] + [s for s in self.ws if s.kind == 'mac']:
            w.set_global6(st)
        self.joins = {self.by_name['mac112']: 35.0,   # arrive and join through DHCP
                      self.by_name['lap114']: 80.0}
        self.leaver = self.by_name['lap113']     # leaves the office at 95 s
        self.napper = self.by_name['ws107']      # quiet from 40 s to 110 s
        for st in w.stations:
            if st.kind == 'win':
                st.groups4 = ['239.255.255.250', '224.0.0.252', '224.0.0.251']
            elif st.kind in ('mac', 'linux', 'server'):
                st.groups4 = ['224.0.0.251']
            elif st.kind == 'printer':
                st.groups4 = ['224.0.0.251', '239.255.255.250']
        self.nas.groups4 = ['224.0.0.251', '239.255.255.250']
        self.warm_caches()

    # --- helpers -------------------------------------------------------------------

    def warm_caches(self):
        """The capture starts in the middle of the day: caches hold entries of varied age."""
        w, rng = self.w, self.w.rng
        hosts = [s for s in w.stations if s.ip and s.vlan is None and s not in self.joins]
        for st in hosts:
            for peer in (self.gw, self.dns):
                if peer is not st and rng.random() < 0.85:
                    st.arp[peer.ip] = rng.uniform(0.5, 50.0)
                    peer.arp[st.ip] = 400.0 if peer is self.gw else rng.uniform(1.0, 60.0)
            self.gw.arp[st.ip] = 400.0
        self.gw.arp[self.phone.ip] = 400.0
        self.phone.arp[a4('192.168.100.1')] = 12.0

    def online(self, st, t):
        if st in self.joins and t < self.joins[st]:
            return False
        if st is self.leaver and t > 95.0:
            return False
        if st is self.napper and 40.0 < t < 110.0:
            return False
        return True

    # --- DNS --------------------------------------------------------------------------

    def dns_answer(self, name, qtype):
        entry = REMOTE.get(name)
        answers = []
        if entry is None:
            local = self.by_name.get(name.split('.')[0])
            if local and local.ip and qtype == T_A:
                answers.append((name, T_A, 1, 1200, local.ip))
            return answers
        v4, v6, cname = entry
        target = name
        if cname:
            answers.append((name, T_CNAME, 1, 300, dns_name(cname)))
            target = cname
        if qtype == T_A:
            answers.append((target, T_A, 1, 300, a4(v4)))
        elif qtype == T_AAAA and v6:
            answers.append((target, T_AAAA, 1, 300, a6(v6)))
        return answers

    def resolve(self, t, st, name, qtype=T_A):
        """st asks the office DNS server; returns the time it has the answer."""
        w, rng = self.w, self.w.rng
        t, hop = w.reach4(t, st, self.dns.ip)
        ident = rng.randrange(65536)
        port = st.ephemeral()
        q = dns_message(ident, 0x0100, [(name, qtype, 1)])
        w.send_udp4(t, st, hop, self.dns.ip, port, 53, q)
        t1 = t + w.lan_delay()
        key = (name, qtype)
        local = name.endswith(DOMAIN)
        if not local and w.dns_cache.get(key, -1) < t1:
            # the server asks its upstream resolver through the gateway
            t1, ghop = w.reach4(t1, self.dns, UPSTREAM_DNS)
            uport = self.dns.ephemeral()
            uid = rng.randrange(65536)
            w.send_udp4(t1, self.dns, ghop, UPSTREAM_DNS, uport, 53,
                        dns_message(uid, 0x0100, [(name, qtype, 1)]))
            t1 += rng.uniform(0.008, 0.030)
            answers = self.dns_answer(name, qtype)
            auth = [] if answers else [(name.split('.', 1)[1], T_SOA, 1, 900,
                                        rdata_soa('ns1.' + name.split('.', 1)[1], 'hostmaster.' + name.split('.', 1)[1], 2024031201))]
            resp = dns_message(uid, 0x8180, [(name, qtype, 1)], answers, auth)
            seg = udp(UPSTREAM_DNS, self.dns.ip, 53, uport, resp)
            w.emit(t1, ether(self.dns.mac, self.gw.mac, 0x0800,
                             ipv4(UPSTREAM_DNS, self.dns.ip, 17, seg, rng.randrange(65536), 57, df=False)))
            w.dns_cache[key] = t1 + 300
            t1 += rng.uniform(0.0001, 0.0004)
        else:
            t1 += rng.uniform(0.0001, 0.0006)
        answers = self.dns_answer(name, qtype)
        flags = 0x8580 if local else 0x8180
        if local and not answers:
            flags = 0x8583
        t1, _ = w.reach4(t1, self.dns, st.ip)
        w.send_udp4(t1, self.dns, st.mac, st.ip, 53, port, dns_message(ident, flags, [(name, qtype, 1)], answers))
        return t1 + w.lan_delay()

    # --- sessions ---------------------------------------------------------------------

    def https(self, t, st, name, exchanges, v6=False):
        """A TLS 1.3 connection to `name` with (request bytes, response bytes) pairs."""
        w, rng = self.w, self.w.rng
        entry = REMOTE.get(name)
        if entry is not None:
            v4addr, v6addr, _ = entry
            if v6 and v6addr and st.g6:
                addr = a6(v6addr)
            else:
                v6 = False
                addr = a4(v4addr)
        else:
            local = self.by_name[name.split('.')[0]]
            addr = local.ip
            v6 = False
        if v6:
            t = self.nd_to_router(t, st)
        else:
            t, _ = w.reach4(t, st, addr)
        conn = Tcp(w, st, addr, 443, v6=v6)
        t = conn.open(t)
        steps = [(C, tls_client_hello(rng, name), 0.0),
                 (S, tls_server_flight(rng), rng.uniform(0.0005, 0.004)),
                 (C, tls_record(20, b'\x01') + tls_app(rng, 36) + tls_app(rng, exchanges[0][0]), rng.uniform(0.0003, 0.002))]
        first = True
        for req, resp in exchanges:
            if not first:
                steps.append((C, tls_app(rng, req), rng.uniform(0.05, 2.0)))
            body = tls_app(rng, resp)
            if first:
                body = tls_app(rng, 240) + tls_app(rng, 240) + body
            steps.append((S, body, rng.uniform(0.001, 0.060)))
            first = False
        t = conn.converse(t, steps)
        t = conn.converse(t + rng.uniform(0.5, 4.0), [(C, tls_app(rng, 2), 0.0)])
        return conn.close(t + 0.0002, C)

    def nd_to_router(self, t, st):
        return self.w.nd_resolve(t, st, st.g6, self.gw.g6)

    def http(self, t, st, host, server_addr, requests, server='nginx', agent=None):
        """Plain HTTP/1.1 keep-alive connection; requests: (path, content type, body)."""
        w, rng = self.w, self.w.rng
        t, _ = w.reach4(t, st, server_addr)
        conn = Tcp(w, st, server_addr, 80)
        t = conn.open(t)
        steps = []
        for i, (path, ctype, body) in enumerate(requests):
            status = 200
            if body is None:
                status, body = 304, b''
            extra = 'If-None-Match: "5e1f-61a"\r\n' if status == 304 else ''
            steps.append((C, http_request('GET', host, path, agent or AGENTS.get(st.kind, AGENTS['linux']), extra),
                          0.0 if i == 0 else rng.uniform(0.001, 0.03)))
            steps.append((S, http_response(status, ctype, body, server,
                                           'ETag: "5e1f-61a"\r\n' if status == 304 else 'Cache-Control: max-age=600\r\n'),
                          rng.uniform(0.0008, 0.02)))
        t = conn.converse(t, steps)
        return conn.close(t + rng.uniform(0.2, 3.0), C)

    def page_load(self, t, st):
        rng = self.w.rng
        name = rng.choice(BROWSING)
        t1 = self.resolve(t, st, name, T_A)
        if st.kind in ('win', 'mac'):
            t1 = max(t1, self.resolve(t + 0.0003, st, name, T_AAAA))
        conns = 1 + (rng.random() < 0.35)
        end = t1
        for k in range(conns):
            ex = []
            for _ in range(rng.randrange(1, 4)):
                size = int(min(40000, rng.lognormvariate(6.7, 1.1)))
                ex.append((rng.randrange(280, 900), max(120, size)))
            v6 = st.kind == 'mac' and REMOTE[name][1] is not None
            end = max(end, self.https(t1 + 0.0005 + k * rng.uniform(0.001, 0.01), st, name, ex, v6=v6))
        return end

    def intranet(self, t, st):
        rng = self.w.rng
        t = self.resolve(t, st, 'intranet.' + DOMAIN)
        reqs = [('/', 'text/html; charset=utf-8', text_body(rng, rng.randrange(3000, 9000)))]
        if rng.random() < 0.5:
            reqs.append(('/static/site.css', 'text/css', None))
            reqs.append(('/static/app.js', 'application/javascript', None))
        else:
            reqs.append(('/static/site.css', 'text/css', text_body(rng, 2400, 'css')))
            reqs.append(('/static/app.js', 'application/javascript', text_body(rng, 5200, 'js')))
        reqs.append(('/api/news', 'application/json', json_body(rng, rng.randrange(3, 9))))
        return self.http(t, st, 'intranet.' + DOMAIN, self.web.ip, reqs, server='Apache/2.4.57 (Debian)')

    def ssh(self, t, st, server, keystrokes, bulk=0):
        """SSH session: key exchange, then either typing or a bulk upload of `bulk` bytes."""
        w, rng = self.w, self.w.rng
        t, _ = w.reach4(t, st, server.ip)
        conn = Tcp(w, st, server.ip, 22)
        t = conn.open(t)
        kex_c = ssh_kexinit(rng, False)
        kex_s = ssh_kexinit(rng, True)
        ecdh_init = ssh_packet(b'\x1e' + ssh_string(rng.getrandbits(256).to_bytes(32, 'big')))
        hostkey, sig = ssh_host_key(rng)
        ecdh_reply = ssh_packet(b'\x1f' + ssh_string(hostkey) + ssh_string(rng.getrandbits(256).to_bytes(32, 'big')) +
                                ssh_string(sig))
        newkeys = ssh_packet(b'\x15')
        banner = b'SSH-2.0-OpenSSH_7.4\r\n' if server is self.nas else b'SSH-2.0-OpenSSH_8.4p1 Raspbian-5+deb11u1\r\n'
        steps = [(S, banner, 0.001),
                 (C, b'SSH-2.0-OpenSSH_9.6\r\n', 0.0002),
                 (C, kex_c, 0.0001),
                 (S, kex_s, 0.0004),
                 (C, ecdh_init, 0.0006),
                 (S, ecdh_reply + newkeys, 0.002),
                 (C, newkeys + ssh_encrypted(rng, 28), 0.0009),
                 (S, ssh_encrypted(rng, 28), 0.0003),
                 (C, ssh_encrypted(rng, 60), 0.0002),
                 (S, ssh_encrypted(rng, 580), 0.001),
                 (C, ssh_encrypted(rng, 380), 0.002),
                 (S, ssh_encrypted(rng, 28), 0.004),
                 (C, ssh_encrypted(rng, 110), 0.0004),
                 (S, ssh_encrypted(rng, 28) + ssh_encrypted(rng, 620), 0.003)]
        t = conn.converse(t, steps)
        if bulk:
            data = b''
            while len(data) < bulk:
                data += ssh_encrypted(rng, 32768)
            t = conn.converse(t, [(C, data[:bulk - bulk % 8], 0.01), (S, ssh_encrypted(rng, 28), 0.002)])
        for _ in range(keystrokes):
            think = rng.choice([0.08, 0.12, 0.15, 0.2, 0.3, 0.6, 1.5])
            t = conn.converse(t, [(C, ssh_encrypted(rng, 12), think), (S, ssh_encrypted(rng, 12), 0.0003)])
            if rng.random() < 0.12:  # a command prints some output
                t = conn.converse(t, [(S, ssh_encrypted(rng, rng.randrange(200, 3000)), 0.01)])
        t = conn.converse(t, [(C, ssh_encrypted(rng, 12), 0.2), (S, ssh_encrypted(rng, 60), 0.002)])
        return conn.close(t + 0.002, S)

    # --- periodic infrastructure traffic ----------------------------------------------

    def stp(self, t):
        sw = self.sw
        bridge = struct.pack('!H', 0x8000) + sw.mac
        bpdu = (struct.pack('!HBBB', 0, 2, 2, 0x3C) + bridge + struct.pack('!I', 0) + bridge +
                struct.pack('!HHHHH', 0x8018, 0, 20 * 256, 2 * 256, 15 * 256) + b'\0')
        self.w.emit(t, ether_llc(mac('01:80:c2:00:00:00'), self.sw_port.mac, 0x42, 0x42, 0x03, bpdu))
        self.w.at(t + 2.0, self.stp)

    def lldp(self, t):
        def tlv(kind, value):
            return struct.pack('!H', (kind << 9) | len(value)) + value
        sw = self.sw
        body = (tlv(1, b'\x04' + sw.mac) + tlv(2, b'\x05Gi1/0/24') + tlv(3, struct.pack('!H', 120)) +
                tlv(4, b'GigabitEthernet1/0/24') + tlv(5, b'sw-core-01.office.example') +
                tlv(6, b'Cisco IOS Software, C2960X Software (C2960X-UNIVERSALK9-M), Version 15.2(7)E8') +
                tlv(7, struct.pack('!HH', 0x0014, 0x0004)) +
                tlv(8, bytes([5, 1]) + sw.ip + bytes([2]) + struct.pack('!I', 1) + b'\0') + tlv(0, b''))
        self.w.emit(t, ether(mac('01:80:c2:00:00:0e'), self.sw_port.mac, 0x88CC, body))
        self.w.at(t + 30.0, self.lldp)

    def phone_lldp(self, t):
        def tlv(kind, value):
            return struct.pack('!H', (kind << 9) | len(value)) + value
        ph = self.phone
        policy = (0 << 23) | (1 << 22) | (0 << 21) | (100 << 9) | (5 << 6) | 46
        body = (tlv(1, b'\x04' + ph.mac) + tlv(2, b'\x03' + ph.mac) + tlv(3, struct.pack('!H', 120)) +
                tlv(5, b'phone-reception') + tlv(6, b'Polycom VVX 250, UC Software 6.4.3') +
                tlv(7, struct.pack('!HH', 0x0024, 0x0020)) +
                tlv(127, b'\x00\x12\xbb\x01' + struct.pack('!HB', 0x0033, 3)) +
                tlv(127, b'\x00\x12\xbb\x02\x01' + policy.to_bytes(3, 'big')) + tlv(0, b''))
        self.w.emit(t, ether(mac('01:80:c2:00:00:0e'), ph.mac, 0x88CC, body))
        self.w.at(t + 30.0, self.phone_lldp)

    def cdp(self, t):
        def tlv(kind, value):
            return struct.pack('!HH', kind, 4 + len(value)) + value
        sw = self.sw
        body = (tlv(0x0001, b'sw-core-01.office.example') +
                tlv(0x0005, b'Cisco IOS Software, C2960X Software (C2960X-UNIVERSALK9-M), Version 15.2(7)E8, RELEASE SOFTWARE (fc3)') +
                tlv(0x0006, b'cisco WS-C2960X-48FPD-L') +
                tlv(0x0002, struct.pack('!IBBBH', 1, 1, 1, 0xCC, 4) + sw.ip) +
                tlv(0x0003, b'GigabitEthernet1/0/24') + tlv(0x0004, struct.pack('!I', 0x28)) +
                tlv(0x000A, struct.pack('!H', 1)) + tlv(0x000B, b'\x01'))
        if len(body) % 2:
            body += tlv(0x0009, b'')  # keep the packet even: VTP domain, empty
        pkt = struct.pack('!BBH', 2, 180, 0) + body
        pkt = put16(pkt, 2, checksum(pkt))
        self.w.emit(t, ether_snap(mac('01:00:0c:cc:cc:cc'), self.sw_port.mac, b'\x00\x00\x0c', 0x2000, pkt))
        self.w.at(t + 60.0, self.cdp)

    def igmp_query(self, t):
        w, rng = self.w, self.w.rng
        msg = icmp(0x11, 100, b'\0' * 4)
        w.send_ip4(t, self.gw, mcast4_mac('224.0.0.1'), a4('224.0.0.1'), 2, msg, ttl=1, df=False, tos=0xC0,
                   options=b'\x94\x04\x00\x00')
        for st in w.stations:
            if st.groups4 and st.ip and self.online(st, t):
                for group in st.groups4:
                    w.at(t + rng.uniform(0.05, 9.8), self.igmp_report, st, group)
        w.at(t + 60.0, self.igmp_query)

    def igmp_report(self, t, st, group):
        if not self.online(st, t):
            return
        msg = icmp(0x16, 0, a4(group))
        self.w.send_ip4(t, st, mcast4_mac(group), a4(group), 2, msg, ttl=1, df=False, tos=0xC0,
                        options=b'\x94\x04\x00\x00')

    def router_advert(self, t):
        self.router_advert_once(t)
        self.w.at(t + self.w.rng.uniform(40.0, 60.0), self.router_advert)

    def mld_query(self, t):
        w, rng, gw = self.w, self.w.rng, self.gw
        hbh = bytes([58, 0, 5, 2, 0, 0, 1, 0])
        dst = a6('ff02::1')
        body = struct.pack('!HH', 10000, 0) + bytes(16) + bytes([2, 125]) + struct.pack('!H', 0)
        w.emit(t, ether(mcast6_mac(dst), gw.mac, 0x86DD, ipv6(gw.ll6, dst, 0, icmp6(gw.ll6, dst, 130, 0, body), 1, hbh)))
        for st in w.stations:
            if st.kind in ('win', 'mac', 'linux', 'server') and self.online(st, t):
                w.at(t + rng.uniform(0.1, 9.5), self.mld_report, st, 2)
        w.at(t + 125.0, self.mld_query)

    def mld_report(self, t, st, record_type):
        if not self.online(st, t) and record_type == 2:
            return
        groups = [solicited_node(st.ll6)]
        if st.kind in ('mac', 'win'):
            groups.append(a6('ff02::fb'))
        if st.kind == 'win':
            groups.append(a6('ff02::1:3'))
        records = b''.join(struct.pack('!BBH', record_type, 0, 0) + g for g in groups)
        body = struct.pack('!HH', 0, len(groups)) + records
        hbh = bytes([58, 0, 5, 2, 0, 0, 1, 0])
        src = st.ll6 if record_type == 2 else a6('::')
        dst = a6('ff02::16')
        self.w.emit(t, ether(mcast6_mac(dst), st.mac, 0x86DD, ipv6(src, dst, 0, icmp6(src, dst, 143, 0, body), 1, hbh)))

    def ipx_sap(self, t):
        hp = self.prn_hp
        net = struct.pack('!I', 0x0A100000)
        entry = (struct.pack('!H', 0x030C) + b'NPI6E9015'.ljust(48, b'\0') + net + hp.mac +
                 struct.pack('!HH', 0x400C, 1))
        data = struct.pack('!H', 2) + entry
        hdr = (struct.pack('!HHBB', 0xFFFF, 30 + len(data), 0, 4) + net + BROADCAST + struct.pack('!H', 0x0452) +
               net + hp.mac + struct.pack('!H', 0x0452))
        self.w.emit(t, ether_llc(BROADCAST, hp.mac, 0xE0, 0xE0, 0x03, hdr + data))
        self.w.at(t + 60.0, self.ipx_sap)

    def appletalk_start(self, t):
        """The old LaserWriter powers on: AARP probes for its address, then NBP name checks."""
        w, lw = self.w, self.lw
        net, node = 0xFF01, 0x8A
        at_bcast = mac('09:00:07:ff:ff:ff')
        for i in range(3):
            probe = (struct.pack('!HHBBH', 1, 0x809B, 6, 4, 3) + lw.mac + b'\0' + struct.pack('!HB', net, node) +
                     bytes(6) + b'\0' + struct.pack('!HB', net, node))
            w.emit(t + i * 0.2, ether_snap(at_bcast, lw.mac, b'\x00\x00\x00', 0x80F3, probe))
        for i in range(3):
            tuple_ = (struct.pack('!HBBB', net, node, 0xFD, 0) + b'\x0bLaserWriter' + b'\x0bLaserWriter' + b'\x01*')
            nbp = bytes([0x21, 0x17]) + tuple_
            ddp = struct.pack('!HHHHBBBBB', 13 + len(nbp), 0, 0, net, 0xFF, node, 2, 0xFD, 2) + nbp
            w.emit(t + 0.8 + i * 1.0, ether_snap(at_bcast, lw.mac, b'\x08\x00\x07', 0x809B, ddp))

    def ssdp_notify(self, t, st, uuid, location, server_text, device_type):
        w = self.w
        group = a4('239.255.255.250')
        for nt, usn in (('upnp:rootdevice', 'uuid:%s::upnp:rootdevice' % uuid), ('uuid:' + uuid, 'uuid:' + uuid),
                        (device_type, 'uuid:%s::%s' % (uuid, device_type))):
            msg = ('NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nCACHE-CONTROL: max-age=1800\r\n'
                   'LOCATION: %s\r\nNT: %s\r\nNTS: ssdp:alive\r\nSERVER: %s\r\nUSN: %s\r\n\r\n'
                   % (location, nt, server_text, usn)).encode()
            w.send_udp4(t, st, mcast4_mac('239.255.255.250'), group, 1900, 1900, msg, ttl=4)
            t += w.rng.uniform(0.0005, 0.003)
        w.at(t + w.rng.uniform(55.0, 65.0), self.ssdp_notify, st, uuid, location, server_text, device_type)

    def ssdp_search(self, t, st):
        w, rng = self.w, self.w.rng
        if not self.online(st, t):
            return
        port = st.ephemeral()
        msg = ('M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\nMX: 1\r\n'
               'ST: urn:dial-multiscreen-org:service:dial:1\r\nUSER-AGENT: Microsoft Edge/122.0 Windows\r\n\r\n').encode()
        for k in range(2):
            w.send_udp4(t + k * 0.5, st, mcast4_mac('239.255.255.250'), a4('239.255.255.250'), port, 1900, msg, ttl=1)
        msg2 = ('M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\nMX: 2\r\n'
                'ST: upnp:rootdevice\r\n\r\n').encode()
        t2 = t + 1.1
        w.send_udp4(t2, st, mcast4_mac('239.255.255.250'), a4('239.255.255.250'), port, 1900, msg2, ttl=1)
        for dev, uuid, loc, server in self.ssdp_devices():
            tr = t2 + rng.uniform(0.05, 1.9)
            tr, _ = w.reach4(tr, dev, st.ip)
            resp = ('HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nEXT:\r\nLOCATION: %s\r\nSERVER: %s\r\n'
                    'ST: upnp:rootdevice\r\nUSN: uuid:%s::upnp:rootdevice\r\n\r\n' % (loc, server, uuid)).encode()
            w.send_udp4(tr, dev, st.mac, st.ip, 1900, port, resp)
        w.at(t + rng.uniform(35.0, 70.0), self.ssdp_search, st)

    def ssdp_devices(self):
        return [(self.nas, '73796e6f-6473-6d00-0000-0011328e4d22', 'http://192.168.10.20:5000/ssdp/desc-DSM-eth0.xml',
                 'Synology/DSM/192.168.10.20'),
                (self.prn_hp, '5ed3f0a2-39c1-4c9e-8b5a-3cd92b6e9015', 'http://192.168.10.40:80/DevMgmt/DiscoveryTree.xml',
                 'HP HTTP Server; HP LaserJet Pro M404dn'),
                (self.prn_canon, '00000000-0000-1000-8000-000085e41a53', 'http://192.168.10.42:80/desc.xml',
                 'CANON HTTP Server')]

    # --- mDNS ------------------------------------------------------------------------

    def mdns_services(self):
        return {
            '_ipp._tcp.local': [(self.prn_hp, 'HP LaserJet Pro M404dn', 631, 'NPI6E9015.local'),
                                (self.prn_bro, 'Brother HL-L2350DW', 631, 'BRW008077D2648B.local')],
            '_printer._tcp.local': [(self.prn_hp, 'HP LaserJet Pro M404dn', 515, 'NPI6E9015.local')],
            '_smb._tcp.local': [(self.nas, 'nas01', 445, 'nas01.local')],
            '_http._tcp.local': [(self.nas, 'nas01', 5000, 'nas01.local')],
        }

    def mdns_query(self, t, st, services, v6=True):
        w, rng = self.w, self.w.rng
        if not self.online(st, t):
            return
        q = dns_message(0, 0, [(s, T_PTR, 1) for s in services])
        w.send_udp4(t, st, mcast4_mac('224.0.0.251'), a4('224.0.0.251'), 5353, 5353, q, ttl=255)
        if v6:
            dst = a6('ff02::fb')
            w.send_udp6(t + 0.0002, st, st.ll6, mcast6_mac(dst), dst, 5353, 5353, q, 255)
        table = self.mdns_services()
        for svc in services:
            for dev, inst, port, target in table.get(svc, []):
                full = '%s.%s' % (inst, svc)
                answers = [(svc, T_PTR, 1, 4500, dns_name(full))]
                extra = [(full, T_SRV, 0x8001, 120, rdata_srv(0, 0, port, target)),
                         (full, T_TXT, 0x8001, 4500, rdata_txt('txtvers=1', 'ty=' + inst, 'adminurl=http://%s/' % target)),
                         (target, T_A, 0x8001, 120, dev.ip)]
                tr = t + rng.uniform(0.02, 0.12)
                w.send_udp4(tr, dev, mcast4_mac('224.0.0.251'), a4('224.0.0.251'), 5353, 5353,
                            dns_message(0, 0x8400, [], answers, (), extra), ttl=255)
        w.at(t + rng.uniform(20.0, 60.0), self.mdns_query, st, services, v6)

    def mdns_announce(self, t, st, service, instance, port):
        w = self.w
        if not self.online(st, t):
            return
        target = st.name + '.local'
        full = '%s.%s' % (instance, service)
        answers = [(service, T_PTR, 1, 4500, dns_name(full)),
                   (full, T_SRV, 0x8001, 120, rdata_srv(0, 0, port, target)),
                   (full, T_TXT, 0x8001, 4500, rdata_txt('rpBA=4E:21:9C:A0:33:1F', 'rpVr=510.24.1')),
                   (target, T_A, 0x8001, 120, st.ip)]
        if st.g6:
            answers.append((target, T_AAAA, 0x8001, 120, st.ll6))
        msg = dns_message(0, 0x8400, [], answers)
        w.send_udp4(t, st, mcast4_mac('224.0.0.251'), a4('224.0.0.251'), 5353, 5353, msg, ttl=255)
        dst = a6('ff02::fb')
        w.send_udp6(t + 0.0003, st, st.ll6, mcast6_mac(dst), dst, 5353, 5353, msg, 255)
        w.at(t + w.rng.uniform(50.0, 80.0), self.mdns_announce, st, service, instance, port)

    # --- Windows name services ----------------------------------------------------------

    def lan_sync(self, t, st, host_int, namespaces):
        """A file-sync client announces itself to the LAN every 30 seconds."""
        w = self.w
        if self.online(st, t):
            msg = ('{"host_int": %d, "version": [2, 0], "displayname": "", "port": 17500, "namespaces": [%s]}'
                   % (host_int, ', '.join(str(n) for n in namespaces))).encode()
            w.send_udp4(t, st, BROADCAST, a4('255.255.255.255'), 17500, 17500, msg)
            w.send_udp4(t + 0.0004, st, BROADCAST, a4('192.168.10.255'), 17500, 17500, msg)
        w.at(t + 30.0, self.lan_sync, st, host_int, namespaces)

    def nbns_query(self, t, st, target):
        w, rng = self.w, self.w.rng
        ident = rng.randrange(65536)
        q = struct.pack('!HHHHHH', ident, 0x0110, 1, 0, 0, 0) + nb_name(target.name, 0x20) + struct.pack('!HH', 0x20, 1)
        w.send_udp4(t, st, BROADCAST, a4('192.168.10.255'), 137, 137, q)
        tr = t + rng.uniform(0.0005, 0.003)
        tr, _ = w.reach4(tr, target, st.ip)
        resp = (struct.pack('!HHHHHH', ident, 0x8500, 0, 1, 0, 0) + nb_name(target.name, 0x20) +
                struct.pack('!HHIHH', 0x20, 1, 300000, 6, 0) + target.ip)
        w.send_udp4(tr, target, st.mac, st.ip, 137, 137, resp)
        return tr

    def nbns_register(self, t, st):
        w = self.w
        for suffix in (0x00, 0x20):
            ident = w.rng.randrange(65536)
            msg = (struct.pack('!HHHHHH', ident, 0x2910, 1, 0, 0, 1) + nb_name(st.name, suffix) +
                   struct.pack('!HH', 0x20, 1) + b'\xc0\x0c' + struct.pack('!HHIHH', 0x20, 1, 300000, 6, 0) + st.ip)
            w.send_udp4(t, st, BROADCAST, a4('192.168.10.255'), 137, 137, msg)
            t += 0.002

    def llmnr_query(self, t, st, target):
        w, rng = self.w, self.w.rng
        ident = rng.randrange(65536)
        port = st.ephemeral()
        q = dns_message(ident, 0, [(target.name, T_A, 1)])
        w.send_udp4(t, st, mcast4_mac('224.0.0.252'), a4('224.0.0.252'), port, 5355, q, ttl=1)
        tr = t + rng.uniform(0.0004, 0.002)
        tr, _ = w.reach4(tr, target, st.ip)
        resp = dns_message(ident, 0x8000, [(target.name, T_A, 1)], [(target.name, T_A, 1, 30, target.ip)])
        w.send_udp4(tr, target, st.mac, st.ip, 5355, port, resp)
        return tr

    # --- NTP, SNMP, ICMP ----------------------------------------------------------------

    def ntp(self, t, st, server, interval):
        w, rng = self.w, self.w.rng
        if self.online(st, t):
            t1, hop = w.reach4(t, st, server.ip)
            sport = 123 if st.kind in ('win', 'linux') else st.ephemeral()
            req = ntp_packet(3, 0, 6 if st.kind != 'win' else 10, -20, b'\0' * 4, None, None, None, t1)
            w.send_udp4(t1, st, hop, server.ip, sport, 123, req)
            t2 = t1 + w.lan_delay()
            t2, _ = w.reach4(t2, server, st.ip)
            resp = ntp_packet(4, 2 if server is self.gw else 3, 6, -23, UPSTREAM_DNS if server is self.gw else self.gw.ip,
                              t2 - 31.7, t1, t2 - 0.00002, t2, root_delay=0x000003A2, root_disp=0x00000B5C)
            w.send_udp4(t2, server, st.mac, st.ip, 123, sport, resp)
        w.at(t + interval * rng.uniform(0.97, 1.03), self.ntp, st, server, interval)

    def snmp_poll(self, t):
        w, rng = self.w, self.w.rng
        pi = self.pi
        targets = [(self.sw, [('1.3.6.1.2.1.1.3.0', lambda: ber_int(int((t + 8640000) * 100), 0x43)),
                              ('1.3.6.1.2.1.2.2.1.10.24', lambda: ber_int(int(3.1e9 + t * 2.9e5) & MASK32, 0x41)),
                              ('1.3.6.1.2.1.2.2.1.16.24', lambda: ber_int(int(1.7e9 + t * 4.1e5) & MASK32, 0x41))]),
                   (self.prn_hp, [('1.3.6.1.2.1.1.3.0', lambda: ber_int(int((t + 512000) * 100), 0x43)),
                                  ('1.3.6.1.2.1.25.3.5.1.1.1', lambda: ber_int(3)),
                                  ('1.3.6.1.2.1.43.11.1.1.9.1.1', lambda: ber_int(62))]),
                   (self.prn_canon, [('1.3.6.1.2.1.1.5.0', lambda: ber(0x04, b'prn-canon')),
                                     ('1.3.6.1.2.1.25.3.5.1.1.1', lambda: ber_int(3))]),
                   (self.prn_bro, [('1.3.6.1.2.1.1.3.0', lambda: ber_int(int((t + 91000) * 100), 0x43))])]
        for dev, oids in targets:
            t1, hop = w.reach4(t, pi, dev.ip)
            port = pi.ephemeral()
            rid = rng.randrange(1, 2 ** 31)
            req = snmp_message('public', 0xA0, rid, [(oid, b'\x05\x00') for oid, _ in oids])
            w.send_udp4(t1, pi, hop, dev.ip, port, 161, req)
            t2 = t1 + rng.uniform(0.001, 0.008)
            t2, _ = w.reach4(t2, dev, pi.ip)
            resp = snmp_message('public', 0xA2, rid, [(oid, value()) for oid, value in oids])
            w.send_udp4(t2, dev, pi.mac, pi.ip, 161, port, resp)
            t = t2 + rng.uniform(0.01, 0.05)
        w.at(t + 30.0, self.snmp_poll)

    def ping(self, t, st, target_ip, count, data=None, interval=1.0):
        w, rng = self.w, self.w.rng
        ident = rng.randrange(1, 65536)
        if data is None:
            data = b'abcdefghijklmnopqrstuvwabcdefghi' if st.kind == 'win' else bytes(range(16, 64))
        remote = target_ip not in w.by_ip
        for seq in range(1, count + 1):
            t1, hop = w.reach4(t, st, target_ip)
            w.send_ip4(t1, st, hop, target_ip, 1, icmp(8, 0, struct.pack('!HH', ident, seq), data), df=st.kind != 'win')
            if remote:
                t2 = t1 + rng.uniform(0.009, 0.025)
                pkt = ipv4(target_ip, st.ip, 1, icmp(0, 0, struct.pack('!HH', ident, seq), data),
                           rng.randrange(65536), 57, df=False)
                w.emit(t2, ether(st.mac, self.gw.mac, 0x0800, pkt))
            else:
                dev = w.by_ip[target_ip]
                t2 = t1 + w.lan_delay()
                t2, _ = w.reach4(t2, dev, st.ip)
                w.send_ip4(t2, dev, st.mac, st.ip, 1, icmp(0, 0, struct.pack('!HH', ident, seq), data), df=st.kind != 'win')
            t = t1 + interval
        return t

    def monitor_pings(self, t):
        w = self.w
        for dev in (self.gw, self.nas, self.web, self.dns, self.prn_hp, self.prn_bro, self.prn_canon):
            t = self.ping(t, self.pi, dev.ip, 1) - 1.0 + w.rng.uniform(0.05, 0.2)
        w.at(t + 10.0, self.monitor_pings)

    # --- DHCP -------------------------------------------------------------------------

    def dhcp_join(self, t, st, hostname, vendor):
        """st arrives: DHCP exchange, ARP probes and announcement, IPv6 autoconfiguration."""
        w, rng = self.w, self.w.rng
        xid = rng.getrandbits(32)
        zero, bcast = a4('0.0.0.0'), a4('255.255.255.255')
        srv = self.dhcp
        ip = st.ip
        flags = 0x8000 if st.kind == 'win' else 0
        params = bytes([1, 121, 3, 6, 15, 119, 252, 95, 44, 46])
        common = dhcp_opt(61, b'\x01' + st.mac) + dhcp_opt(12, hostname.encode()) + dhcp_opt(55, params)
        if vendor:
            common += dhcp_opt(60, vendor.encode())
        srv_opts = (dhcp_opt(54, srv.ip) + dhcp_opt(51, struct.pack('!I', 28800)) + dhcp_opt(58, struct.pack('!I', 14400)) +
                    dhcp_opt(59, struct.pack('!I', 25200)) + dhcp_opt(1, a4('255.255.255.0')) + dhcp_opt(3, self.gw.ip) +
                    dhcp_opt(6, self.dns.ip) + dhcp_opt(15, DOMAIN.encode()))

        def client(t, msgtype, extra, secs):
            msg = bootp(1, xid, st.mac, dhcp_opt(53, bytes([msgtype])) + common + extra, secs=secs, flags=flags)
            seg = udp(zero, bcast, 68, 67, msg)
            w.emit(t, ether(BROADCAST, st.mac, 0x0800, ipv4(zero, bcast, 17, seg, 0, 128 if st.kind == 'win' else 255, df=False)))

        def server(t, msgtype):
            msg = bootp(2, xid, st.mac, dhcp_opt(53, bytes([msgtype])) + srv_opts, flags=flags, yiaddr=ip, siaddr=srv.ip)
            dst_ip, dst_mac = (bcast, BROADCAST) if flags else (ip, st.mac)
            w.send_udp4(t, srv, dst_mac, dst_ip, 67, 68, msg, ttl=128)

        client(t, 1, b'', 0)
        t1 = t + rng.uniform(0.001, 0.004)
        server(t1, 2)
        t2 = t1 + rng.uniform(0.002, 0.03)
        client(t2, 3, dhcp_opt(50, ip) + dhcp_opt(54, srv.ip), 1)
        t3 = t2 + rng.uniform(0.001, 0.004)
        server(t3, 5)
        srv.arp[ip] = t3 + 60
        # ARP probes for the new address, then the announcement
        t4 = t3 + rng.uniform(0.05, 0.2)
        for k in range(3):
            w.emit(t4 + k * rng.uniform(0.2, 0.4) if k else t4,
                   ether(BROADCAST, st.mac, 0x0806, arp(1, st.mac, zero, b'\0' * 6, ip)))
        t5 = t4 + 1.2
        w.emit(t5, ether(BROADCAST, st.mac, 0x0806, arp(1, st.mac, ip, b'\0' * 6, ip)))
        # IPv6: router solicitation, duplicate address detection, the router's answer
        t6 = t5 + 0.01
        self.mld_report(t6, st, 4)
        dad_dst = solicited_node(st.ll6)
        body = b'\0' * 4 + st.ll6
        w.emit(t6 + 0.002, ether(mcast6_mac(dad_dst), st.mac, 0x86DD,
                                 ipv6(a6('::'), dad_dst, 58, icmp6(a6('::'), dad_dst, 135, 0, body), 255)))
        rs_dst = a6('ff02::2')
        w.emit(t6 + 1.01, ether(mcast6_mac(rs_dst), st.mac, 0x86DD,
                                ipv6(st.ll6, rs_dst, 58, icmp6(st.ll6, rs_dst, 133, 0, b'\0' * 4 + bytes([1, 1]) + st.mac), 255)))
        w.at(t6 + 1.02, self.router_advert_once)
        if st.g6:
            w.emit(t6 + 1.05, ether(mcast6_mac(dad_dst), st.mac, 0x86DD,
                                    ipv6(a6('::'), dad_dst, 58, icmp6(a6('::'), dad_dst, 135, 0, b'\0' * 4 + st.g6), 255)))
        return t6 + 2.0

    def router_advert_once(self, t):
        w, gw = self.w, self.gw
        body = (struct.pack('!BBHII', 64, 0, 1800, 0, 0) + bytes([1, 1]) + gw.mac +
                struct.pack('!BBHI', 5, 1, 0, 1500) +
                struct.pack('!BBBBIII', 3, 4, 64, 0xC0, 2592000, 604800, 0) + a6('2001:db8:10::'))
        dst = a6('ff02::1')
        w.emit(t, ether(mcast6_mac(dst), gw.mac, 0x86DD, ipv6(gw.ll6, dst, 58, icmp6(gw.ll6, dst, 134, 0, body), 255)))

    def dhcp_renew(self, t, st):
        w, rng = self.w, self.w.rng
        srv = self.dhcp
        xid = rng.getrandbits(32)
        t, hop = w.reach4(t, st, srv.ip)
        opts = dhcp_opt(53, b'\x03') + dhcp_opt(61, b'\x01' + st.mac) + dhcp_opt(12, st.name.encode()) + \
            dhcp_opt(55, bytes([1, 3, 6, 15, 31, 33, 43, 44, 46, 47, 119, 121, 249, 252]))
        w.send_udp4(t, st, hop, srv.ip, 68, 67, bootp(1, xid, st.mac, opts, ciaddr=st.ip))
        t1 = t + rng.uniform(0.002, 0.01)
        t1, _ = w.reach4(t1, srv, st.ip)
        ack = (dhcp_opt(53, b'\x05') + dhcp_opt(54, srv.ip) + dhcp_opt(51, struct.pack('!I', 28800)) +
               dhcp_opt(1, a4('255.255.255.0')) + dhcp_opt(3, self.gw.ip) + dhcp_opt(6, self.dns.ip) +
               dhcp_opt(15, DOMAIN.encode()))
        w.send_udp4(t1, srv, st.mac, st.ip, 67, 68, bootp(2, xid, st.mac, ack, ciaddr=st.ip, yiaddr=st.ip))

    # --- the phone --------------------------------------------------------------------

    def sip(self, t, text, outbound):
        w, ph = self.w, self.phone
        pbx = a4(REMOTE['pbx.example.net'][0])
        payload = text.encode()
        if outbound:
            w.send_udp4(t, ph, self.gw.mac, pbx, 5060, 5060, payload)
        else:
            seg = udp(pbx, ph.ip, 5060, 5060, payload)
            w.emit(t, ether(ph.mac, self.gw.mac, 0x0800, ipv4(pbx, ph.ip, 17, seg, w.rng.randrange(65536), 58, df=False),
                            (100, 5)))

    def sip_msg(self, first_line, headers, body=''):
        lines = [first_line] + headers + ['Content-Length: %d' % len(body.encode()), '', '']
        return '\r\n'.join(lines) + body

    def sip_register(self, t):
        w, rng = self.w, self.w.rng
        t, _ = w.reach4(t, self.phone, a4('203.0.113.50'))
        call = '%08x@192.168.100.20' % rng.getrandbits(32)
        tag = '%08x' % rng.getrandbits(32)
        branch = 'z9hG4bK%08x' % rng.getrandbits(32)
        common = ['Via: SIP/2.0/UDP 192.168.100.20:5060;branch=%s;rport' % branch,
                  'From: "Reception" <sip:1001@pbx.example.net>;tag=%s' % tag,
                  'To: "Reception" <sip:1001@pbx.example.net>', 'Call-ID: ' + call, 'CSeq: 1 REGISTER']
        self.sip(t, self.sip_msg('REGISTER sip:pbx.example.net SIP/2.0', common[:1] + ['Max-Forwards: 70'] + common[1:] +
                                 ['Contact: <sip:1001@192.168.100.20:5060>', 'Expires: 3600',
                                  'User-Agent: PolycomVVX-VVX_250-UA/6.4.3.5018']), True)
        t += rng.uniform(0.02, 0.04)
        self.sip(t, self.sip_msg('SIP/2.0 200 OK', common[:2] +
                                 ['To: "Reception" <sip:1001@pbx.example.net>;tag=as6b1c2d3e', 'Call-ID: ' + call,
                                  'CSeq: 1 REGISTER', 'Contact: <sip:1001@192.168.100.20:5060>;expires=3600',
                                  'Server: PBX']), False)

    def sip_options(self, t):
        w, rng = self.w, self.w.rng
        call = '%08x@203.0.113.50' % rng.getrandbits(32)
        branch = 'z9hG4bK%08x' % rng.getrandbits(32)
        tag = 'as%08x' % rng.getrandbits(32)
        head = ['Via: SIP/2.0/UDP 203.0.113.50:5060;branch=%s' % branch,
                'From: "asterisk" <sip:asterisk@pbx.example.net>;tag=%s' % tag,
                'To: <sip:1001@192.168.100.20:5060>', 'Call-ID: ' + call, 'CSeq: 102 OPTIONS']
        self.sip(t, self.sip_msg('OPTIONS sip:1001@192.168.100.20:5060 SIP/2.0', head[:1] + ['Max-Forwards: 70'] + head[1:] +
                                 ['Contact: <sip:asterisk@203.0.113.50:5060>', 'Accept: application/sdp']), False)
        t += rng.uniform(0.002, 0.006)
        self.sip(t, self.sip_msg('SIP/2.0 200 OK', head[:2] + ['To: <sip:1001@192.168.100.20:5060>;tag=%08x' % rng.getrandbits(32)] +
                                 head[3:] + ['Allow: INVITE, ACK, BYE, CANCEL, OPTIONS, INFO, MESSAGE, SUBSCRIBE, NOTIFY, PRACK, UPDATE, REFER',
                                             'Accept: application/sdp']), True)
        w.at(t + 30.0, self.sip_options)

    def phone_call(self, t, length):
        w, rng = self.w, self.w.rng
        ph = self.phone
        call = '%08x-%04x@192.168.100.20' % (rng.getrandbits(32), rng.getrandbits(16))
        tag = '%08x' % rng.getrandbits(32)
        rtag = 'as%08x' % rng.getrandbits(32)
        branch = 'z9hG4bK%08x' % rng.getrandbits(32)
        local_port, remote_port = 2222, 13774
        sdp_local = ('v=0\r\no=- 1710234900 1710234900 IN IP4 192.168.100.20\r\ns=Polycom IP Phone\r\n'
                     'c=IN IP4 192.168.100.20\r\nt=0 0\r\nm=audio %d RTP/AVP 18 101\r\na=rtpmap:18 G729/8000\r\n'
                     'a=fmtp:18 annexb=no\r\n'
                     'a=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-15\r\na=sendrecv\r\n' % local_port)
        sdp_remote = ('v=0\r\no=root 4711 4712 IN IP4 203.0.113.50\r\ns=PBX\r\nc=IN IP4 203.0.113.50\r\nt=0 0\r\n'
                      'm=audio %d RTP/AVP 18 101\r\na=rtpmap:18 G729/8000\r\na=fmtp:18 annexb=no\r\n'
                      'a=rtpmap:101 telephone-event/8000\r\na=fmtp:101 0-16\r\na=ptime:20\r\na=sendrecv\r\n' % remote_port)
        via = 'Via: SIP/2.0/UDP 192.168.100.20:5060;branch=%s;rport' % branch
        frm = 'From: "Reception" <sip:1001@pbx.example.net>;tag=%s' % tag
        to = 'To: <sip:1042@pbx.example.net>'
        to_t = to + ';tag=' + rtag
        cid = 'Call-ID: ' + call
        t, _ = w.reach4(t, ph, a4('203.0.113.50'))
        self.sip(t, self.sip_msg('INVITE sip:1042@pbx.example.net SIP/2.0',
                                 [via, 'Max-Forwards: 70', frm, to, cid, 'CSeq: 1 INVITE',
                                  'Contact: <sip:1001@192.168.100.20:5060>', 'Content-Type: application/sdp'], sdp_local), True)
        t += 0.021
        self.sip(t, self.sip_msg('SIP/2.0 100 Trying', [via, frm, to, cid, 'CSeq: 1 INVITE']), False)
        t += 0.35
        self.sip(t, self.sip_msg('SIP/2.0 180 Ringing', [via, frm, to_t, cid, 'CSeq: 1 INVITE',
                                                         'Contact: <sip:1042@203.0.113.50:5060>']), False)
        t += rng.uniform(3.0, 5.0)
        self.sip(t, self.sip_msg('SIP/2.0 200 OK', [via, frm, to_t, cid, 'CSeq: 1 INVITE',
                                                    'Contact: <sip:1042@203.0.113.50:5060>', 'Content-Type: application/sdp'],
                                 sdp_remote), False)
        t += 0.01
        ack_branch = 'z9hG4bK%08x' % rng.getrandbits(32)
        self.sip(t, self.sip_msg('ACK sip:1042@203.0.113.50:5060 SIP/2.0',
                                 ['Via: SIP/2.0/UDP 192.168.100.20:5060;branch=%s;rport' % ack_branch, 'Max-Forwards: 70',
                                  frm, to_t, cid, 'CSeq: 1 ACK']), True)
        # 20 ms G.729 packets each way: two 10-byte frames each
        pbx = a4('203.0.113.50')
        ssrc_out, ssrc_in = rng.getrandbits(32), rng.getrandbits(32)
        seq_out, seq_in = rng.randrange(65536), rng.randrange(65536)
        ts_out, ts_in = rng.getrandbits(32), rng.getrandbits(32)
        start = t + 0.02
        n = int(length / 0.02)
        ident_in = rng.randrange(65536)
        for i in range(n):
            tt = start + i * 0.02
            voice = rng.getrandbits(160).to_bytes(20, 'big')
            rtp = struct.pack('!BBHII', 0x80, 18 | (0x80 if i == 0 else 0), (seq_out + i) & 0xFFFF,
                              (ts_out + 160 * i) & MASK32, ssrc_out) + voice
            w.send_udp4(tt + rng.uniform(0, 0.0008), ph, self.gw.mac, pbx, local_port, remote_port, rtp)
            rtp = struct.pack('!BBHII', 0x80, 18 | (0x80 if i == 0 else 0), (seq_in + i) & 0xFFFF,
                              (ts_in + 160 * i) & MASK32, ssrc_in) + voice[::-1]
            ident_in = (ident_in + 1) & 0xFFFF
            seg = udp(pbx, ph.ip, remote_port, local_port, rtp)
            w.emit(tt + 0.011 + rng.uniform(0, 0.004),
                   ether(ph.mac, self.gw.mac, 0x0800, ipv4(pbx, ph.ip, 17, seg, ident_in, 58, df=False, tos=0xB8), (100, 5)))
        t = start + n * 0.02 + 0.01
        bye_branch = 'z9hG4bK%08x' % rng.getrandbits(32)
        bye_via = 'Via: SIP/2.0/UDP 192.168.100.20:5060;branch=%s;rport' % bye_branch
        self.sip(t, self.sip_msg('BYE sip:1042@203.0.113.50:5060 SIP/2.0',
                                 [bye_via, 'Max-Forwards: 70', frm, to_t, cid, 'CSeq: 2 BYE']), True)
        self.sip(t + 0.022, self.sip_msg('SIP/2.0 200 OK', [bye_via, frm, to_t, cid, 'CSeq: 2 BYE']), False)

    # --- printing -----------------------------------------------------------------------

    def print_job(self, t, st, printer, size):
        w, rng = self.w, self.w.rng
        t, _ = w.reach4(t, st, printer.ip)
        conn = Tcp(w, st, printer.ip, 9100)
        conn.bw = 90e6
        conn.rwnd[S] = 65536
        t = conn.open(t)
        head = b'\x1b%-12345X@PJL JOB NAME="Quarterly report"\r\n@PJL SET RESOLUTION=600\r\n@PJL ENTER LANGUAGE=PCL\r\n'
        body = b'\x1bE' + rng.getrandbits(8 * size).to_bytes(size, 'big')
        tail = b'\x1bE\x1b%-12345X@PJL EOJ NAME="Quarterly report"\r\n\x1b%-12345X'
        t = conn.converse(t, [(C, head + body + tail, 0.0)])
        return conn.close(t + 0.05, C)

    # --- workstation life ---------------------------------------------------------------

    def workstation(self, t, st, active_until):
        """One step of a user's day: browse, idle, now and then something else."""
        w, rng = self.w, self.w.rng
        if not self.online(st, t):
            w.at(t + 2.0, self.workstation, st, active_until)
            return
        if t >= active_until:
            # switch between a busy spell and a quiet one
            if rng.random() < 0.5:
                active_until = t + rng.uniform(8.0, 30.0)
            else:
                quiet = rng.uniform(6.0, 25.0)
                if rng.random() < 0.6:
                    w.at(t + rng.uniform(1.0, quiet), self.background, st)
                w.at(t + quiet, self.workstation, st, t + quiet + rng.uniform(8.0, 30.0))
                return
        r = rng.random()
        if r < 0.72:
            end = self.page_load(t, st)
        elif r < 0.84:
            end = self.intranet(t, st)
        elif r < 0.92:
            exchanges = [(rng.randrange(400, 1500), rng.randrange(1000, 12000)) for _ in range(rng.randrange(1, 4))]
            end = self.https(self.resolve(t, st, 'nas01.' + DOMAIN), st, 'nas01', exchanges)
        else:
            end = self.background(t, st)
        w.at(max(t + 0.5, min(end, t + 6.0)) + rng.expovariate(1 / 4.5), self.workstation, st, active_until)

    def push_channel(self, t, st, conn):
        """A long-lived TLS connection (chat, mail push) that exchanges small heartbeats."""
        w, rng = self.w, self.w.rng
        if not self.online(st, t):
            if st is self.napper:       # the machine slept: a new connection when it wakes
                w.at(110.5 + rng.uniform(0.0, 2.0), self.open_push, st)
            return
        t = conn.converse(t, [(C, tls_app(rng, rng.randrange(30, 120)), 0.0),
                              (S, tls_app(rng, rng.randrange(20, 90)), rng.uniform(0.002, 0.03))])
        if rng.random() < 0.3:          # a message arrives
            t = conn.converse(t, [(S, tls_app(rng, rng.randrange(300, 2400)), rng.uniform(0.5, 5.0)),
                                  (C, tls_app(rng, rng.randrange(30, 60)), rng.uniform(0.01, 0.05))])
        conn.flush()
        w.at(t + rng.uniform(12.0, 28.0), self.push_channel, st, conn)

    def open_push(self, t, st):
        """Opens the push connection of a machine that starts or wakes up."""
        w, rng = self.w, self.w.rng
        name = 'mail.example.org' if st.kind == 'mac' else 'chat.example.com'
        t = self.resolve(t, st, name)
        t, _ = w.reach4(t, st, a4(REMOTE[name][0]))
        conn = Tcp(w, st, a4(REMOTE[name][0]), 443)
        t = conn.open(t)
        t = conn.converse(t, [(C, tls_client_hello(rng, name), 0.0), (S, tls_server_flight(rng), rng.uniform(0.0005, 0.004)),
                              (C, tls_record(20, b'\x01') + tls_app(rng, 36) + tls_app(rng, 300), 0.001),
                              (S, tls_app(rng, 240) + tls_app(rng, 600), 0.02)])
        conn.flush()
        w.at(t + rng.uniform(10.0, 20.0), self.push_channel, st, conn)

    def midstream_push(self, t, st):
        """A push connection already open when the capture starts."""
        w = self.w
        name = 'mail.example.org' if st.kind == 'mac' else 'chat.example.com'
        conn = Tcp(w, st, a4(REMOTE[name][0]), 443)
        self.push_channel(t, st, conn)

    def background(self, t, st):
        """Background chatter of an idle machine: telemetry, chat keep-alive, mail check."""
        rng = self.w.rng
        if not self.online(st, t):
            return t
        name = rng.choice(['telemetry.example.net', 'chat.example.com', 'mail.example.org'])
        t1 = self.resolve(t, st, name)
        return self.https(t1, st, name, [(rng.randrange(300, 1200), rng.randrange(150, 1500))])

    # --- the whole scene ----------------------------------------------------------------

    def build(self):
        w, rng = self.w, self.w.rng
        w.at(rng.uniform(0.0, 2.0), self.stp)
        w.at(rng.uniform(3.0, 20.0), self.lldp)
        w.at(rng.uniform(5.0, 25.0), self.cdp)
        w.at(rng.uniform(1.0, 10.0), self.phone_lldp)
        w.at(rng.uniform(10.0, 18.0), self.igmp_query)
        w.at(rng.uniform(2.0, 15.0), self.router_advert)
        w.at(rng.uniform(20.0, 30.0), self.mld_query)
        w.at(rng.uniform(8.0, 14.0), self.ipx_sap)
        w.at(70.3, self.appletalk_start)
        w.at(rng.uniform(0.5, 3.0), self.monitor_pings)
        w.at(rng.uniform(2.0, 6.0), self.snmp_poll)
        w.at(rng.uniform(4.0, 8.0), self.sip_register)
        w.at(rng.uniform(15.0, 25.0), self.sip_options)
        w.at(58.0, self.phone_call, 30.0)
        for dev, uuid, loc, server in self.ssdp_devices():
            types = {self.nas: 'urn:schemas-upnp-org:device:Basic:1', self.prn_hp: 'urn:schemas-upnp-org:device:Printer:1',
                     self.prn_canon: 'urn:schemas-upnp-org:device:Printer:1'}
            w.at(rng.uniform(1.0, 40.0), self.ssdp_notify, dev, uuid, loc, server, types[dev])
        for st in self.ws:
            start = rng.uniform(0.0, 6.0)
            if st in self.joins:
                w.at(self.joins[st], self.join, st)
                continue
            w.at(start, self.workstation, st, start + rng.uniform(5.0, 25.0))
            if st.kind != 'linux':
                w.at(rng.uniform(0.0, 20.0), self.midstream_push, st)
            if st.kind == 'win':
                w.at(rng.uniform(5.0, 60.0), self.ssdp_search, st)
                w.at(rng.uniform(0.0, 150.0), self.ntp_once, st, self.dns)
            elif st.kind == 'mac':
                w.at(rng.uniform(0.0, 30.0), self.mdns_query, st, ['_ipp._tcp.local', '_smb._tcp.local'])
                w.at(rng.uniform(5.0, 40.0), self.mdns_announce, st, '_companion-link._tcp.local', st.name, 7000)
                w.at(rng.uniform(0.0, 64.0), self.ntp, st, self.gw, 64.0)
            else:
                w.at(rng.uniform(0.0, 64.0), self.ntp, st, self.gw, 64.0)
        w.at(rng.uniform(0.0, 64.0), self.ntp, self.pi, self.gw, 64.0)
        w.at(rng.uniform(0.0, 30.0), self.ntp, self.dns, self.gw, 64.0)
        w.at(rng.uniform(0.0, 30.0), self.ntp, self.nas, self.gw, 64.0)
        w.at(rng.uniform(0.0, 30.0), self.lan_sync, self.by_name['ws103'], 2816382519, [1140718921, 3050112004])
        w.at(rng.uniform(0.0, 30.0), self.lan_sync, self.by_name['mac110'], 41177022, [1140718921, 772930125, 3050112004])
        # particular events of this morning
        w.at(18.0, self.event_ssh_session)
        w.at(27.0, self.event_windows_update)
        w.at(44.0, self.event_print, self.by_name['ws103'], self.prn_hp, 120000)
        w.at(51.0, self.event_name_lookup)
        w.at(76.0, self.event_backup)
        w.at(88.0, self.event_renewals)
        w.at(101.0, self.event_apt)
        w.at(117.0, self.event_print, self.by_name['mac110'], self.prn_bro, 70000)
        w.at(124.0, self.event_admin_ping)
        w.at(132.0, self.event_ssh_pi)

    def ntp_once(self, t, st, server):
        w = self.w
        if not self.online(st, t):
            return
        t1, hop = w.reach4(t, st, server.ip)
        req = ntp_packet(3, 0, 10, -23, b'\0' * 4, None, None, None, t1)
        w.send_udp4(t1, st, hop, server.ip, 123, 123, req)
        t2 = t1 + w.lan_delay()
        resp = ntp_packet(4, 3, 10, -23, self.gw.ip, t2 - 400.0, t1, t2 - 0.00003, t2)
        w.send_udp4(t2, server, st.mac, st.ip, 123, 123, resp)

    def join(self, t, st):
        """A machine arrives: DHCP, then the announcements its system makes."""
        w = self.w
        if st.kind == 'mac':
            t = self.dhcp_join(t, st, st.name, None)
            w.at(t + 0.3, self.mdns_announce, st, '_companion-link._tcp.local', st.name, 7000)
            w.at(t + 0.5, self.mdns_query, st, ['_ipp._tcp.local', '_smb._tcp.local', '_http._tcp.local'])
            w.at(t + 1.5, self.ntp, st, self.gw, 64.0)
        else:
            t = self.dhcp_join(t, st, st.name.upper(), 'MSFT 5.0')
            w.at(t + 0.2, self.nbns_register, st)
            w.at(t + 1.7, self.ssdp_search, st)
            w.at(t + 2.5, self.ntp_once, st, self.dns)
        for group in st.groups4:
            w.at(t + w.rng.uniform(0.5, 1.5), self.igmp_report, st, group)
        w.at(t + 2.0, self.workstation, st, t + 25.0)
        w.at(t + 1.2, self.open_push, st)

    def event_ssh_session(self, t):
        self.ssh(t, self.by_name['dev108'], self.nas, keystrokes=260)

    def event_ssh_pi(self, t):
        self.ssh(t, self.by_name['mac111'], self.pi, keystrokes=60)

    def event_backup(self, t):
        self.ssh(t, self.by_name['dev109'], self.nas, keystrokes=2, bulk=450000)

    def event_windows_update(self, t):
        rng = self.w.rng
        st = self.by_name['ws105']
        t = self.resolve(t, st, 'updates.example.com')
        body = rng.getrandbits(8 * 200000).to_bytes(200000, 'big')
        self.http(t, st, 'updates.example.com', a4(REMOTE['updates.example.com'][0]),
                  [('/filestreamingservice/files/8d1f6c52-2b8e-4c3a-9d1b-5a7f0e6c9b21', 'application/octet-stream', body)],
                  server='Microsoft-IIS/10.0', agent='Microsoft-Delivery-Optimization/10.1')

    def event_apt(self, t):
        rng = self.w.rng
        st = self.by_name['dev108']
        t = self.resolve(t, st, 'deb.example.org')
        release = text_body(rng, 6000, 'text')
        pkg = rng.getrandbits(8 * 120000).to_bytes(120000, 'big')
        self.http(t, st, 'deb.example.org', a4(REMOTE['deb.example.org'][0]),
                  [('/debian/dists/bookworm-updates/InRelease', 'text/plain', release),
                   ('/debian/pool/main/o/openssl/libssl3_3.0.11-1~deb12u2_amd64.deb', 'application/octet-stream', pkg)],
                  server='Apache', agent='Debian APT-HTTP/1.3 (2.6.1)')

    def event_print(self, t, st, printer, size):
        self.print_job(t, st, printer, size)

    def event_name_lookup(self, t):
        """ws102 opens \\\\ws104: DNS has no entry, so LLMNR and NetBIOS ask the segment."""
        st, target = self.by_name['ws102'], self.by_name['ws104']
        t = self.resolve(t, st, 'ws104.' + DOMAIN)
        t = self.llmnr_query(t + 0.001, st, target)
        self.nbns_query(t + 0.01, st, target)
        self.nbns_register(t + 3.0, self.by_name['ws106'])

    def event_renewals(self, t):
        rng = self.w.rng
        for name in ('ws101', 'ws104', 'mac110', 'dev109'):
            self.dhcp_renew(t, self.by_name[name])
            t += rng.uniform(0.5, 3.0)

    def event_admin_ping(self, t):
        st = self.by_name['ws101']
        t = self.ping(t, st, self.gw.ip, 4)
        self.ping(t + 0.5, st, a4('198.51.100.1'), 4)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('-o', '--output', default=os.path.join(os.path.dirname(__file__), '..', 'data', 'demo.pcap'))
    parser.add_argument('--seed', type=int, default=SEED)
    args = parser.parse_args()
    office = Office(args.seed)
    office.build()
    office.w.run()
    size = office.w.write(args.output)
    frames = len(office.w.frames)
    print('%s: %d frames, %d bytes, %d stations' % (args.output, frames, size, len(office.w.stations)), file=sys.stderr)
    if size > MAX_FILE_BYTES:
        print('make_demo_capture: capture exceeds %d bytes' % MAX_FILE_BYTES, file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
