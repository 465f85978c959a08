#!/usr/bin/env python3
# Drops a corpus of corrupt and crafted .zip archives through the program's command line and the real jar.
#
#   zip_corpus.py --program PATH [--count 520] [--batch 25] [--seed 6]
#
# The archives are written from the seed, the same for the same seed, taking these kinds in turn:
# well-formed, truncated, wrong sizes, names that climb out (../x, /x), very long names, names that are no
# UTF-8, zero entries, archives inside archives, random bytes, duplicate and clashing names, damaged
# compressed data, lying end records, odd names (".", "..", line breaks, back slashes), many entries,
# highly compressible entries, entries aimed at the installation's own files and link entries. Names meant
# to escape carry "quorvane-escape" so that a stray file is easy to find.
# They are dropped in batches onto one installation: the archives of a batch are extracted at the same
# time, as those of one drop are. For each batch: the program neither crashes nor hangs (a time limit that
# grows with the batch), exactly one completion report arrives, and nothing was written anywhere but the
# installation (the working tree apart from it is listed before and after, and no "quorvane-escape*"
# turns up in the folders above it). A failing batch is dropped again archive by archive, to name the
# archive. Prints the figures; exits 1 on any failure.
import os
import random
import shutil
import struct
import sys
import tempfile
import time
import zlib

from harness import GAME, options, run_update, update_command, write_tree

ESCAPE = "quorvane-escape"


class Entry:
    def __init__(self, name, data=b"", method=0, utf8=True, external=0):
        self.name = name if isinstance(name, bytes) else name.encode("utf-8", "surrogateescape")
        self.method, self.utf8, self.external = method, utf8, external
        self.stored = zlib.compress(data, 9, wbits=-15) if method == 8 else data
        self.crc, self.csize, self.usize = zlib.crc32(data), len(self.stored), len(data)


def build(entries, comment=b"", eocd_count=None, cd_offset_shift=0, no_central=False):
    out, central = bytearray(), bytearray()
    for e in entries:
        offset, flags = len(out), 0x800 if e.utf8 else 0
        fields = (e.method, 0, 0x21, e.crc, e.csize, e.usize, len(e.name))
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flags, *fields, 0) + e.name + e.stored
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, 20, flags, *fields, 0, 0, 0, 0,
                               e.external, offset) + e.name
    cd_offset = len(out)
    out += b"" if no_central else central
    count = len(entries) if eocd_count is None else eocd_count
    return bytes(out + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(central),
                                   (cd_offset + cd_offset_shift) & 0xFFFFFFFF, len(comment)) + comment)


def art(rng, n=3):
    return [Entry(f"Art/file{rng.randrange(10**6)}.png", rng.randbytes(rng.randrange(0, 300)),
                  method=rng.choice([0, 8])) for _ in range(n)]


def wrong_sizes(rng):  # a compressed or uncompressed size, a checksum, or Zip64 sizes without the extra field
    entries = art(rng, 3)
    e = rng.choice(entries)
    rng.choice([lambda: setattr(e, "csize", rng.choice([0, 1, e.csize + 1, 0xFFFFFFFF, 0x7FFFFFFF])),
                lambda: setattr(e, "usize", rng.choice([0, 1, e.usize + 7, 0xFFFFFFFF])),
                lambda: setattr(e, "crc", e.crc ^ 0xDEADBEEF),
                lambda: vars(e).update(csize=0xFFFFFFFF, usize=0xFFFFFFFF)])()
    return build(entries)


def climbing_names(rng):
    n = f"{ESCAPE}-{rng.randrange(10**6)}"
    names = [up + n for up in ("../", "../../", "../../../../../../../../tmp/", "/tmp/", "/", "Art/../../",
                               "Art/../../../", "./../", "..\\..\\", "//", "Art/./../../x/")]
    return build([Entry(name, b"escaped") for name in rng.sample(names, rng.randrange(1, 4))] + art(rng, 1))


def long_names(rng):
    length = rng.choice([255, 256, 1000, 4095, 4096, 5000, 65535])
    name = "Art/" + ("n" * length if rng.random() < 0.5 else "/".join(["d" * 200] * (length // 201 + 1)))
    return build([Entry(name[:65535], b"long")] + art(rng, 1))


def non_utf8_names(rng):
    raw = bytes(rng.randrange(0x80, 0x100) for _ in range(rng.randrange(1, 12)))
    names = [b"Art/" + n for n in (raw + b".png", b"\xff\xfe", b"caf\xe9.png", b"\xc3\x28", b"\xed\xa0\x80")]
    return build([Entry(name, b"bytes", utf8=rng.random() < 0.5) for name in rng.sample(names, 2)])


def nested(rng, depth):
    inner = build(art(rng, 2)) if depth == 0 else nested(rng, depth - 1)
    inner = inner[:len(inner) // 2] if rng.random() < 0.3 else inner  # sometimes a damaged inner archive
    return build([Entry(f"Art/inner{depth}.zip", inner), Entry(f"inner{depth}.zip", inner)] + art(rng, 1))


def damaged_deflate(rng):
    e = Entry("Art/deflated.png", rng.randbytes(2000) * 3, method=8)
    stored = bytearray(e.stored)
    for _ in range(rng.randrange(1, 8)):
        stored[rng.randrange(len(stored))] ^= 0xFF
    e.stored, e.method = bytes(stored), rng.choice([8, 8, 99, 12, 14])  # unknown methods too
    return build([e])


def lying_end_record(rng):
    entries = art(rng, 2)
    return rng.choice([lambda: build(entries, eocd_count=0xFFFF), lambda: build(entries, no_central=True),
                       lambda: build(entries, cd_offset_shift=rng.choice([-10, 10, 10**6, -(10**6)])),
                       lambda: build(entries, rng.randbytes(rng.randrange(65535)))])()


ODD = [".", "..", "./", "../", "Art/.", "Art/..", "Art/line\nbreak.png", "Art/tab\there.png", "Art/\r",
       "Art/back\\slash.png", "", "/", "Art//double.png", "Art/ ", "-rf", "Art/--help", "Art/%@%d%%.png"]
AIMED = ["Quorvane", "Text/version.txt", "BackupFiles/", "BackupFiles/20070102_090503/Art/x.png", "Text/",
         ".quorvane-partial-1-1", "Art/.quorvane-partial-9-9"]
KINDS = {
    "well-formed": lambda r: build([Entry("Art/"), *art(r, r.randrange(1, 6)),
                                    Entry("readme.txt", b"read me")]),
    "truncated": lambda r: (lambda whole: whole[:r.randrange(len(whole))])(build(art(r, r.randrange(1, 5)))),
    "wrong-sizes": wrong_sizes, "climbing-names": climbing_names, "long-names": long_names,
    "non-utf8-names": non_utf8_names,
    "zero-entries": lambda r: r.choice([b"", build([]), build([], b"empty"), b"PK\x05\x06" + b"\0" * 18]),
    "nested": lambda r: nested(r, r.randrange(1, 4)),
    "random-bytes": lambda r: (r.choice([b"PK\x03\x04", b"PK\x05\x06", b"PK\x01\x02", b""])
                               + r.randbytes(r.randrange(0, 4096))),
    "clashing-names": lambda r: build(r.choice([
        [Entry("Art/same.png", b"one"), Entry("Art/same.png", b"two")],
        [Entry("Art", b"a file named like a folder"), Entry("Art/inside.png", b"x")],
        [Entry("Art/x.png/", b""), Entry("Art/x.png", b"file over folder")]])),
    "damaged-deflate": damaged_deflate, "lying-end-record": lying_end_record,
    "odd-names": lambda r: build([Entry(n, b"odd") for n in r.sample(ODD, r.randrange(1, 5))] + art(r, 1)),
    "many-entries": lambda r: build([Entry(f"Art/many/{i:05d}.txt", b"%d" % i)
                                     for i in range(r.choice([500, 1000, 3000]))]),
    "compressible": lambda r: build([Entry("Art/zeros.bin", b"\0" * r.choice([1, 5, 20]) * 1024 * 1024, 8)]),
    "aimed-at-installation": lambda r: build([Entry(n, b"1.10" if "version" in n else b"aimed")
                                              for n in r.sample(AIMED, 3)]),
    "symlink-entries": lambda r: build([
        Entry("Art/link", r.choice([b"/etc/passwd", b"../../..", b".", b"Art"]), external=0o120777 << 16),
        Entry("Art/link/through.png", b"through")]),
}
RARE = {"many-entries": 5, "compressible": 10}  # slow kinds come at a lower rate


def generate(out, count, seed):  # count archives named by number and kind, each in a folder of its own
    rng, archives, turn, kinds = random.Random(seed), [], 0, list(KINDS)
    while len(archives) < count:
        kind = kinds[turn % len(kinds)]
        turn += 1
        if turn // len(kinds) % RARE.get(kind, 1) == 0:
            archives.append(os.path.join(out, f"{len(archives):04d}", f"{len(archives):04d}-{kind}.zip"))
            write_tree(out, {archives[-1]: KINDS[kind](rng)})
    return archives


def listing(root, skip):  # every path under root with its mode and size, except under skip
    for folder, dirs, names in os.walk(root):
        dirs[:] = [d for d in dirs if os.path.join(folder, d) != skip]
        for path in (os.path.join(folder, n) for n in dirs + names):
            st = os.lstat(path)
            yield os.path.relpath(path, root), oct(st.st_mode), 0 if os.path.isdir(path) else st.st_size


def escapes(folders):
    return {os.path.join(f, n) for f in folders if os.path.isdir(f)
            for n in os.listdir(f) if n.startswith(ESCAPE)}


def drop(args, root, installation, archives):  # one drop of the archives: its problems
    # The program's preferences and state live beside the watched tree, not in it.
    shutil.rmtree(installation, ignore_errors=True)  # an archive may have brought its own game program
    write_tree(installation, {**GAME, "Art/old.png": b"old"})
    watched = [root, os.path.dirname(root), "/tmp", "/", os.path.expanduser("~")]
    escaped, before = escapes(watched), set(listing(root, installation))
    report = run_update(update_command(args.program, installation, archives),
                        os.path.join(os.path.dirname(root), "home"), 60 + 20 * len(archives))
    reported = report.get("reports") == 1 and report["title"].startswith(("Application files", "Nothing was"))
    # 0: all installed, 1: not all; negative: killed by that signal
    problems = ([f"program hung or exited {report['exit']}: {report['stderr'][-500:]}"]
                if report["hung"] or report["exit"] not in (0, 1) else [] if reported else [f"reported {report}"])
    after = set(listing(root, installation))
    problems += [f"written outside the installation: {e}" for e in sorted(after - before)]
    problems += [f"changed or gone outside the installation: {e}" for e in sorted(before - after)]
    return problems + [f"escaped: {path}" for path in sorted(escapes(watched) - escaped)]


def main():
    args = options(count=520, batch=25, seed=6)
    top = tempfile.mkdtemp(prefix="quorvane-zips-")
    # Deep enough that entries climbing a few levels out of the extraction folder stay inside the watch.
    root = os.path.join(top, "a", "b", "c", "work")
    installation = os.path.join(root, "installation")
    # A folder of its own for each archive: extraction folders are named by the second, so archives side by
    # side would be started one second apart.
    names = generate(os.path.join(root, "drop"), args.count, args.seed)
    started, failures, reports = time.monotonic(), 0, 0
    for first in range(0, len(names), args.batch):
        archives = names[first:first + args.batch]
        batch_started = time.monotonic()
        problems = drop(args, root, installation, archives)
        reports += not any(p.startswith("program") for p in problems)
        print(f"batch {first // args.batch:3d}: {len(archives)} archives, "
              f"{time.monotonic() - batch_started:5.1f} s, {len(problems)} problems", flush=True)
        for p in problems[:10]:
            print("  ", p)
        failures += bool(problems)
        for archive in archives if problems else []:  # one by one, to name the archive
            if single := drop(args, root, installation, [archive]):
                print(f"   {os.path.basename(archive)}:", "; ".join(single[:5]))
    print(f"SUMMARY archives={len(names)} batches={-(-len(names) // args.batch)} reports={reports} "
          f"failed_batches={failures} seconds={time.monotonic() - started:.0f}")
    shutil.rmtree(top, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
