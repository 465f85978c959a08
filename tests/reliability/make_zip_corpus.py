#!/usr/bin/env python3
"""Writes a corpus of corrupt and crafted .zip archives, the same for the same seed.

  make_zip_corpus.py --out FOLDER [--count 520] [--seed 6]

Kinds, taken in turn: well-formed, truncated, wrong sizes, names that climb out (../x, /x), very long
names, names that are no UTF-8, zero entries, archives inside archives, random bytes, duplicate and
clashing names, damaged compressed data, lying end records, odd names (".", "..", line breaks, back
slashes), many entries, highly compressible entries, and entries aimed at the installation's own files.
Names meant to escape carry "quorvane-escape" so that a stray file is easy to find. Each archive's name
starts with its number and kind. The files written are listed in FOLDER/index.txt.
"""
import argparse
import os
import random
import struct
import zlib

ESCAPE = "quorvane-escape"


class Entry:
    def __init__(self, name, data=b"", method=0, utf8=True, crc=None, csize=None, usize=None, extra=b"",
                 external=0):
        self.name = name if isinstance(name, bytes) else name.encode("utf-8", "surrogateescape")
        self.data = data
        self.method = method
        self.utf8 = utf8
        self.extra = extra
        self.external = external
        self.stored = zlib.compressobj(9, zlib.DEFLATED, -15).compress(data) if method == 8 else data
        if method == 8:
            c = zlib.compressobj(9, zlib.DEFLATED, -15)
            self.stored = c.compress(data) + c.flush()
        self.crc = zlib.crc32(data) if crc is None else crc
        self.csize = len(self.stored) if csize is None else csize
        self.usize = len(data) if usize is None else usize


def build(entries, comment=b"", eocd_count=None, cd_offset_shift=0, no_central=False):
    out = bytearray()
    central = bytearray()
    for e in entries:
        offset = len(out)
        flags = 0x800 if e.utf8 else 0
        header = struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, e.method, 0, 0x21, e.crc & 0xFFFFFFFF,
                             e.csize & 0xFFFFFFFF, e.usize & 0xFFFFFFFF, len(e.name) & 0xFFFF, len(e.extra))
        out += header + e.name + e.extra + e.stored
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 20, flags, e.method, 0, 0x21,
                               e.crc & 0xFFFFFFFF, e.csize & 0xFFFFFFFF, e.usize & 0xFFFFFFFF, len(e.name) & 0xFFFF,
                               len(e.extra), 0, 0, 0, e.external, offset & 0xFFFFFFFF)
        central += e.name + e.extra
    cd_offset = len(out)
    if not no_central:
        out += central
    count = len(entries) if eocd_count is None else eocd_count
    out += struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count & 0xFFFF, count & 0xFFFF, len(central) & 0xFFFFFFFF,
                       (cd_offset + cd_offset_shift) & 0xFFFFFFFF, len(comment)) + comment
    return bytes(out)


def art(rng, n=3):
    return [Entry(f"Art/file{rng.randrange(10**6)}.png", rng.randbytes(rng.randrange(0, 300)),
                  method=rng.choice([0, 8])) for _ in range(n)]


def well_formed(rng):
    return build([Entry("Art/")] + art(rng, rng.randrange(1, 6)) + [Entry("readme.txt", b"read me")])


def truncated(rng):
    whole = build(art(rng, rng.randrange(1, 5)))
    return whole[:rng.randrange(0, len(whole))]


def wrong_sizes(rng):
    entries = art(rng, 3)
    victim = rng.choice(entries)
    which = rng.randrange(4)
    if which == 0:
        victim.csize = rng.choice([0, 1, victim.csize + 1, 0xFFFFFFFF, 0x7FFFFFFF])
    elif which == 1:
        victim.usize = rng.choice([0, 1, victim.usize + 7, 0xFFFFFFFF])
    elif which == 2:
        victim.crc ^= 0xDEADBEEF
    else:
        victim.csize = victim.usize = 0xFFFFFFFF  # claims Zip64 without the extra field
    return build(entries)


def climbing_names(rng):
    n = rng.randrange(10**6)
    names = [f"../{ESCAPE}-{n}", f"../../{ESCAPE}-{n}", f"../../../../../../../../tmp/{ESCAPE}-{n}",
             f"/tmp/{ESCAPE}-{n}", f"/{ESCAPE}-{n}", f"Art/../../{ESCAPE}-{n}", f"Art/../../../{ESCAPE}-{n}",
             f"./../{ESCAPE}-{n}", f"..\\..\\{ESCAPE}-{n}", f"//{ESCAPE}-{n}", f"Art/./../../x/{ESCAPE}-{n}"]
    picked = rng.sample(names, rng.randrange(1, 4))
    return build([Entry(name, b"escaped") for name in picked] + art(rng, 1))


def long_names(rng):
    length = rng.choice([255, 256, 1000, 4095, 4096, 5000, 65535])
    if rng.random() < 0.5:
        name = "Art/" + "n" * length  # one component past the file system's limit
    else:
        name = "Art/" + "/".join(["d" * 200] * (length // 201 + 1))  # a deep path
    return build([Entry(name[:65535], b"long")] + art(rng, 1))


def non_utf8_names(rng):
    raw = bytes(rng.randrange(0x80, 0x100) for _ in range(rng.randrange(1, 12)))
    names = [b"Art/" + raw + b".png", b"Art/\xff\xfe", b"Art/caf\xe9.png", b"Art/\xc3\x28", b"Art/\xed\xa0\x80"]
    return build([Entry(name, b"bytes", utf8=rng.random() < 0.5) for name in rng.sample(names, 2)])


def zero_entries(rng):
    return rng.choice([b"", build([]), build([], comment=b"empty"), b"PK\x05\x06" + b"\0" * 18])


def nested(rng, depth=None):
    depth = rng.randrange(1, 4) if depth is None else depth
    inner = build(art(rng, 2)) if depth == 0 else nested(rng, depth - 1)
    if rng.random() < 0.3:
        inner = inner[:len(inner) // 2]  # a damaged inner archive
    entries = [Entry(f"Art/inner{depth}.zip", inner), Entry(f"inner{depth}.zip", inner)] + art(rng, 1)
    return build(entries)


def random_bytes(rng):
    body = rng.randbytes(rng.randrange(0, 4096))
    return rng.choice([b"PK\x03\x04", b"PK\x05\x06", b"PK\x01\x02", b""]) + body


def clashing_names(rng):
    choice = rng.randrange(3)
    if choice == 0:
        return build([Entry("Art/same.png", b"one"), Entry("Art/same.png", b"two")])
    if choice == 1:
        return build([Entry("Art", b"a file named like a folder"), Entry("Art/inside.png", b"x")])
    return build([Entry("Art/x.png/", b""), Entry("Art/x.png", b"file over folder")])


def damaged_deflate(rng):
    entries = [Entry("Art/deflated.png", rng.randbytes(2000) * 3, method=8)]
    stored = bytearray(entries[0].stored)
    for _ in range(rng.randrange(1, 8)):
        stored[rng.randrange(len(stored))] ^= 0xFF
    entries[0].stored = bytes(stored)
    entries[0].method = rng.choice([8, 8, 99, 12, 14])  # unknown methods too
    return build(entries)


def lying_end_record(rng):
    entries = art(rng, 2)
    choice = rng.randrange(4)
    if choice == 0:
        return build(entries, eocd_count=0xFFFF)
    if choice == 1:
        return build(entries, cd_offset_shift=rng.choice([-10, 10, 10**6, -(10**6)]))
    if choice == 2:
        return build(entries, no_central=True)
    return build(entries, comment=rng.randbytes(rng.randrange(0, 65535)))


def odd_names(rng):
    names = [".", "..", "./", "../", "Art/.", "Art/..", "Art/line\nbreak.png", "Art/tab\there.png", "Art/\r",
             "Art/back\\slash.png", "", "/", "Art//double.png", "Art/ ", "-rf", "Art/--help", "Art/%@%d%%.png"]
    return build([Entry(name, b"odd") for name in rng.sample(names, rng.randrange(1, 5))] + art(rng, 1))


def many_entries(rng):
    count = rng.choice([500, 1000, 3000])
    return build([Entry(f"Art/many/{i:05d}.txt", b"%d" % i) for i in range(count)])


def compressible(rng):
    size = rng.choice([1, 5, 20]) * 1024 * 1024
    return build([Entry("Art/zeros.bin", b"\0" * size, method=8)])


def aimed_at_installation(rng):
    names = ["Quorvane", "Text/version.txt", "BackupFiles/", "BackupFiles/20070102_090503/Art/x.png", "Text/",
             ".quorvane-partial-1-1", "Art/.quorvane-partial-9-9"]
    return build([Entry(name, b"1.10" if "version" in name else b"aimed") for name in rng.sample(names, 3)])


def symlink_entries(rng):
    target = rng.choice([b"/etc/passwd", b"../../..", b".", b"Art"])
    link = Entry("Art/link", target, external=(0o120777 << 16))
    return build([link, Entry("Art/link/through.png", b"through")])


KINDS = [("well-formed", well_formed), ("truncated", truncated), ("wrong-sizes", wrong_sizes),
         ("climbing-names", climbing_names), ("long-names", long_names), ("non-utf8-names", non_utf8_names),
         ("zero-entries", zero_entries), ("nested", nested), ("random-bytes", random_bytes),
         ("clashing-names", clashing_names), ("damaged-deflate", damaged_deflate),
         ("lying-end-record", lying_end_record), ("odd-names", odd_names), ("many-entries", many_entries),
         ("compressible", compressible), ("aimed-at-installation", aimed_at_installation),
         ("symlink-entries", symlink_entries)]
# Slow kinds (many entries, large contents) come at a lower rate.
RARE = {"many-entries": 5, "compressible": 10}


def generate(out, count, seed):
    rng = random.Random(seed)
    os.makedirs(out, exist_ok=True)
    names = []
    i = 0
    turn = 0
    while len(names) < count:
        kind, make = KINDS[turn % len(KINDS)]
        turn += 1
        if kind in RARE and (turn // len(KINDS)) % RARE[kind] != 0:
            continue
        data = make(rng)
        name = f"{i:04d}-{kind}.zip"
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        names.append(name)
        i += 1
    with open(os.path.join(out, "index.txt"), "w") as f:
        f.write("\n".join(names) + "\n")
    return names


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--out", required=True)
    parser.add_argument("--count", type=int, default=520)
    parser.add_argument("--seed", type=int, default=6)
    args = parser.parse_args()
    names = generate(args.out, args.count, args.seed)
    print(f"{len(names)} archives in {args.out}")


if __name__ == "__main__":
    main()
