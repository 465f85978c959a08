#!/usr/bin/env python3
# Fault injection for the update: kills it with SIGKILL at random moments and checks that nothing is lost.
#
#   fault_injection.py --program PATH [--files 20000] [--kills 50] [--seed 6]
#
# An update of --files files (new files, replacements, identical files, folders taking the place of files
# and whole new folders) onto an installation, both generated from fixed names. The update runs as the
# program's command line (--install), killed at --kills random moments (uniform over an uninterrupted
# run); then:
#   * every file in the installation, apart from temporary copies (".quorvane-partial-") and BackupFiles/,
#     is byte-identical to its old or its new version, and no old file is missing;
#   * every replaced old version is in BackupFiles/<timestamp>/ at the same path, byte-identical;
#   * the next start (an --install of nothing) removes every temporary copy the killed run left.
# Then three faults, each ending with the "incomplete" report and losing nothing: a read-only installation,
# unreadable source files and a full file system (a small tmpfs; as root only). As root, permissions do
# not bind: the installation is made read-only by a read-only bind mount in a private mount namespace, and
# the unreadable files are read by a program without the capabilities that bypass permissions.
# Prints the figures; exits 1 on any violation.
import hashlib
import os
import pathlib
import random
import re
import subprocess
import sys
import tempfile
import time

from harness import GAME, home, options, run_update, update_command, write_tree

PARTIAL = ".quorvane-partial-"


def read(path):
    return pathlib.Path(path).read_bytes()


def contents(rel, version):  # mostly small, one in 50 large enough to be caught mid-copy
    digest = hashlib.sha256(f"{version}:{rel}".encode()).digest()
    pick = int.from_bytes(digest[:4], "little")
    size = (32 * 1024 + pick % (224 * 1024)) if pick % 50 == 0 else 1 + pick % 2048
    head = f"{version} {rel}\n".encode()
    return (head + digest * (size // len(digest) + 1))[:max(size, len(head))]


def big_model(files):
    old, new = dict(GAME), {}
    for i in range(files):
        if i % 100 == 50:  # a folder takes the place of an old file
            rel = f"Art/set{i // 200:03d}/swap{i:05d}"
            old[rel], new[rel + "/inner.dat"] = contents(rel, "old"), contents(rel + "/inner.dat", "new")
            continue
        kind = i % 4  # 0 new, 1 replacement, 2 identical, 3 in a whole new folder
        rel = (f"Sounds/pack{i // 400:03d}/sound{i:05d}.dat" if kind == 3
               else f"Art/set{i // 200:03d}/file{i:05d}.dat")
        new[rel] = contents(rel, "new")
        if kind in (1, 2):
            old[rel] = new[rel] if kind == 2 else contents(rel, "old")
    untouched = (f"Art/set{i % 50:03d}/keep{i:05d}.dat" for i in range(files // 10))
    old.update((rel, contents(rel, "old")) for rel in untouched)
    return old, new


def check(installation, old, new):  # the files checked and the violations
    problems, checked = [], 0
    backups = os.path.join(installation, "BackupFiles")
    backup_roots = [os.path.join(backups, d) for d in os.listdir(backups)] if os.path.isdir(backups) else []
    for folder, dirs, names in os.walk(installation):
        dirs[:] = [d for d in dirs if not d.startswith(PARTIAL) and os.path.join(folder, d) != backups]
        for path in (os.path.join(folder, n) for n in names if not n.startswith(PARTIAL)):
            checked, data, rel = checked + 1, read(path), os.path.relpath(path, installation)
            if data not in (old.get(rel), new.get(rel)):
                problems.append(f"foreign or truncated file: {rel} ({len(data)} bytes)")
    for rel, data in old.items():
        path = os.path.join(installation, rel)
        kept = [read(p) for p in (os.path.join(r, rel) for r in backup_roots) if os.path.isfile(p)]
        checked += len(kept)
        if not os.path.isfile(path) and not (os.path.isdir(path) and rel + "/inner.dat" in new):
            problems.append(f"missing file: {rel}")
        elif (not os.path.isfile(path) or read(path) != data) and data not in kept:
            problems.append(f"old version lost: {rel}")
    return checked, problems


def tell(headline, problems):
    print(f"{headline}: {len(problems)} violations", flush=True)
    for p in problems[:20]:
        print("  VIOLATION", p)
    return len(problems)


def partials(root):
    return sum(1 for _, dirs, names in os.walk(root) for n in dirs + names if n.startswith(PARTIAL))


def kill_runs(args, work, old, new):
    template, installation, nothing = (os.path.join(work, n) for n in ("template", "installation", "drop/-"))
    command = update_command(args.program, installation, [os.path.join(work, "drop", "Addon")])
    os.makedirs(nothing, exist_ok=True)
    fresh_copy = ["sh", "-c", 'rm -rf "$2" && cp -a "$1" "$2"', "sh", template, installation]
    # An uninterrupted run measures the length of a run and shows the end state.
    subprocess.run(fresh_copy, check=True)
    started = time.monotonic()
    report = run_update(command, work)
    length = time.monotonic() - started
    checked, problems = check(installation, old, new)
    problems += [f"complete run left an old version: {rel}" for rel, data in new.items()
                 if read(os.path.join(installation, rel)) != data]
    if report.get("title") != "Application files updated successfully":
        problems.append(f"reported {report}")
    violations = tell(f"uninterrupted run: {length:.2f} s, {report.get('message')!r}, {checked} files checked",
                      problems)
    rng, mid_run, left = random.Random(args.seed), 0, 0
    for k in range(args.kills):
        subprocess.run(fresh_copy, check=True)
        delay = rng.uniform(0.0, length)
        with subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              env=home(work)) as child:
            time.sleep(delay)
            alive = child.poll() is None
            child.kill()
        mid_run += alive
        checked, problems = check(installation, old, new)
        leftovers = partials(installation)
        left += leftovers
        run_update(update_command(args.program, installation, [nothing]), work)  # the next start
        problems += [f"{n} temporary copies left after the next start" for n in [partials(installation)] if n]
        violations += tell(f"kill {k + 1:2d} at {delay:6.3f} s ({'mid-run' if alive else 'after the end'}): "
                           f"{checked} files checked, {leftovers} temporary copies left", problems)
    return f"kills={args.kills} killed_mid_run={mid_run} leftover_temporary_copies={left}", violations


def faults(args, work):  # the violations of each case
    root = os.geteuid() == 0
    # The cases are set up and run in a private mount namespace where one can be made (as root).
    namespace = ["unshare", "-m"] if root and subprocess.run(
        "unshare -m mount -t tmpfs tmpfs /mnt".split(), capture_output=True).returncode == 0 else []
    without_override = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"] if root else []
    small = {f"Art/set{i % 3}/file{i:03d}.dat": contents(str(i), "new") for i in range(60)}
    large = {f"Art/big{i:02d}.dat": hashlib.sha256(bytes([i])).digest() * 3200 for i in range(40)}  # 4 MB
    # name, files replaced (every other / every fourth), failures expected, and the set-up of the
    # installation $i and the update $u
    cases = [("read-only installation", small, 2, len(small),
              'mount --bind "$i" "$i" && mount -o remount,bind,ro "$i"' if namespace
              else 'find "$i" -type d -exec chmod 555 {} +'),
             ("unreadable source files", small, 2, 2,  # a replacement and a new file
              'chmod 0 "$u/Art/set0/file000.dat" "$u/Art/set1/file001.dat"'),
             ("full file system (2 MB tmpfs)", large, 4, None, namespace and
              'mount -t tmpfs -o size=2m tmpfs /mnt && cp -a "$i/." /mnt && mount --move /mnt "$i"')]
    for name, new, step, failed, setup in cases:
        if not setup:
            print(f"{name}: skipped (mounting a tmpfs in a private mount namespace needs root)")
            continue
        old = dict(GAME, **{rel: b"old " + rel.encode() for i, rel in enumerate(new) if i % step == 0})
        installation, update = (os.path.join(work, name[:4], n) for n in ("installation", "Addon"))
        write_tree(installation, old)
        write_tree(update, new)
        # What the run left is copied out before its mount namespace ends.
        script = (f'i=$1 u=$2; shift 2; {setup} || exit 9; '
                  '"$@"; s=$?; mkdir "$i.after" && cp -a "$i/." "$i.after"; exit $s')
        report = run_update([*without_override, *namespace, "sh", "-c", script, "sh", installation, update,
                             *update_command(args.program, installation, [update])], work)
        reported = re.search(r"\|(\d+) files could not be installed\.$", report.get("message", ""))
        problems = [] if report.get("title") == "Application files update incomplete" and reported and (
            failed is None or int(reported[1]) == failed) else [f"{failed} failures expected: {report}"]
        checked, lost = check(installation + ".after", old, new)
        yield tell(f"{name}: {report.get('message')!r}, {checked} files checked", problems + lost)


def main():
    args = options(files=20000, kills=50, seed=6)
    started = time.monotonic()
    with tempfile.TemporaryDirectory(prefix="quorvane-faults-") as work:
        old, new = big_model(args.files)
        write_tree(os.path.join(work, "template"), old)
        write_tree(os.path.join(work, "drop", "Addon"), new)
        print(f"update of {len(new)} files onto an installation of {len(old)} files, seed {args.seed}")
        kills, violations = kill_runs(args, work, old, new)
        fault_violations = sum(faults(args, work))
    print(f"SUMMARY {kills} violations={violations} fault_violations={fault_violations} "
          f"seconds={time.monotonic() - started:.0f}")
    sys.exit(1 if violations or fault_violations else 0)


if __name__ == "__main__":
    main()
