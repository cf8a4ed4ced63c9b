"""Checks the capture generators in tools/ and the committed demo capture.

The frame checks here are written independently of the generators: they parse the
pcap records and verify lengths and checksums themselves.
"""

import collections
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ.get('HOPSCOPE_SOURCE_DIR', os.path.join(os.path.dirname(__file__), '..', '..'))
TOOLS = os.path.join(SOURCE, 'tools')
DEMO = os.path.join(SOURCE, 'data', 'demo.pcap')
REPLAY = os.environ.get('HOPSCOPE_REPLAY', '')

sys.path.insert(0, TOOLS)
import make_test_capture  # noqa: E402


def read_pcap(path):
    """Returns (header fields, [(seconds, microseconds, captured bytes, wire length)])."""
    with open(path, 'rb') as f:
        data = f.read()
    magic, major, minor, _, _, snaplen, linktype = struct.unpack_from('<IHHiIII', data, 0)
    records = []
    off = 24
    while off < len(data):
        sec, usec, caplen, wire = struct.unpack_from('<IIII', data, off)
        off += 16
        records.append((sec, usec, data[off:off + caplen], wire))
        off += caplen
    return (magic, major, minor, snaplen, linktype), records


def ones_sum(data):
    if len(data) & 1:
        data += b'\0'
    total = sum(struct.unpack('!%dH' % (len(data) // 2), data))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return total


def ip_payload(frame):
    """(ethertype, network-layer bytes) after Ethernet II and any 802.1Q tag, or None for 802.3."""
    etype = struct.unpack_from('!H', frame, 12)[0]
    off = 14
    if etype == 0x8100:
        etype = struct.unpack_from('!H', frame, 16)[0]
        off = 18
    if etype < 0x0600:
        return None
    return etype, frame[off:]


def check_frame(test, frame, index):
    """Verifies lengths and checksums of IPv4 and IPv6 frames; returns a short kind string."""
    parsed = ip_payload(frame)
    if parsed is None:
        length = struct.unpack_from('!H', frame, 12)[0]
        test.assertLessEqual(14 + length, len(frame), 'frame %d: 802.3 length beyond the frame' % index)
        return 'llc'
    etype, pkt = parsed
    if etype == 0x0800:
        ihl = (pkt[0] & 0x0F) * 4
        total = struct.unpack_from('!H', pkt, 2)[0]
        test.assertLessEqual(total, len(pkt), 'frame %d: IPv4 total length beyond the frame' % index)
        test.assertEqual(ones_sum(pkt[:ihl]), 0xFFFF, 'frame %d: IPv4 header checksum' % index)
        proto, src, dst = pkt[9], pkt[12:16], pkt[16:20]
        l4 = pkt[ihl:total]
        pseudo = src + dst + struct.pack('!BBH', 0, proto, len(l4))
        if proto == 6:
            test.assertEqual(ones_sum(pseudo + l4), 0xFFFF, 'frame %d: TCP checksum' % index)
            return 'tcp'
        if proto == 17:
            test.assertEqual(struct.unpack_from('!H', l4, 4)[0], len(l4), 'frame %d: UDP length' % index)
            if struct.unpack_from('!H', l4, 6)[0]:
                test.assertEqual(ones_sum(pseudo + l4), 0xFFFF, 'frame %d: UDP checksum' % index)
            return 'udp'
        if proto in (1, 2):
            test.assertEqual(ones_sum(l4), 0xFFFF, 'frame %d: ICMP/IGMP checksum' % index)
            return 'icmp' if proto == 1 else 'igmp'
        return 'ip'
    if etype == 0x86DD:
        plen = struct.unpack_from('!H', pkt, 4)[0]
        test.assertLessEqual(40 + plen, len(pkt), 'frame %d: IPv6 payload length beyond the frame' % index)
        nh, src, dst = pkt[6], pkt[8:24], pkt[24:40]
        body = pkt[40:40 + plen]
        if nh == 0:                      # hop-by-hop options first
            nh, hlen = body[0], (body[1] + 1) * 8
            body = body[hlen:]
        pseudo = src + dst + struct.pack('!I3xB', len(body), nh)
        if nh in (6, 17, 58):
            test.assertEqual(ones_sum(pseudo + body), 0xFFFF, 'frame %d: IPv6 upper-layer checksum' % index)
        return {6: 'tcp6', 17: 'udp6', 58: 'icmp6'}.get(nh, 'ip6')
    if etype == 0x0806:
        return 'arp'
    return 'other'


class DemoCapture(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.header, cls.records = read_pcap(DEMO)

    def test_file_form(self):
        magic, major, minor, snaplen, linktype = self.header
        self.assertEqual((magic, major, minor, snaplen, linktype), (0xA1B2C3D4, 2, 4, 65535, 1))
        self.assertLessEqual(os.path.getsize(DEMO), 5_000_000)
        stamps = [s * 1_000_000 + u for s, u, _, _ in self.records]
        self.assertEqual(stamps, sorted(stamps), 'timestamps go back')
        self.assertGreaterEqual((stamps[-1] - stamps[0]) / 1e6, 120.0)
        for i, (_, usec, frame, wire) in enumerate(self.records):
            self.assertLess(usec, 1_000_000)
            self.assertEqual(len(frame), wire, 'frame %d is not whole' % (i + 1))
            self.assertGreaterEqual(wire, 60, 'frame %d is shorter than an Ethernet minimum' % (i + 1))

    def test_frames_are_well_formed(self):
        kinds = collections.Counter(check_frame(self, f, i + 1) for i, (_, _, f, _) in enumerate(self.records))
        for kind in ('tcp', 'udp', 'icmp', 'igmp', 'arp', 'llc', 'tcp6', 'udp6', 'icmp6'):
            self.assertGreater(kinds[kind], 0, 'no %s frame in the demo' % kind)

    def test_segment_mix(self):
        senders = collections.Counter()
        broadcast = multicast = tagged = 0
        ethertypes = set()
        for _, _, f, _ in self.records:
            src, dst = f[6:12], f[0:6]
            self.assertFalse(src[0] & 1, 'a group address as source')
            senders[src] += 1
            if dst == b'\xff' * 6:
                broadcast += 1
            elif dst[0] & 1:
                multicast += 1
            etype = struct.unpack_from('!H', f, 12)[0]
            tagged += etype == 0x8100
            ethertypes.add(etype if etype >= 0x0600 else 'length')
        self.assertGreaterEqual(len(senders), 20)
        self.assertGreater(broadcast, 0)
        self.assertGreater(multicast, 0)
        self.assertGreater(tagged, 0)
        self.assertTrue({0x0800, 0x0806, 0x86DD, 0x88CC, 0x8100, 'length'} <= ethertypes)

    def test_generator_reproduces_the_committed_capture(self):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, 'demo.pcap')
            subprocess.run([sys.executable, os.path.join(TOOLS, 'make_demo_capture.py'), '-o', out],
                           check=True, capture_output=True)
            with open(out, 'rb') as a, open(DEMO, 'rb') as b:
                self.assertTrue(a.read() == b.read(),
                                'data/demo.pcap differs from what tools/make_demo_capture.py writes')

    @unittest.skipUnless(shutil.which('tshark'), 'tshark is not installed')
    def test_tshark_finds_no_fault(self):
        out = subprocess.run(['tshark', '-r', DEMO, '-o', 'tcp.check_checksum:TRUE', '-o', 'udp.check_checksum:TRUE',
                              '-o', 'ip.check_checksum:TRUE', '-z', 'expert,warn', '-q'],
                             check=True, capture_output=True, text=True).stdout
        self.assertNotIn('Errors', out)
        self.assertNotIn('Warns', out)


class TestCapture(unittest.TestCase):
    def setUp(self):
        self.tmp = tempfile.mkdtemp()

    def tearDown(self):
        shutil.rmtree(self.tmp)

    def path(self, name):
        return os.path.join(self.tmp, name)

    def test_counts_sizes_and_times(self):
        n = make_test_capture.write_capture(self.path('a.pcap'), frames=500, hosts=5, size=(100, 100),
                                            rate=1000.0, start=1600000000)
        self.assertEqual(n, 500)
        header, records = read_pcap(self.path('a.pcap'))
        self.assertEqual(header, (0xA1B2C3D4, 2, 4, 65535, 1))
        self.assertEqual(len(records), 500)
        self.assertTrue(all(len(f) == 100 and w == 100 for _, _, f, w in records))
        self.assertEqual((records[0][0], records[0][1]), (1600000000, 0))
        self.assertEqual((records[499][0], records[499][1]), (1600000000, 499000))
        senders = {f[6:12] for _, _, f, _ in records}
        self.assertEqual(len(senders), 5)
        for i, (_, _, f, _) in enumerate(records):
            check_frame(self, f, i + 1)

    def test_round_robin_visits_every_ordered_pair_evenly(self):
        hosts = 4
        make_test_capture.write_capture(self.path('rr.pcap'), frames=hosts * (hosts - 1) * 3, hosts=hosts,
                                        pairs='round-robin', size=(64, 64))
        _, records = read_pcap(self.path('rr.pcap'))
        pairs = collections.Counter((f[6:12], f[0:6]) for _, _, f, _ in records)
        self.assertEqual(len(pairs), hosts * (hosts - 1))
        self.assertEqual(set(pairs.values()), {3})
        self.assertTrue(all(src != dst for src, dst in pairs))

    def test_same_options_same_bytes_other_seed_other_bytes(self):
        for name, seed in (('x.pcap', 3), ('y.pcap', 3), ('z.pcap', 4)):
            make_test_capture.write_capture(self.path(name), frames=2000, hosts=9, kind='mix', size='imix', seed=seed)
        data = {}
        for name in ('x.pcap', 'y.pcap', 'z.pcap'):
            with open(self.path(name), 'rb') as f:
                data[name] = f.read()
        self.assertEqual(data['x.pcap'], data['y.pcap'])
        self.assertNotEqual(data['x.pcap'], data['z.pcap'])

    def test_mix_is_well_formed_and_varied(self):
        make_test_capture.write_capture(self.path('m.pcap'), frames=4000, hosts=6, kind='mix', size=(60, 1514),
                                        broadcast=0.05)
        _, records = read_pcap(self.path('m.pcap'))
        kinds = collections.Counter(check_frame(self, f, i + 1) for i, (_, _, f, _) in enumerate(records))
        for kind in ('tcp', 'udp', 'icmp', 'arp', 'llc', 'udp6', 'icmp6'):
            self.assertGreater(kinds[kind], 0, kind)
        self.assertTrue(any(f[0:6] == b'\xff' * 6 for _, _, f, _ in records))

    def test_snaplen_cuts_frames_but_keeps_wire_length(self):
        make_test_capture.write_capture(self.path('s.pcap'), frames=50, hosts=3, size=(200, 300), snaplen=54)
        header, records = read_pcap(self.path('s.pcap'))
        self.assertEqual(header[3], 54)
        self.assertTrue(all(len(f) == 54 and 200 <= w <= 300 for _, _, f, w in records))

    def test_runt_frames(self):
        make_test_capture.write_capture(self.path('r.pcap'), frames=20, hosts=2, size=(14, 20))
        _, records = read_pcap(self.path('r.pcap'))
        self.assertTrue(all(14 <= len(f) == w <= 20 for _, _, f, w in records))

    def test_bad_options_are_refused(self):
        script = os.path.join(TOOLS, 'make_test_capture.py')
        for args in (['--hosts', '1'], ['--size', '1514:60'], ['--size', '8'], ['--rate', '0'], ['--frames', '-1'],
                     ['--snaplen', '0'], ['--size', 'big']):
            run = subprocess.run([sys.executable, script, '-o', self.path('bad.pcap')] + args, capture_output=True,
                                 text=True)
            self.assertEqual(run.returncode, 2, args)
            self.assertIn('make_test_capture:', run.stderr, args)

    @unittest.skipUnless(REPLAY and os.access(REPLAY, os.X_OK), 'no replay tool given')
    def test_replay_counts_what_was_written(self):
        make_test_capture.write_capture(self.path('c.pcap'), frames=3000, hosts=7, size=(60, 600), seed=9)
        _, records = read_pcap(self.path('c.pcap'))
        out = subprocess.run([REPLAY, '--dump', self.path('c.pcap')], check=True, capture_output=True,
                             text=True).stdout
        network = [line.split('\t') for line in out.splitlines() if line.startswith('network\t')][0]
        self.assertEqual(int(network[2]), 7)
        self.assertEqual(int(network[3]), len(records))
        self.assertEqual(int(network[4]), sum(w for _, _, _, w in records))


if __name__ == '__main__':
    unittest.main()
