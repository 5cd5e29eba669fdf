#!/usr/bin/env python3
"""Runs two twinfol-sync binaries over the same random trees and reports every difference.

For a change that must not change what a run does (a restructuring, say): build the binary before the
change, then

    tests/reliability/same_as_before.py BEFORE AFTER [--rounds N] [--seed S] [--scratch DIR]

Each round makes a random source and target tree (twins older, newer, within the tolerance and an hour
apart, items on one side only, read-only files, files in read-only folders, trash folders and killed
copies' leftovers), random exclusions on both sides and a random set of options (deletes, no adds, no
sub-folders, the hour shift, a limit of deletes, confirmations, the Trash, a dry run, a plan), and runs it at one and at
four jobs with both binaries, each from the same pristine copy of the trees. It compares the exit code,
the JSON report (without its times), the lines of --verbose, and the resulting trees, the Trash
included (names, kinds, modes, content and modification times). Exit 0 when nothing differs.
"""
import argparse
import json
import os
import random
import re
import shutil
import stat
import subprocess
import sys

BASE = 1699956000  # 10:00:00 UTC on 14 November 2023


def write(path, content, mtime, mode=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as handle:
        handle.write(content)
    os.utime(path, (mtime, mtime))
    if mode is not None:
        os.chmod(path, mode)


def random_name(rng, taken):
    while True:
        name = "".join(rng.choice("abcdefgh") for _ in range(rng.randint(1, 4)))
        if rng.random() < 0.1:
            name = name.upper()
        if name not in taken:
            taken.add(name)
            return name


class TreeMaker:
    """A random pair of trees and the exclusions drawn on them."""

    def __init__(self, rng, root):
        self.rng = rng
        self.root = root
        self.exclusions = []
        self.read_only_folders = []

    def exclude(self, path):
        if self.rng.random() < 0.12:
            self.exclusions.append(path)

    def twin_stamps(self):
        kind = self.rng.choice(["same", "newer", "older", "tolerance", "hour", "hour", "newer"])
        offset = {"same": 0, "newer": 500, "older": -500, "tolerance": 60, "hour": 3600}[kind]
        return BASE + offset, BASE

    def level(self, rel, depth):
        rng = self.rng
        source = os.path.join(self.root, "source", rel)
        target = os.path.join(self.root, "target", rel)
        os.makedirs(source, exist_ok=True)
        os.makedirs(target, exist_ok=True)
        taken = set()
        files = rng.choice([2, 5, 20, 40])
        for _ in range(files):
            name = random_name(rng, taken)
            side = rng.choice(["both", "both", "both", "source", "target"])
            content = os.urandom(rng.choice([0, 10, 3000]))
            if side in ("both", "source"):
                self.exclude(os.path.join(source, name))
            if side in ("both", "target"):
                self.exclude(os.path.join(target, name))
            if side == "both":
                source_time, target_time = self.twin_stamps()
                write(os.path.join(source, name), content, source_time)
                mode = 0o444 if rng.random() < 0.08 else None
                write(os.path.join(target, name), b"old" + content, target_time, mode)
            elif side == "source":
                write(os.path.join(source, name), content, BASE)
            else:
                mode = 0o444 if rng.random() < 0.1 else None
                write(os.path.join(target, name), content, BASE, mode)
        if rng.random() < 0.15:
            write(os.path.join(target, ".twinfol-0123456789abcdef.part"), b"left", BASE - 7200)
        if depth >= 3:
            return
        for _ in range(rng.choice([0, 1, 2, 4])):
            name = random_name(rng, taken)
            side = rng.choice(["both", "both", "source", "target"])
            if side in ("both", "source"):
                self.exclude(os.path.join(source, name) + "/")
            if side in ("both", "target"):
                self.exclude(os.path.join(target, name) + "/")
            if side == "both":
                self.level(os.path.join(rel, name), depth + 1)
            else:
                self.one_side(os.path.join(self.root, side, rel, name), depth + 1)

    def one_side(self, folder, depth):
        rng = self.rng
        os.makedirs(folder, exist_ok=True)
        taken = set()
        for _ in range(rng.choice([0, 1, 3, 20])):
            mode = 0o444 if rng.random() < 0.05 else None
            write(os.path.join(folder, random_name(rng, taken)), os.urandom(rng.choice([0, 100])), BASE, mode)
        if depth < 3 and rng.random() < 0.4:
            self.one_side(os.path.join(folder, random_name(rng, taken)), depth + 1)
        if rng.random() < 0.05:
            self.read_only_folders.append(folder)

    def make(self):
        self.level("", 0)
        if self.rng.random() < 0.2:
            os.makedirs(os.path.join(self.root, "target", ".Trash-0", "files"), exist_ok=True)
            os.makedirs(os.path.join(self.root, "source", ".Trash-0"), exist_ok=True)
        for folder in self.read_only_folders:
            os.chmod(folder, 0o555)


def random_options(rng):
    options = []
    for flag, chance in (("--delete", 0.7), ("--no-add", 0.1), ("--no-subfolders", 0.1),
                         ("--ignore-hour-shift", 0.3), ("--trash", 0.3), ("--dry-run", 0.2),
                         ("--plan", 0.2)):
        if rng.random() < chance:
            options.append(flag)
    if rng.random() < 0.15:
        options += ["--max-delete", str(rng.randint(0, 6))]
    if "--delete" in options and rng.random() < 0.2:
        options += ["--confirm", "--yes"]
    return options


def snapshot(root):
    """Every entry below root: kind, mode, content and modification time."""
    entries = {}
    for folder, folders, files in os.walk(root):
        for name in folders + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            rel = os.path.relpath(path, root)
            if stat.S_ISDIR(info.st_mode):
                entries[rel] = ("folder", stat.S_IMODE(info.st_mode))
                continue
            with open(path, "rb") as handle:
                content = handle.read()
            mtime = info.st_mtime_ns
            if rel.endswith(".trashinfo"):
                # Written when the run deleted the item: only what it says is compared.
                content = re.sub(rb"DeletionDate=.*", b"DeletionDate=", content)
                mtime = 0
            if "/state/" in "/" + rel:
                continue  # run journals: dated, compared by the undo's own tests
            entries[rel] = ("file", stat.S_IMODE(info.st_mode), content, mtime)
    return entries


def normalise(output):
    try:
        report = json.loads(output)
    except ValueError:
        return output
    for key in ("startTime", "durationSeconds"):
        report.pop(key, None)
    return report


def run_once(binary, pristine, work, arguments):
    if os.path.exists(work):
        subprocess.run(["chmod", "-R", "u+w", work], check=False)
        shutil.rmtree(work)
    subprocess.run(["cp", "-a", pristine, work], check=True)
    home = os.path.join(work, "home")
    os.makedirs(home, exist_ok=True)
    environment = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(work, "data"),
                       XDG_STATE_HOME=os.path.join(work, "state"))
    command = [binary] + [argument.replace("{root}", work) for argument in arguments]
    done = subprocess.run(command, capture_output=True, text=True, env=environment)
    return {"exit": done.returncode, "report": normalise(done.stdout), "stderr": done.stderr,
            "tree": snapshot(work)}


def run_both_ways(binary, pristine, work, arguments):
    """The run as JSON, and the same run from the same trees with its actions listed as text."""
    outcome = run_once(binary, pristine, work, arguments)
    listed = run_once(binary, pristine, work, ["-v" if a == "--json" else a for a in arguments])
    outcome["verbose"] = re.sub(r"\d+(\.\d+)? (s|seconds?)\b|\d{4}-\d\d-\d\d[ T][0-9:+]+", "#", listed["report"])
    return outcome


def compare(before, after):
    differences = []
    for key in ("exit", "report", "stderr", "verbose"):
        if before[key] != after[key]:
            differences.append(key)
    if before["tree"] != after["tree"]:
        keys = set(before["tree"]) | set(after["tree"])
        changed = sorted(k for k in keys if before["tree"].get(k) != after["tree"].get(k))
        differences.append("tree: " + ", ".join(changed[:5]))
    return differences


def show_differences(before, after):
    import difflib
    for key in ("report", "stderr", "verbose"):
        if before[key] != after[key]:
            old = json.dumps(before[key], indent=1) if isinstance(before[key], dict) else str(before[key])
            new = json.dumps(after[key], indent=1) if isinstance(after[key], dict) else str(after[key])
            print("\n".join(difflib.unified_diff(old.splitlines(), new.splitlines(), key, key, lineterm="")))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rounds", type=int, default=40)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--scratch", default="/tmp/twinfol-same-as-before")
    parser.add_argument("--show", action="store_true", help="print the differing outputs")
    arguments = parser.parse_args()
    scratch = os.path.abspath(arguments.scratch)
    failures = 0
    for round_number in range(arguments.rounds):
        rng = random.Random(arguments.seed * 100003 + round_number)
        pristine = os.path.join(scratch, "pristine")
        if os.path.exists(scratch):
            subprocess.run(["chmod", "-R", "u+w", scratch], check=False)
            shutil.rmtree(scratch)
        maker = TreeMaker(rng, pristine)
        maker.make()
        options = random_options(rng)
        work = os.path.join(scratch, "work")
        exclusions = []
        for path in maker.exclusions:
            exclusions += ["--exclude", path.replace(pristine, "{root}")]
        for jobs in ("1", "4"):
            command = ["--json", "--jobs", jobs] + options + exclusions + ["{root}/source/", "{root}/target/"]
            before = run_both_ways(arguments.before, pristine, work, command)
            after = run_both_ways(arguments.after, pristine, work, command)
            differences = compare(before, after)
            status = "same" if not differences else "DIFFERS in " + "; ".join(differences)
            print(f"round {round_number} jobs {jobs} {' '.join(options)} "
                  f"({len(maker.exclusions)} exclusions, exit {before['exit']}): {status}")
            failures += 1 if differences else 0
            if differences and arguments.show:
                show_differences(before, after)
    print(f"{failures} of {2 * arguments.rounds} runs differ")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
