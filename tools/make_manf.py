#!/usr/bin/env python3
"""Writes the manufacturers file (data/manf) from the IEEE registry of organisationally
unique identifiers, as shipped by Debian's ieee-data package.

One line per MA-L assignment: the three assigned bytes followed by three zero bytes,
a tab and a short name that users recognise ("Cisco", "Intel", "Apple"). A name holds
no space, tab or colon, so that the manufacturers-file reader takes it whole.
Blocks held by the registration authority itself (their sub-blocks belong to many
organisations) and private assignments are left out.

usage: tools/make_manf.py [--registry /usr/share/ieee-data/oui.csv] [--output data/manf]
"""
import argparse
import csv
import html
import re
import sys
import unicodedata

# Names users know better than the registry's first word.
WELL_KNOWN = [
    ("hewlett packard enterprise", "HPE"),
    ("hewlett-packard", "HP"),
    ("hewlett packard", "HP"),
    ("aruba, a hewlett packard", "Aruba"),
    ("texas instruments", "TI"),
    ("hon hai", "Foxconn"),
    ("international business machines", "IBM"),
    ("ibm", "IBM"),
    ("digital equipment", "DEC"),
    ("silicon graphics", "SGI"),
    ("sun microsystems", "Sun"),
    ("advanced micro devices", "AMD"),
    ("lg electronics", "LG"),
    ("lg innotek", "LGInnotek"),
    ("realtek", "Realtek"),
    ("raspberry pi", "RaspberryPi"),
    ("western digital", "WesternDigital"),
    ("general electric", "GE"),
    ("hitachi", "Hitachi"),
    ("tp-link", "TP-Link"),
    ("d-link", "D-Link"),
    ("zte", "ZTE"),
    ("3com", "3Com"),
    ("at&t", "AT&T"),
    ("american power conversion", "APC"),
    ("super micro computer", "Supermicro"),
    ("new h3c", "H3C"),
    ("china mobile", "ChinaMobile"),
    ("silicon laboratories", "SiLabs"),
    ("national instruments", "NI"),
    ("national semiconductor", "NatSemi"),
    ("stmicroelectronics", "ST"),
    ("walt disney", "Disney"),
]

# Leading words that name a place or are too general to tell makers apart: skipped
# when more words follow.
SKIP_LEADING = {
    "the", "china", "new",
    "shenzhen", "beijing", "shanghai", "guangdong", "guangzhou", "hangzhou", "sichuan",
    "zhejiang", "jiangsu", "qingdao", "nanjing", "xiamen", "suzhou", "fujian", "dongguan",
    "wuhan", "chengdu", "tianjin", "zhuhai", "ningbo", "chongqing", "hefei", "hunan",
    "anhui", "shandong", "fuzhou", "foshan", "zhongshan", "jiangxi", "hubei", "henan",
    "hebei", "liaoning", "shaanxi", "changsha", "kunshan", "wuxi", "huizhou", "jinan",
    "guangxi", "yunnan", "dalian", "shenyang", "changzhou", "wenzhou", "jiaxing",
    "taizhou", "quanzhou", "nantong", "yantai", "weihai", "zibo", "hong", "kong",
    "taiwan", "taipei",
}

# Words that are too general on their own: joined with the next word.
GENERAL = {
    "advanced", "integrated", "digital", "silicon", "universal", "general",
    "international", "national", "global", "applied", "american", "japan", "korea",
    "asia", "united", "micro", "data", "network", "networks", "smart", "intelligent",
    "tech", "technology", "electronic", "electronics", "communication",
    "communications", "systems", "power", "wireless", "mobile", "telecom", "industrial",
    "computer", "information", "precision", "first", "best", "royal", "star", "sky",
    "high", "super", "ultra", "total", "pacific", "western", "eastern", "northern",
    "southern", "central", "euro", "european", "media", "video", "audio", "cyber",
    "net", "info", "medical", "energy", "solar", "auto", "home", "open", "real", "true",
    "green", "blue", "red", "golden", "silver", "east", "west", "north", "south",
}

# Company forms that never start a short name.
FORMS = {
    "inc", "incorporated", "corp", "corporation", "corporate", "co", "company", "ltd",
    "limited", "llc", "gmbh", "ag", "sa", "sas", "sarl", "srl", "spa", "bv", "nv", "ab",
    "as", "oy", "kk", "plc", "pty", "pte", "kg", "se", "group", "holdings", "lp",
}

ALLOWED = re.compile(r"[^A-Za-z0-9&+._-]")


def ascii_fold(text):
    return unicodedata.normalize("NFKD", text).encode("ascii", "ignore").decode("ascii")


def words_of(name):
    # Split at blanks and commas; keep hyphens, dots and ampersands inside words.
    parts = re.split(r"[\s,;/()\"']+", ascii_fold(name))
    words = []
    for p in parts:
        p = p.strip(".-&+_")
        if p:
            words.append(p)
    return words


def tidy_case(word):
    letters = [c for c in word if c.isalpha()]
    if not letters:
        return word
    if all(c.isupper() for c in letters) and len(letters) > 4 and word.isalpha():
        return word.capitalize()  # HUAWEI -> Huawei, NETGEAR -> Netgear
    if all(c.islower() for c in letters) and len(word) <= 3:
        return word.upper()  # zte -> ZTE
    return word[0].upper() + word[1:]


def short_name(organisation):
    lower = ascii_fold(organisation).lower().strip()
    for prefix, name in WELL_KNOWN:
        if lower.startswith(prefix) and (len(lower) == len(prefix) or not lower[len(prefix)].isalnum()):
            return name
    words = [w for w in words_of(organisation)]
    while len(words) > 1 and words[0].lower() in SKIP_LEADING:
        words.pop(0)
    words = [w for w in words if w.lower().rstrip(".") not in FORMS] or words
    if not words:
        return ""
    picked = [words[0]]
    if (words[0].lower() in GENERAL or len(ALLOWED.sub("", words[0])) <= 2) and len(words) > 1:
        picked.append(words[1])
    name = "".join(tidy_case(ALLOWED.sub("", w)) for w in picked)
    return name[:20]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--registry", default="/usr/share/ieee-data/oui.csv")
    parser.add_argument("--output", default="data/manf")
    args = parser.parse_args()

    entries = {}
    with open(args.registry, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            if row.get("Registry") != "MA-L":
                continue
            assignment = row.get("Assignment", "").strip().upper()
            organisation = html.unescape(row.get("Organization Name", "")).strip()
            if not re.fullmatch(r"[0-9A-F]{6}", assignment):
                continue
            if organisation.lower() in ("private", "ieee registration authority"):
                continue
            name = short_name(organisation)
            if not name or name.startswith("#"):
                continue
            entries[assignment] = name

    with open(args.output, "w", encoding="ascii", newline="\n") as out:
        out.write("# Manufacturers: the first three bytes of an interface address and its maker.\n")
        out.write("# Written by tools/make_manf.py from the IEEE registry of organisationally\n")
        out.write("# unique identifiers (Debian package ieee-data, oui.csv). Do not edit by hand:\n")
        out.write("# run the script again. A line holds six bytes, the last three zero, and a\n")
        out.write("# name without spaces, tabs or colons.\n")
        for a in sorted(entries):
            out.write(f"{a[0:2]}:{a[2:4]}:{a[4:6]}:00:00:00\t{entries[a]}\n")
    print(f"{args.output}: {len(entries)} manufacturers", file=sys.stderr)


if __name__ == "__main__":
    main()
