#!/usr/bin/env python3
"""Fault injection for the update: kills it with SIGKILL at random moments and checks that nothing is lost.

An installation and a wrapper folder holding an update of --files files (new files, replacements,
identical files and a whole new folder) are generated from a fixed seed. The update runs in the driver
program, a child process; for each of --kills random moments (uniform over the length of an uninterrupted
run) it is killed with SIGKILL, and the installation is checked:

  * every file under it, apart from the program's own temporary copies (names starting with
    ".quorvane-partial-") and the backup folders, is byte-identical to its old or its new version;
  * no file of the old installation is missing;
  * every old version that was replaced is in a backup folder (BackupFiles/<timestamp>/) at the same
    relative path, byte-identical.

Then three faults, each of which must end with the "incomplete" report and lose nothing: a read-only
installation, a source file that cannot be read, and a full file system (a small tmpfs; as root only).
As root, permissions do not bind: the read-only installation is a read-only bind mount in a private mount
namespace, and the unreadable file is read by a driver without the capabilities that bypass permissions.

Prints the figures and exits 1 on any violation.
"""
import argparse
import hashlib
import os
import random
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PARTIAL_PREFIX = ".quorvane-partial-"
INCOMPLETE_TITLE = "Application files update incomplete"
SUCCESS_TITLE = "Application files updated successfully"


def contents(relative, version):
    """The deterministic bytes of one file: mostly small, a few large enough to be caught mid-copy."""
    digest = hashlib.sha256(f"{version}:{relative}".encode()).digest()
    pick = int.from_bytes(digest[:4], "little")
    size = (32 * 1024 + pick % (224 * 1024)) if pick % 50 == 0 else 1 + pick % 2048
    head = f"{version} {relative}\n".encode()
    return (head + digest * (size // len(digest) + 1))[:max(size, len(head))]


def build_model(files):
    """Old installation and new update, as {relative path: bytes}, and the update's expected counts."""
    old = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}
    new = {}
    for i in range(files):
        kind = i % 4
        if i % 100 == 50:  # a folder takes the place of an old file
            swap = f"Art/set{i // 200:03d}/swap{i:05d}"
            old[swap] = contents(swap, "old")
            new[swap + "/inner.dat"] = contents(swap + "/inner.dat", "new")
            continue
        if kind == 3:  # a whole new folder
            rel = f"Sounds/pack{i // 400:03d}/sound{i:05d}.dat"
        else:
            rel = f"Art/set{i // 200:03d}/file{i:05d}.dat"
        new[rel] = contents(rel, "new")
        if kind == 1:  # replaces a different old file
            old[rel] = contents(rel, "old")
        elif kind == 2:  # identical: a duplicate
            old[rel] = new[rel]
    for i in range(files // 10):  # untouched old files
        rel = f"Art/set{i % 50:03d}/keep{i:05d}.dat"
        old[rel] = contents(rel, "old")
    return old, new


def write_tree(root, model):
    for rel, data in model.items():
        path = os.path.join(root, rel)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


def fresh_copy(template, destination):
    if os.path.lexists(destination):
        make_writable(destination)
        shutil.rmtree(destination)
    subprocess.run(["cp", "-a", template, destination], check=True)


def make_writable(root):
    for folder, dirs, _ in os.walk(root):
        for d in dirs:
            p = os.path.join(folder, d)
            if not os.path.islink(p):
                os.chmod(p, 0o755)
    os.chmod(root, 0o755)


def check(installation, old, new):
    """Counts the files checked and lists the violations of the rules above."""
    violations = []
    checked = 0
    backups = os.path.join(installation, "BackupFiles")
    backup_roots = sorted(os.path.join(backups, d) for d in os.listdir(backups)) if os.path.isdir(backups) else []
    for folder, dirs, names in os.walk(installation):
        rel_folder = os.path.relpath(folder, installation)
        if rel_folder == ".":
            rel_folder = ""
            dirs[:] = [d for d in dirs if d != "BackupFiles"]
        dirs[:] = [d for d in dirs if not d.startswith(PARTIAL_PREFIX)]
        for name in names:
            if name.startswith(PARTIAL_PREFIX):
                continue
            rel = os.path.join(rel_folder, name)
            checked += 1
            with open(os.path.join(folder, name), "rb") as f:
                data = f.read()
            if data != old.get(rel) and data != new.get(rel):
                expected = [v for v in (old.get(rel), new.get(rel)) if v is not None]
                how = "truncated" if any(v.startswith(data) for v in expected) else "foreign"
                violations.append(f"{how} file: {rel} ({len(data)} bytes)")
    for rel, data in old.items():
        path = os.path.join(installation, rel)
        if os.path.isdir(path) and any(key.startswith(rel + "/") for key in new):
            current = None  # replaced by the new folder
        elif not os.path.isfile(path):
            violations.append(f"missing file: {rel}")
            continue
        else:
            with open(path, "rb") as f:
                current = f.read()
        if current == data:
            continue
        kept = False
        for root in backup_roots:
            candidate = os.path.join(root, rel)
            if os.path.isfile(candidate):
                checked += 1
                with open(candidate, "rb") as f:
                    if f.read() == data:
                        kept = True
                        break
        if not kept:
            violations.append(f"old version lost: {rel}")
    return checked, violations


def run_driver(driver, installation, items, work, prefix=(), timeout=600):
    command = list(prefix) + [driver, "--target", installation, "--preferences",
                              os.path.join(work, "driver-preferences.ini"), "--timeout", str(timeout)] + items
    result = subprocess.run(command, capture_output=True, timeout=timeout + 30)
    report = {}
    for line in result.stdout.decode(errors="replace").splitlines():
        key, _, value = line.partition(": ")
        report[key] = value
    report["exit"] = result.returncode
    return report


def kill_runs(args, work, old, new):
    template = os.path.join(work, "template")
    installation = os.path.join(work, "installation")
    update = os.path.join(work, "drop", "Addon")
    items = [update]

    # An uninterrupted run measures the length of a run and shows the end state.
    fresh_copy(template, installation)
    started = time.monotonic()
    report = run_driver(args.driver, installation, items, work)
    length = time.monotonic() - started
    checked, violations = check(installation, old, new)
    for rel, data in new.items():
        with open(os.path.join(installation, rel), "rb") as f:
            if f.read() != data:
                violations.append(f"complete run left an old version: {rel}")
    if report.get("title") != SUCCESS_TITLE:
        violations.append(f"complete run reported {report}")
    print(f"uninterrupted run: {length:.2f} s, {report.get('counts')}, {checked} files checked, "
          f"{len(violations)} violations", flush=True)
    for v in violations[:20]:
        print("  VIOLATION", v)

    rng = random.Random(args.seed)
    totals = {"kills": 0, "killed mid-run": 0, "files checked": checked, "violations": len(violations),
              "leftover temporary copies": 0, "left after the next start": 0}
    state = os.path.join(work, "state")
    for k in range(args.kills):
        fresh_copy(template, installation)
        delay = rng.uniform(0.0, length)
        child = subprocess.Popen([args.driver, "--target", installation, "--state-folder", state, "--preferences",
                                  os.path.join(work, "driver-preferences.ini")] + items,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        child.stdout.readline()  # "confirming": the update starts now
        time.sleep(delay)
        alive = child.poll() is None
        child.send_signal(signal.SIGKILL)
        child.wait()
        child.stdout.close()
        totals["kills"] += 1
        totals["killed mid-run"] += int(alive)
        checked, violations = check(installation, old, new)
        leftovers = sum(1 for _, dirs, names in os.walk(installation)
                        for n in dirs + names if n.startswith(PARTIAL_PREFIX))
        # The next start removes what the killed run recorded in its journal.
        subprocess.run([args.driver, "--clean-up", "--state-folder", state], check=True)
        remaining = sum(1 for _, dirs, names in os.walk(installation)
                        for n in dirs + names if n.startswith(PARTIAL_PREFIX))
        if remaining:
            violations.append(f"{remaining} temporary copies left after the next start")
        totals["files checked"] += checked
        totals["violations"] += len(violations)
        totals["leftover temporary copies"] += leftovers
        totals["left after the next start"] += remaining
        print(f"kill {k + 1:2d} at {delay:6.3f} s ({'mid-run' if alive else 'after the end'}): "
              f"{checked} files checked, {leftovers} temporary copies left ({remaining} after the next start), "
              f"{len(violations)} violations", flush=True)
        for v in violations[:20]:
            print("  VIOLATION", v)
    return totals


def expect_incomplete(name, report, old, new, installation, expected_failed=None):
    problems = []
    if report.get("title") != INCOMPLETE_TITLE:
        problems.append(f"title {report.get('title')!r}, exit {report.get('exit')}")
    message = report.get("message", "")
    tail = message.rsplit("|", 1)[-1]
    if not (tail.endswith(" files could not be installed.") and tail.split(" ")[0].isdigit()):
        problems.append(f"message {message!r}")
    elif expected_failed is not None and int(tail.split(" ")[0]) != expected_failed:
        problems.append(f"{tail.split(' ')[0]} failures reported, {expected_failed} expected")
    checked, violations = check(installation, old, new)
    problems += violations
    print(f"{name}: {report.get('title')!r} / {message!r}; {checked} files checked, "
          f"{len(problems)} violations", flush=True)
    for p in problems[:20]:
        print("  VIOLATION", p)
    return len(problems)


def small_model():
    old = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}
    new = {}
    for i in range(60):
        rel = f"Art/set{i % 3}/file{i:03d}.dat"
        new[rel] = contents(rel, "new")
        if i % 2:
            old[rel] = contents(rel, "old")
    return old, new


def can_unshare():
    """Whether this process may make a private mount namespace and mount in it (root, outside a jail)."""
    if os.geteuid() != 0:
        return False
    probe = subprocess.run(["unshare", "-m", "sh", "-c", "mount -t tmpfs -o size=1k tmpfs /mnt"],
                           capture_output=True)
    return probe.returncode == 0


# Root passes permission checks: without them, as a user would, by dropping the capabilities that bypass them.
WITHOUT_OVERRIDE = ["setpriv", "--bounding-set", "-dac_override,-dac_read_search", "--"]


def read_only_installation(args, work):
    old, new = small_model()
    installation = os.path.join(work, "ro", "installation")
    write_tree(installation, old)
    write_tree(os.path.join(work, "ro", "drop", "Addon"), new)
    items = [os.path.join(work, "ro", "drop", "Addon")]
    if can_unshare():
        how = "read-only bind mount"
        script = ('mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && shift && exec "$@"')
        prefix = ["unshare", "-m", "sh", "-c", script, "sh", installation]
    else:
        how = "chmod a-w"
        for folder, dirs, files in os.walk(installation):
            for d in dirs:
                os.chmod(os.path.join(folder, d), 0o555)
        os.chmod(installation, 0o555)
        prefix = WITHOUT_OVERRIDE if os.geteuid() == 0 else []
    report = run_driver(args.driver, installation, items, work, prefix)
    make_writable(installation)
    return expect_incomplete(f"read-only installation ({how})", report, old, new, installation, len(new))


def unreadable_source(args, work):
    old, new = small_model()
    installation = os.path.join(work, "unreadable", "installation")
    update = os.path.join(work, "unreadable", "drop", "Addon")
    write_tree(installation, old)
    write_tree(update, new)
    blocked = ["Art/set0/file000.dat", "Art/set1/file001.dat"]  # one new file, one replacement
    for rel in blocked:
        os.chmod(os.path.join(update, rel), 0)
    # Root reads anything: the driver runs without the capabilities that bypass file permissions.
    prefix = WITHOUT_OVERRIDE if os.geteuid() == 0 else []
    report = run_driver(args.driver, installation, [update], work, prefix)
    problems = expect_incomplete("unreadable source file", report, old, new, installation, len(blocked))
    for rel in blocked:
        now = os.path.join(installation, rel)
        if os.path.exists(now) and open(now, "rb").read() != old.get(rel):
            problems += 1
            print("  VIOLATION unreadable file replaced:", rel)
    return problems


def full_file_system(args, work):
    if not can_unshare():
        print("full file system: skipped (mounting a small tmpfs in a private mount namespace needs root)")
        return 0
    mount_point = os.path.join(work, "full")
    os.makedirs(mount_point, exist_ok=True)
    update = os.path.join(work, "full-drop", "Addon")
    old, new = full_fs_model()
    write_tree(update, new)
    # The mount lives in a private mount namespace: it goes when the inner run ends.
    inner = subprocess.run(["unshare", "-m", "--propagation", "private", sys.executable, os.path.abspath(__file__),
                            "--driver", args.driver, "--inner-full-fs", mount_point, "--work", work],
                           capture_output=True, text=True)
    sys.stdout.write(inner.stdout)
    sys.stderr.write(inner.stderr[-2000:])
    return inner.returncode if inner.returncode != 0 else 0


def full_fs_model():
    old = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}
    new = {}
    for i in range(40):
        rel = f"Art/big{i:02d}.dat"
        data = hashlib.sha256(rel.encode()).digest() * (100 * 1024 // 32)  # 100 KB each, 4 MB in all
        new[rel] = data
        if i % 4 == 0:
            old[rel] = b"old " + rel.encode()
    return old, new


def inner_full_fs(args):
    mount_point = args.inner_full_fs
    subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", mount_point], check=True)
    old, new = full_fs_model()
    installation = os.path.join(mount_point, "installation")
    write_tree(installation, old)
    update = os.path.join(args.work, "full-drop", "Addon")
    report = run_driver(args.driver, installation, [update], args.work)
    problems = expect_incomplete("full file system (2 MB tmpfs, 4 MB update)", report, old, new, installation)
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--driver", required=True)
    parser.add_argument("--files", type=int, default=20000)
    parser.add_argument("--kills", type=int, default=50)
    parser.add_argument("--seed", type=int, default=6)
    parser.add_argument("--work", help="a folder to work in (default: a fresh temporary folder, removed after)")
    parser.add_argument("--no-faults", action="store_true", help="only the kills")
    parser.add_argument("--inner-full-fs", help=argparse.SUPPRESS)
    args = parser.parse_args()
    args.driver = os.path.abspath(args.driver)
    if args.inner_full_fs:
        sys.exit(inner_full_fs(args))

    work = args.work or tempfile.mkdtemp(prefix="quorvane-faults-")
    try:
        started = time.monotonic()
        old, new = build_model(args.files)
        write_tree(os.path.join(work, "template"), old)
        write_tree(os.path.join(work, "drop", "Addon"), new)
        print(f"update of {len(new)} files onto an installation of {len(old)} files "
              f"({sum(map(len, new.values())) // 1024} KB new, {sum(map(len, old.values())) // 1024} KB old), "
              f"seed {args.seed}", flush=True)
        totals = kill_runs(args, work, old, new)
        fault_violations = 0
        if not args.no_faults:
            fault_violations += read_only_installation(args, work)
            fault_violations += unreadable_source(args, work)
            fault_violations += full_file_system(args, work)
        print(f"SUMMARY kills={totals['kills']} killed_mid_run={totals['killed mid-run']} "
              f"files_checked={totals['files checked']} violations={totals['violations']} "
              f"leftover_temporary_copies={totals['leftover temporary copies']} "
              f"left_after_next_start={totals['left after the next start']} "
              f"fault_violations={fault_violations} seconds={time.monotonic() - started:.0f}")
        sys.exit(1 if totals["violations"] or fault_violations else 0)
    finally:
        if not args.work:
            make_writable(work)
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
