#!/usr/bin/env python3
"""Writes the custom focus file that ships with Hopscope (data/cfdump.bin): the 33-colour
palette of the map's links and a dictionary of focuses over the protocols of
data/protocol.pdl.

File layout (integers 32-bit little-endian, lines end with a single line feed):
  palette block: count (33), then 33 colours of 4 bytes: red, green, blue, 0;
  then one record per focus, to the end of the file:
    focus name line (at most 31 characters), entry count,
    per entry: protocol name line (the name in protocol.pdl), palette index.

A link takes the colour of the focus entry whose protocol carried the most bytes on it;
of entries with equal bytes the earlier wins. A parent carries the bytes of all its
children, so a focus names protocols of one level where one family is split among
several (AARP and AppleTalk, not the LLC that carries both), and gives a family one
colour.

Every protocol name is checked against the protocol file; the script fails on a name
the file does not define. The output is the same bytes on every run.

usage: tools/make_cfdump.py [--protocols data/protocol.pdl] [--output data/cfdump.bin]
"""
import argparse
import re
import struct
import sys

# Palette indices 0..31: colours that stand out on the black map and from each other,
# the first sixteen the clearest. Index 32 is "Other": a quiet grey.
PALETTE = [
    (0x4D, 0xA6, 0xFF),  # 0  sky blue
    (0xFF, 0xA5, 0x3D),  # 1  orange
    (0xFF, 0xEB, 0x4D),  # 2  yellow
    (0x5C, 0xD6, 0x5C),  # 3  green
    (0xFF, 0x52, 0x52),  # 4  red
    (0xC0, 0x7A, 0xFF),  # 5  violet
    (0x33, 0xE0, 0xE0),  # 6  cyan
    (0xFF, 0x7E, 0xB6),  # 7  pink
    (0xB8, 0xE6, 0x5C),  # 8  lime
    (0x8C, 0x9E, 0xFF),  # 9  periwinkle
    (0xFF, 0x70, 0x38),  # 10 deep orange
    (0x3D, 0xDC, 0x97),  # 11 mint
    (0xE8, 0xC1, 0x5A),  # 12 gold
    (0xE6, 0x45, 0xF5),  # 13 magenta
    (0x9E, 0xDB, 0xFF),  # 14 pale blue
    (0xC8, 0xA2, 0x7A),  # 15 tan
    (0x29, 0x79, 0xFF),  # 16 strong blue
    (0xFF, 0x17, 0x44),  # 17 strong red
    (0x00, 0xE6, 0x76),  # 18 strong green
    (0xFF, 0xD6, 0x00),  # 19 strong yellow
    (0xAA, 0x00, 0xFF),  # 20 strong purple
    (0x00, 0xB8, 0xD4),  # 21 strong cyan
    (0xFF, 0x6D, 0x00),  # 22 strong orange
    (0xF5, 0x00, 0x57),  # 23 strong pink
    (0xB9, 0xF6, 0xCA),  # 24 pale green
    (0xFF, 0xCC, 0xBC),  # 25 peach
    (0xD1, 0xC4, 0xE9),  # 26 lavender
    (0xFF, 0xF5, 0x9D),  # 27 pale yellow
    (0xA7, 0xFF, 0xEB),  # 28 pale aqua
    (0xF8, 0xBB, 0xD0),  # 29 pale pink
    (0xBC, 0xAA, 0xA4),  # 30 pale brown
    (0xCE, 0x93, 0xD8),  # 31 light purple
    (0x78, 0x78, 0x78),  # 32 Other
]

SKY, ORANGE, YELLOW, GREEN, RED, VIOLET, CYAN, PINK = range(8)
LIME, PERIWINKLE, DEEP_ORANGE, MINT, GOLD, MAGENTA, PALE_BLUE, TAN = range(8, 16)

# Focuses in dictionary order: (name, [(protocol name, palette index), ...]).
FOCUSES = [
    # The default ("focus" setting): what the Ethernet frames carry.
    ("Ethernet", [
        ("IP", SKY),
        ("IPV6", CYAN),
        ("ARP", YELLOW),
        ("VLAN", VIOLET),
        ("IPX", ORANGE), ("IPX_RAW", ORANGE), ("IPX_LLC", ORANGE),
        ("ATALK", PINK), ("AARP", PINK), ("ATALK_SNAP", PINK), ("AARP_SNAP", PINK),
        ("STP", GREEN), ("PVST", GREEN),
        ("LLDP", LIME), ("CDP", LIME), ("VTP", LIME), ("DTP", LIME), ("UDLD", LIME), ("PAGP", LIME),
        ("RARP", GOLD),
        ("EAPOL", RED),
        ("SLOW", PERIWINKLE), ("FLOWCTL", PERIWINKLE),
        ("NETBEUI", TAN), ("DECNET", TAN), ("LAT", TAN), ("MOP", TAN), ("OSI", TAN),
        ("SNA", TAN), ("SNA_LLC", TAN), ("VINES", TAN), ("VINES_LLC", TAN), ("XNS", TAN),
        ("MPLS", DEEP_ORANGE), ("PPPOED", DEEP_ORANGE), ("PPPOES", DEEP_ORANGE),
        ("PTP", MAGENTA),
    ]),
    # The services on top of IP, grouped by what they are for.
    ("IP services", [
        ("HTTPS", SKY), ("HTTPS6", SKY), ("QUIC", SKY), ("QUIC6", SKY), ("VLAN_HTTPS", SKY),
        ("HTTP", GREEN), ("HTTP6", GREEN), ("HTTP_ALT", GREEN), ("VLAN_HTTP", GREEN),
        ("DNS", YELLOW), ("DNS6", YELLOW), ("DNS_TCP", YELLOW), ("DNS6_TCP", YELLOW),
        ("MDNS", LIME), ("MDNS6", LIME), ("LLMNR", LIME), ("LLMNR6", LIME), ("NBNS", LIME),
        ("NBDGM", LIME), ("SSDP", LIME), ("SSDP6", LIME), ("WSD", LIME),
        ("SSH", RED), ("SSH6", RED),
        ("SMB", ORANGE), ("SMB6", ORANGE), ("NBSS", ORANGE), ("NFS", ORANGE), ("AFP", ORANGE),
        ("JETDIRECT", VIOLET), ("IPP", VIOLET), ("LPD", VIOLET),
        ("NTP", CYAN), ("NTP6", CYAN),
        ("SNMP", PERIWINKLE), ("SNMP6", PERIWINKLE), ("SNMPTRAP", PERIWINKLE),
        ("DHCP", PINK), ("DHCPV6", PINK),
        ("SIP", MAGENTA), ("SIP_TCP", MAGENTA), ("VLAN_SIP", MAGENTA),
        ("VLAN_UDP", MAGENTA),       # the voice VLAN's calls
        ("SMTP", MINT), ("SUBMISSION", MINT), ("SMTPS", MINT), ("IMAP", MINT), ("IMAPS", MINT),
        ("POP3", MINT), ("POP3S", MINT), ("SMTP6", MINT), ("SUBMISSION6", MINT), ("IMAP6", MINT),
        ("IMAPS6", MINT), ("POP3S6", MINT),
        ("RDP", DEEP_ORANGE), ("RDP6", DEEP_ORANGE), ("VNC", DEEP_ORANGE), ("TELNET", DEEP_ORANGE),
        ("LDAP", PALE_BLUE), ("LDAPS", PALE_BLUE), ("KERBEROS", PALE_BLUE), ("CLDAP", PALE_BLUE),
    ]),
    # The transport of IP traffic.
    ("Transport", [
        ("TCP", SKY), ("TCP6", SKY), ("VLAN_TCP", SKY), ("VLAN_TCP6", SKY),
        ("UDP", ORANGE), ("UDP6", ORANGE), ("VLAN_UDP", ORANGE), ("VLAN_UDP6", ORANGE),
        ("ICMP", YELLOW), ("ICMP6", YELLOW), ("HBH_ICMP6", YELLOW), ("VLAN_ICMP", YELLOW),
        ("VLAN_ICMP6", YELLOW),
        ("IGMP", GREEN), ("VLAN_IGMP", GREEN),
        ("OSPF", VIOLET), ("EIGRP", VIOLET), ("VRRP", VIOLET), ("PIM", VIOLET),
        ("GRE", RED), ("ESP", RED), ("AH", RED), ("IPIP", RED), ("IPV6IN4", RED),
        ("SCTP", CYAN), ("UDPLITE", CYAN),
    ]),
    # Everything but IP: what a segment of old carried, and the switches' own talk.
    ("Non-IP", [
        ("ARP", YELLOW), ("VLAN_ARP", YELLOW), ("RARP", GOLD),
        ("STP", GREEN), ("PVST", GREEN),
        ("CDP", LIME), ("LLDP", LIME), ("VTP", LIME), ("DTP", LIME), ("UDLD", LIME), ("PAGP", LIME),
        ("IPX", ORANGE), ("IPX_RAW", ORANGE), ("IPX_LLC", ORANGE),
        ("ATALK", PINK), ("AARP", PINK), ("ATALK_SNAP", PINK), ("AARP_SNAP", PINK),
        ("NETBEUI", DEEP_ORANGE),
        ("DECNET", TAN), ("LAT", TAN), ("MOP", TAN),
        ("EAPOL", RED), ("SLOW", PERIWINKLE), ("FLOWCTL", PERIWINKLE),
    ]),
]


def protocol_names(path):
    """Every name the protocol file defines, and the catch-all OTHER_ names."""
    with open(path, encoding="utf-8") as f:
        text = re.sub(r"/\*.*?\*/", " ", f.read(), flags=re.S)
    names = set()
    for kind, name in re.findall(r"^\s*(primitive|protocol)\s+([A-Za-z0-9_]+)", text, flags=re.M):
        names.add(name)
        if kind == "protocol":
            names.add("OTHER_" + name)
    return names


def focus_file(known):
    assert len(PALETTE) == 33
    out = bytearray(struct.pack("<i", len(PALETTE)))
    for r, g, b in PALETTE:
        out += bytes((r, g, b, 0))
    for name, entries in FOCUSES:
        assert 0 < len(name) <= 31 and "\n" not in name, name
        out += name.encode("ascii") + b"\n" + struct.pack("<i", len(entries))
        for protocol, colour in entries:
            if protocol not in known:
                sys.exit(f"make_cfdump.py: focus {name!r}: no protocol {protocol} in the protocol file")
            assert 0 <= colour <= 31, (protocol, colour)
            out += protocol.encode("ascii") + b"\n" + struct.pack("<i", colour)
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--protocols", default="data/protocol.pdl")
    parser.add_argument("--output", default="data/cfdump.bin")
    args = parser.parse_args()
    data = focus_file(protocol_names(args.protocols))
    with open(args.output, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
