# What the reliability scripts share: trees written from {relative path: bytes}, one run of the update
# driver (quorvane-update-driver) read into a report, and the lines that name what went wrong.
import os
import shutil
import subprocess

PARTIAL = ".quorvane-partial-"
INCOMPLETE = "Application files update incomplete"
SUCCESS = "Application files updated successfully"


def write_tree(root, model):
    for rel, data in model.items():
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        with open(os.path.join(root, rel), "wb") as f:
            f.write(data)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def remove(root):
    """Removes a tree, read-only folders too."""
    for folder, dirs, _ in os.walk(root):
        for d in dirs:
            if not os.path.islink(os.path.join(folder, d)):
                os.chmod(os.path.join(folder, d), 0o755)
    if os.path.isdir(root):
        os.chmod(root, 0o755)
    shutil.rmtree(root, ignore_errors=True)


def partials(root):
    return sum(1 for _, dirs, names in os.walk(root) for n in dirs + names if n.startswith(PARTIAL))


def run_driver(driver, installation, items, work, prefix=(), timeout=600, options=()):
    """One update to its end: the report's lines as {key: value}, with "exit", "stderr" and "hung"."""
    command = [*prefix, driver, "--target", installation, "--preferences", os.path.join(work, "preferences.ini"),
               "--timeout", str(timeout), *options, *items]
    try:
        result = subprocess.run(command, capture_output=True, timeout=timeout + 30)
    except subprocess.TimeoutExpired:
        return {"exit": None, "hung": True, "stderr": ""}
    report = dict(line.partition(": ")[::2] for line in result.stdout.decode(errors="replace").splitlines())
    return dict(report, exit=result.returncode, hung=False, stderr=result.stderr.decode(errors="replace"))


def tell(headline, problems):
    print(f"{headline}: {len(problems)} violations", flush=True)
    for p in problems[:20]:
        print("  VIOLATION", p)
    return len(problems)
