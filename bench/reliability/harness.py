# What the reliability scripts share: their options, the game's own files, trees written from {relative
# path: bytes}, and one update by the program's command line (quorvane-updater --install), with a home of
# its own, read into its report.
import argparse
import os
import pathlib
import subprocess

GAME = {"Quorvane": b"game application\n", "Text/version.txt": b"1.29"}


def options(**defaults):  # --program and an integer option per default
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True, type=os.path.abspath)
    for name, value in defaults.items():
        parser.add_argument("--" + name, type=int, default=value)
    return parser.parse_args()


def write_tree(root, model):
    for rel, data in model.items():
        os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
        pathlib.Path(root, rel).write_bytes(data)


def update_command(program, installation, items):
    return [program, "--install", installation, "--", *items]


def home(work):  # the environment of a program whose preferences and state live in work
    return dict(os.environ, HOME=work, XDG_CONFIG_HOME=os.path.join(work, "config"),
                XDG_STATE_HOME=os.path.join(work, "state"))


TITLES = ("Application files", "Nothing was installed", "Update cancelled")


def run_update(command, work, timeout=600):
    # The report as "title", "message" (its lines joined by "|") and "reports" (how many were written),
    # with "exit", "stderr" and "hung".
    try:
        result = subprocess.run(command, capture_output=True, timeout=timeout, env=home(work))
    except subprocess.TimeoutExpired:
        return {"exit": None, "hung": True, "stderr": ""}
    lines = result.stdout.decode(errors="replace").splitlines() or [""]
    return {"title": lines[0], "message": "|".join(lines[1:]), "reports": sum(map(lambda line: line.startswith(
        TITLES), lines)), "exit": result.returncode, "hung": False, "stderr": result.stderr.decode(errors="replace")}
