#!/usr/bin/env python3
"""Prints the benchmark's medians, ratios and peak memory from the rows that run.sh recorded.

Each row: tree, case, round, tool, seconds, peak resident KiB. Ratios are given two ways: the ratio
of the medians, and the median of the ratios taken within each round (the one to trust when the
machine's speed drifts between rounds).
"""
import statistics
import sys
from collections import defaultdict

CASES = [
    ("copy", "initial copy into an empty target"),
    ("noop", "re-run with nothing to do"),
    ("change", "re-run after 1 % newer sources and 1 % extra target files"),
    ("delete", "deleting a whole target-only tree"),
    ("delete5k", "deleting 5,000 target-only files inside kept folders"),
    ("overwrite5k", "overwriting 5,000 files"),
    ("noop200", "re-run with nothing to do, 200 ignore patterns against none"),
]
# The ratio mine/other that each case aims at, for many small files and for few large ones. "trash" is
# twinfol-sync with --trash, whose delete moves the tree to the Trash instead; "before" is the binary
# given to run.sh --compare-with, timed in the same rounds.
RATIOS = {
    "copy": [("twinfol", "rsync", "0.6", "-"), ("twinfol", "cp", "0.65", "1.0"), ("twinfol", "before", "-", "-")],
    "noop": [("twinfol", "rsync", "0.4", "0.4"), ("twinfol", "walk", "0.75", "0.75"), ("twinfol", "before", "-", "-")],
    "change": [("twinfol", "rsync", "0.4", "0.4"), ("twinfol", "before", "-", "-")],
    "delete": [("twinfol", "rsync", "-", "-"), ("twinfol", "rm", "0.35", "0.35"), ("trash", "twinfol", "1.2", "1.2")],
    "delete5k": [("trash", "twinfol", "1.2", "1.2")],
    "overwrite5k": [("trash", "twinfol", "1.2", "1.2")],
    "noop200": [("patterns", "twinfol", "1.15", "1.15")],
}


def main(path, tree):
    rows = defaultdict(dict)  # (case, tool) -> round -> (seconds, kib)
    with open(path) as source:
        for line in source:
            fields = line.split()
            if len(fields) != 6 or fields[0] != tree:
                continue
            _, case, round_number, tool, seconds, kib = fields
            rows[(case, tool)][int(round_number)] = (float(seconds), int(kib))
    for case, title in CASES:
        tools = [tool for (c, tool) in rows if c == case]
        if not tools:
            continue
        print("  %s" % title)
        for tool in sorted(tools, key=lambda t: (t != "twinfol", t != "before", t)):
            runs = rows[(case, tool)]
            times = [runs[r][0] for r in sorted(runs)]
            peak = statistics.median(runs[r][1] for r in runs)
            print("    %-8s median %8.3f s   (min %7.3f, max %7.3f, %d rounds)   peak memory %7.1f MiB"
                  % (tool, statistics.median(times), min(times), max(times), len(times), peak / 1024))
        for tool, other, small_target, large_target in RATIOS[case]:
            target = large_target if tree == "large" else small_target
            mine = rows.get((case, tool))
            theirs = rows.get((case, other))
            if not mine or not theirs:
                continue
            ratio_of_medians = (statistics.median(v[0] for v in mine.values()) /
                                statistics.median(v[0] for v in theirs.values()))
            per_round = [mine[r][0] / theirs[r][0] for r in mine if r in theirs and theirs[r][0] > 0]
            print("    %15s %5.2f (median of per-round ratios %5.2f)   target: %s"
                  % (tool + "/" + other, ratio_of_medians, statistics.median(per_round),
                     "none" if target == "-" else "at most " + target))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
