#!/usr/bin/env python3
# Fault injection for the update: kills it with SIGKILL at random moments and checks that nothing is lost.
#
#   fault_injection.py --driver PATH [--files 20000] [--kills 50] [--seed 6] [--work FOLDER] [--no-faults]
#
# An installation and a wrapper folder holding an update of --files files (new files, replacements,
# identical files, folders taking the place of files and whole new folders) are generated from a fixed
# seed. The update runs in the driver, a child process; for each of --kills random moments (uniform over
# the length of an uninterrupted run) it is killed with SIGKILL, and then:
#   * every file in the installation, apart from the program's temporary copies (".quorvane-partial-")
#     and BackupFiles/, is byte-identical to its old or its new version, and no old file is missing;
#   * every old version that was replaced is in BackupFiles/<timestamp>/ at the same path, byte-identical;
#   * the next start (the driver's --clean-up) removes every temporary copy the killed run left.
# Then three faults, each of which must end with the "incomplete" report and lose nothing: a read-only
# installation, source files that cannot be read, and a full file system (a small tmpfs; as root only).
# As root, permissions do not bind: the read-only installation is a read-only bind mount in a private
# mount namespace, and the unreadable files are read by a driver without the capabilities that bypass
# permissions. Prints the figures; exits 1 on any violation.
import argparse
import hashlib
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

from harness import INCOMPLETE, SUCCESS, partials, read, remove, run_driver, tell, write_tree

# Root passes permission checks: without them, as a user would, by dropping the capabilities that bypass them.
WITHOUT_OVERRIDE = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"] if os.geteuid() == 0 else []
GAME = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}


def contents(rel, version):
    """The bytes of one file, from its path: mostly small, a few large enough to be caught mid-copy."""
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
            old[rel] = contents(rel, "old")
            new[rel + "/inner.dat"] = contents(rel + "/inner.dat", "new")
            continue
        kind = i % 4  # 0 new, 1 replacement, 2 identical, 3 in a whole new folder
        rel = f"Sounds/pack{i // 400:03d}/sound{i:05d}.dat" if kind == 3 else f"Art/set{i // 200:03d}/file{i:05d}.dat"
        new[rel] = contents(rel, "new")
        if kind in (1, 2):
            old[rel] = new[rel] if kind == 2 else contents(rel, "old")
    for i in range(files // 10):  # untouched
        rel = f"Art/set{i % 50:03d}/keep{i:05d}.dat"
        old[rel] = contents(rel, "old")
    return old, new


def small_model():
    new = {f"Art/set{i % 3}/file{i:03d}.dat": contents(str(i), "new") for i in range(60)}
    return dict(GAME, **{rel: contents(rel, "old") for i, rel in enumerate(new) if i % 2}), new


def full_fs_model():  # 40 files of 100 KB, for a 2 MB file system
    new = {f"Art/big{i:02d}.dat": hashlib.sha256(bytes([i])).digest() * 3200 for i in range(40)}
    return dict(GAME, **{rel: b"old " + rel.encode() for i, rel in enumerate(new) if i % 4 == 0}), new


def check(installation, old, new):
    """The files checked and the violations of the rules above."""
    problems, checked = [], 0
    backups = os.path.join(installation, "BackupFiles")
    backup_roots = [os.path.join(backups, d) for d in sorted(os.listdir(backups))] if os.path.isdir(backups) else []
    for folder, dirs, names in os.walk(installation):
        dirs[:] = [d for d in dirs if not d.startswith(".quorvane-partial-") and not
                   (folder == installation and d == "BackupFiles")]
        for name in names:
            rel = os.path.relpath(os.path.join(folder, name), installation)
            if name.startswith(".quorvane-partial-"):
                continue
            checked += 1
            data = read(os.path.join(folder, name))
            if data not in (old.get(rel), new.get(rel)):
                problems.append(f"foreign or truncated file: {rel} ({len(data)} bytes)")
    for rel, data in old.items():
        path = os.path.join(installation, rel)
        if os.path.isdir(path) and any(key.startswith(rel + "/") for key in new):
            current = None  # a new folder took its place
        elif not os.path.isfile(path):
            problems.append(f"missing file: {rel}")
            continue
        else:
            current = read(path)
        kept = [root for root in backup_roots if os.path.isfile(os.path.join(root, rel))]
        checked += len(kept)
        if current != data and not any(read(os.path.join(root, rel)) == data for root in kept):
            problems.append(f"old version lost: {rel}")
    return checked, problems


def kill_runs(args, work, old, new):
    template, installation, state = (os.path.join(work, n) for n in ("template", "installation", "state"))
    items = [os.path.join(work, "drop", "Addon")]

    def fresh():
        remove(installation)
        subprocess.run(["cp", "-a", template, installation], check=True)

    fresh()  # an uninterrupted run measures the length of a run and shows the end state
    started = time.monotonic()
    report = run_driver(args.driver, installation, items, work)
    length = time.monotonic() - started
    checked, problems = check(installation, old, new)
    problems += [f"complete run left an old version: {rel}" for rel, data in new.items()
                 if read(os.path.join(installation, rel)) != data]
    if report.get("title") != SUCCESS:
        problems.append(f"complete run reported {report}")
    violations = tell(f"uninterrupted run: {length:.2f} s, {report.get('counts')}, {checked} files checked", problems)
    rng = random.Random(args.seed)
    mid_run = left = 0
    for k in range(args.kills):
        fresh()
        delay = rng.uniform(0.0, length)
        child = subprocess.Popen([args.driver, "--target", installation, "--state-folder", state, "--preferences",
                                  os.path.join(work, "preferences.ini"), *items],
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        child.stdout.readline()  # "confirming": the update starts now
        time.sleep(delay)
        alive = child.poll() is None
        child.send_signal(signal.SIGKILL)
        child.wait()
        child.stdout.close()
        mid_run += alive
        checked, problems = check(installation, old, new)
        leftovers = partials(installation)
        subprocess.run([args.driver, "--clean-up", "--state-folder", state], check=True)  # the next start
        remaining = partials(installation)
        left += leftovers
        if remaining:
            problems.append(f"{remaining} temporary copies left after the next start")
        violations += tell(f"kill {k + 1:2d} at {delay:6.3f} s ({'mid-run' if alive else 'after the end'}): "
                           f"{checked} files checked, {leftovers} temporary copies left", problems)
    return f"kills={args.kills} killed_mid_run={mid_run} leftover_temporary_copies={left}", violations


def expect_incomplete(name, report, installation, old, new, failed=None):
    """The "incomplete" report, "N files could not be installed." (N = failed when given), nothing lost."""
    tail = report.get("message", "").rsplit("|", 1)[-1]
    count = tail.split(" ")[0]
    problems = [] if report.get("title") == INCOMPLETE else [f"report {report}"]
    if not (tail.endswith(" files could not be installed.") and count.isdigit()):
        problems.append(f"message {report.get('message')!r}")
    elif failed is not None and int(count) != failed:
        problems.append(f"{count} failures reported, {failed} expected")
    checked, lost = check(installation, old, new)
    return tell(f"{name}: {report.get('message')!r}, {checked} files checked", problems + lost)


def can_unshare():
    """Whether this process may make a private mount namespace and mount in it (root, outside a jail)."""
    return os.geteuid() == 0 and subprocess.run(
        ["unshare", "-m", "sh", "-c", "mount -t tmpfs -o size=1k tmpfs /mnt"], capture_output=True).returncode == 0


def faults(args, work):
    old, new = small_model()
    violations = 0
    for name in ("read-only installation", "unreadable source files"):
        installation, update = os.path.join(work, name[:8], "installation"), os.path.join(work, name[:8], "Addon")
        write_tree(installation, old)
        write_tree(update, new)
        prefix, failed = WITHOUT_OVERRIDE, len(new)
        if name.startswith("unreadable"):
            failed = 2
            for rel in ("Art/set0/file000.dat", "Art/set1/file001.dat"):  # a new file and a replacement
                os.chmod(os.path.join(update, rel), 0)
        elif can_unshare():
            name += " (read-only bind mount)"
            prefix = ["unshare", "-m", "sh", "-c", 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && '
                      'shift && exec "$@"', "sh", installation]
        else:
            for folder, _, _ in os.walk(installation):
                os.chmod(folder, 0o555)
        report = run_driver(args.driver, installation, [update], work, prefix)
        violations += expect_incomplete(name, report, installation, old, new, failed)
    if not can_unshare():
        print("full file system: skipped (mounting a small tmpfs in a private mount namespace needs root)")
        return violations
    old, new = full_fs_model()
    write_tree(os.path.join(work, "full-drop", "Addon"), new)
    os.makedirs(os.path.join(work, "full"))
    # The mount lives in a private mount namespace: it goes when the inner run ends.
    inner = subprocess.run(["unshare", "-m", "--propagation", "private", sys.executable, os.path.abspath(__file__),
                            "--driver", args.driver, "--inner-full-fs", "--work", work])
    return violations + (inner.returncode != 0)


def inner_full_fs(args):
    mount_point = os.path.join(args.work, "full")
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", mount_point], check=True)
    old, new = full_fs_model()
    installation = os.path.join(mount_point, "installation")
    write_tree(installation, old)
    report = run_driver(args.driver, installation, [os.path.join(args.work, "full-drop", "Addon")], args.work)
    return expect_incomplete("full file system (2 MB tmpfs, 4 MB update)", report, installation, old, new) > 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True)
    parser.add_argument("--files", type=int, default=20000)
    parser.add_argument("--kills", type=int, default=50)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--work", help="a folder to work in (default: a fresh temporary folder, removed after)")
    parser.add_argument("--no-faults", action="store_true", help="only the kills")
    parser.add_argument("--inner-full-fs", action="store_true", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.driver = os.path.abspath(args.driver)
    if args.inner_full_fs:
        sys.exit(inner_full_fs(args))
    work = args.work or tempfile.mkdtemp(prefix="quorvane-faults-")
    try:
        started = time.monotonic()
        old, new = big_model(args.files)
        write_tree(os.path.join(work, "template"), old)
        write_tree(os.path.join(work, "drop", "Addon"), new)
        print(f"update of {len(new)} files onto an installation of {len(old)} files, seed {args.seed}", flush=True)
        kills, violations = kill_runs(args, work, old, new)
        fault_violations = 0 if args.no_faults else faults(args, work)
        print(f"SUMMARY {kills} violations={violations} fault_violations={fault_violations} "
              f"seconds={time.monotonic() - started:.0f}")
        sys.exit(1 if violations or fault_violations else 0)
    finally:
        if not args.work:
            remove(work)


if __name__ == "__main__":
    main()
