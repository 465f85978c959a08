# What the reliability scripts share: their options, the game's own files, trees written from {relative
# path: bytes}, and one run of the update driver (quorvane-update-driver) read into its report's lines.
import argparse
import os
import pathlib
import subprocess

GAME = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}


def options(**defaults):  # --driver and an integer option per default
    parser = argparse.ArgumentParser()
    parser.add_argument("--driver", required=True, type=os.path.abspath)
    for name, value in defaults.items():
        parser.add_argument("--" + name, type=int, default=value)
    return parser.parse_args()


def write_tree(root, model):
    for rel, data in model.items():
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        pathlib.Path(root, rel).write_bytes(data)


def driver_command(driver, installation, items, work):  # with the preferences file in work
    return [driver, "--target", installation, "--preferences", os.path.join(work, "preferences.ini"), *items]


def run_driver(command, timeout=600):
    # The report's lines as {key: value}, with "exit", "stderr" and "hung".
    try:
        result = subprocess.run([*command, "--timeout", str(timeout)], capture_output=True,
                                timeout=timeout + 30)
    except subprocess.TimeoutExpired:
        return {"exit": None, "hung": True, "stderr": ""}
    report = dict(line.partition(": ")[::2] for line in result.stdout.decode(errors="replace").splitlines())
    return dict(report, exit=result.returncode, hung=False, stderr=result.stderr.decode(errors="replace"))
