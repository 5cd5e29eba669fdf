#!/usr/bin/env python3
"""Checks the size limits of the house style on the program's own sources (tests/ aside): no file over
500 lines, no function over 60 lines (the runner's help text aside), and no #include that climbs with
"..". Functions are found with Universal Ctags. Prints each breach and exits 1 when there is one."""
import json
import os
import re
import subprocess
import sys

MOST_FILE_LINES = 500
MOST_FUNCTION_LINES = 60
SOURCE_FOLDERS = ("base", "engine", "profile", "settings", "schedule", "cli", "app", "reports", "fuzz")
# Text, not logic: the runner's --help is one long string.
LONG_FUNCTIONS_ALLOWED = {("cli/help_text.cpp", "HelpText")}


def sources(root):
    for folder in SOURCE_FOLDERS:
        for directory, _, files in os.walk(os.path.join(root, folder)):
            for name in sorted(files):
                if name.endswith((".cpp", ".h")):
                    yield os.path.relpath(os.path.join(directory, name), root)


def functions(root, paths):
    command = ["ctags", "--output-format=json", "--fields=+ne", "--c++-kinds=f", "--language-force=C++",
               "--extras=-q", "-f", "-"] + paths
    output = subprocess.run(command, cwd=root, capture_output=True, text=True, check=True).stdout
    for line in output.splitlines():
        tag = json.loads(line)
        if tag.get("_type") == "tag" and "end" in tag and not tag["name"].startswith("__anon"):
            yield tag["path"], tag["name"], tag["line"], tag["end"]


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", ".."))
    paths = list(sources(root))
    breaches = []
    for path in paths:
        with open(os.path.join(root, path), encoding="utf-8") as handle:
            lines = handle.read().splitlines()
        if len(lines) > MOST_FILE_LINES:
            breaches.append(f"{path}: {len(lines)} lines (at most {MOST_FILE_LINES})")
        for number, line in enumerate(lines, 1):
            if re.match(r'\s*#\s*include\s*[<"][^>"]*\.\.', line):
                breaches.append(f"{path}:{number}: an #include climbs with ..")
    for path, name, first, last in functions(root, paths):
        length = last - first + 1
        if length > MOST_FUNCTION_LINES and (path, name) not in LONG_FUNCTIONS_ALLOWED:
            breaches.append(f"{path}:{first}: {name} has {length} lines (at most {MOST_FUNCTION_LINES})")
    for breach in breaches:
        print(breach)
    print(f"{len(paths)} files checked, {len(breaches)} over the limits")
    return 1 if breaches else 0


if __name__ == "__main__":
    sys.exit(main())
