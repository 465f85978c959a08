#!/usr/bin/env python3
"""Drops a corpus of corrupt and crafted .zip archives through the real controller and the real jar tool.

  zip_corpus.py --driver PATH [--count 520] [--batch 25] [--seed 6] [--jar /usr/bin/jar]

The archives come from make_zip_corpus.py with the given seed. They are dropped in batches onto one
installation: the archives of a batch are extracted at the same time, as those of one drop are. For each
batch it checks that the driver neither crashes nor hangs (a time limit per batch that grows with its
size), that exactly one completion report arrives, and that nothing was written anywhere but the
installation: the whole working tree apart from the installation is listed before and after, and no file
named "quorvane-escape*" (the names the climbing entries use) turns up in the folders above it. A batch
that fails is dropped again archive by archive, to name the archive. Prints the figures; exits 1 on any
failure.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_zip_corpus  # noqa: E402

SECONDS_PER_ARCHIVE = 20
SECONDS_PER_BATCH = 60


def listing(root, skip):
    """Every path under root with its kind and size, except under skip."""
    entries = set()
    for folder, dirs, names in os.walk(root):
        dirs[:] = [d for d in dirs if os.path.join(folder, d) != skip]
        for name in dirs + names:
            path = os.path.join(folder, name)
            try:
                st = os.lstat(path)
            except FileNotFoundError:
                continue
            size = st.st_size if not os.path.isdir(path) or os.path.islink(path) else 0
            entries.add((os.path.relpath(path, root), oct(st.st_mode), size))
    return entries


def escapes(folders):
    found = []
    for folder in folders:
        try:
            found += [os.path.join(folder, n) for n in os.listdir(folder) if n.startswith(make_zip_corpus.ESCAPE)]
        except OSError:
            pass
    return found


def make_installation(path):
    """A valid installation at path; also makes one valid again after an archive replaced its own files."""
    for name in ("Art", "Text", "Quorvane", os.path.join("Text", "version.txt")):
        item = os.path.join(path, name)
        wants_folder = name in ("Art", "Text")
        if os.path.lexists(item) and (os.path.isdir(item) and not os.path.islink(item)) != wants_folder:
            shutil.rmtree(item) if os.path.isdir(item) and not os.path.islink(item) else os.remove(item)
    os.makedirs(os.path.join(path, "Art"), exist_ok=True)
    os.makedirs(os.path.join(path, "Text"), exist_ok=True)
    with open(os.path.join(path, "Quorvane"), "wb") as f:
        f.write(b"game application\n")
    with open(os.path.join(path, "Text", "version.txt"), "wb") as f:
        f.write(b"1.29")
    with open(os.path.join(path, "Art", "old.png"), "wb") as f:
        f.write(b"old art")


def drop(args, root, installation, archives):
    """One drop of the archives; answers (problems, seconds)."""
    # An archive may legitimately bring its own version file or game program: each drop starts on a valid
    # installation again, as the program checks the installation when the drop is confirmed.
    make_installation(installation)
    watch_above = [root, os.path.dirname(root), "/tmp", "/", os.path.expanduser("~")]
    escapes_before = set(escapes(watch_above))
    before = listing(root, installation)
    timeout = SECONDS_PER_BATCH + SECONDS_PER_ARCHIVE * len(archives)
    command = [args.driver, "--target", installation, "--jar", args.jar, "--timeout", str(timeout),
               "--preferences", os.path.join(root, "preferences.ini")] + archives
    started = time.monotonic()
    problems = []
    try:
        result = subprocess.run(command, capture_output=True, timeout=timeout + 30)
        seconds = time.monotonic() - started
        out = result.stdout.decode(errors="replace")
        if result.returncode < 0:
            problems.append(f"driver died of signal {-result.returncode}")
        elif result.returncode == 3:
            problems.append(f"no completion report within {timeout} s")
        elif result.returncode != 0:
            problems.append(f"driver exit {result.returncode}: {result.stderr.decode(errors='replace')[-500:]}")
        elif "sheets 1" not in out or not re.search(r"title: (Application files|Nothing was installed)", out):
            problems.append(f"unexpected report: {out!r}")
        if "ERROR: AddressSanitizer" in result.stderr.decode(errors="replace"):
            problems.append("sanitizer report")
    except subprocess.TimeoutExpired:
        seconds = time.monotonic() - started
        problems.append(f"driver hung past {timeout + 30} s")
    after = listing(root, installation)
    for path, mode, size in sorted(after - before):
        problems.append(f"written outside the installation: {path} {mode} {size}")
    for path, mode, size in sorted(before - after):
        problems.append(f"changed or gone outside the installation: {path} {mode} {size}")
    for path in sorted(set(escapes(watch_above)) - escapes_before):
        problems.append(f"escaped: {path}")
    return problems, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--count", type=int, default=520)
    parser.add_argument("--batch", type=int, default=25)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--jar", default="/usr/bin/jar")
    parser.add_argument("--keep", action="store_true", help="keep the working folder")
    args = parser.parse_args()
    args.driver = os.path.abspath(args.driver)

    top = tempfile.mkdtemp(prefix="quorvane-zips-")
    # Deep enough that entries climbing a few levels out of the extraction folder stay inside the watch.
    root = os.path.join(top, "a", "b", "c", "work")
    corpus = os.path.join(top, "corpus")
    installation = os.path.join(root, "installation")
    os.makedirs(root)
    make_installation(installation)
    names = make_zip_corpus.generate(corpus, args.count, args.seed)
    started = time.monotonic()
    failures = []
    slowest = (0.0, "")
    reports = 0
    for first in range(0, len(names), args.batch):
        batch = names[first:first + args.batch]
        folder = os.path.join(root, "drop", f"batch{first // args.batch:03d}")
        os.makedirs(folder)
        archives = []
        for name in batch:
            # A folder of its own for each archive: extraction folders are named by the second, so
            # archives side by side would be started one second apart.
            own = os.path.join(folder, name[:4])
            os.makedirs(own)
            shutil.copyfile(os.path.join(corpus, name), os.path.join(own, name))
            archives.append(os.path.join(own, name))
        problems, seconds = drop(args, root, installation, archives)
        reports += 0 if any("report" in p or "died" in p or "hung" in p for p in problems) else 1
        slowest = max(slowest, (seconds, f"batch {first // args.batch}"))
        print(f"batch {first // args.batch:3d}: {len(batch)} archives, {seconds:5.1f} s, {len(problems)} problems",
              flush=True)
        if problems:
            for p in problems[:10]:
                print("  ", p)
            # One by one, to name the archive.
            for archive in archives:
                single, single_seconds = drop(args, root, installation, [archive])
                if single:
                    failures.append((os.path.basename(archive), single))
                    print(f"   {os.path.basename(archive)} ({single_seconds:.1f} s):", "; ".join(single[:5]))
            if not any(f for f in failures):
                failures.append((f"batch {first // args.batch}", problems))
    total = time.monotonic() - started
    batches = (len(names) + args.batch - 1) // args.batch
    print(f"SUMMARY archives={len(names)} batches={batches} reports={reports} failures={len(failures)} "
          f"slowest_batch_seconds={slowest[0]:.1f} seconds={total:.0f}")
    if args.keep:
        print("kept", top)
    else:
        shutil.rmtree(top, ignore_errors=True)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
