#!/usr/bin/env python3
"""Builds the synthetic folder trees of the benchmark, and changes them between rounds.

  make_tree.py small ROOT FILES FOLDERS   FILES files of 0-8 KiB spread evenly over FOLDERS
                                          folders (ROOT included), at most 8 sub-folders per
                                          folder, filled breadth first (5 levels for 2,500)
  make_tree.py large ROOT FILES MIB       FILES files of MIB MiB each, directly in ROOT
  make_tree.py touch ROOT PERCENT ROUND   makes PERCENT % of the files (the same ones each round)
                                          an hour newer than the newest of them
  make_tree.py extra ROOT PERCENT TAG     adds PERCENT % new files (named with TAG) beside
                                          existing ones, spread over the folders
  make_tree.py patterns FILE              writes 200 ignore patterns for the small tree: 120 names
                                          or "*.ext", 50 with "**" or an inner "/", 30 negations;
                                          none matches more than a few items

The same seed gives the same tree, so rounds and runs compare like with like.
"""
import os
import random
import sys

SUBFOLDERS_PER_FOLDER = 8
BASE_TIME = 1_700_000_000  # a fixed, past last-write time for every generated file


def folders_breadth_first(root, count):
    folders = [root]
    index = 0
    while len(folders) < count:
        parent = folders[index]
        for child in range(SUBFOLDERS_PER_FOLDER):
            if len(folders) == count:
                break
            folders.append(os.path.join(parent, "d%d" % child))
        index += 1
    return folders


def write_file(path, size, rng):
    with open(path, "wb") as out:
        out.write(rng.randbytes(size))
    os.utime(path, (BASE_TIME, BASE_TIME))


def make_small(root, files, folder_count):
    rng = random.Random(8)
    folders = folders_breadth_first(root, folder_count)
    for folder in folders:
        os.makedirs(folder, exist_ok=True)
    for number in range(files):
        folder = folders[number % len(folders)]
        write_file(os.path.join(folder, "f%06d.dat" % number), rng.randint(0, 8192), rng)


def make_large(root, files, mebibytes):
    rng = random.Random(50)
    os.makedirs(root, exist_ok=True)
    block = rng.randbytes(1 << 20)
    for number in range(files):
        path = os.path.join(root, "large%02d.bin" % number)
        with open(path, "wb") as out:
            for chunk in range(mebibytes):
                # Each MiB differs, so no file system can share or compress the blocks away.
                out.write(chunk.to_bytes(8, "little") + number.to_bytes(8, "little") + block[16:])
        os.utime(path, (BASE_TIME, BASE_TIME))


def all_files(root):
    found = []
    for folder, subfolders, names in os.walk(root):
        subfolders.sort()
        found.extend(os.path.join(folder, name) for name in sorted(names))
    return found


def chosen(files, percent, seed):
    count = max(1, len(files) * percent // 100)
    return random.Random(seed).sample(files, count)


def touch(root, percent, round_number):
    # An hour past the newest of them, so each round makes them newer than any copy made before,
    # in this run or an earlier one that left the source behind.
    paths = chosen(all_files(root), percent, 1)
    stamp = max(os.lstat(path).st_mtime for path in paths) + 3600
    for path in paths:
        os.utime(path, (stamp, stamp), follow_symlinks=False)


def extra(root, percent, tag):
    rng = random.Random(tag)
    files = all_files(root)
    for index, path in enumerate(chosen(files, percent, tag)):
        write_file(os.path.join(os.path.dirname(path), "extra-%s-%d.dat" % (tag, index)),
                   rng.randint(0, 8192), rng)


def patterns(path):
    rng = random.Random(26)
    lines = []
    # Names of single files (the small tree's files are f000000.dat and on) and extensions no file has.
    for number in range(60):
        lines.append("f%06d.dat" % rng.randrange(50000))
        lines.append("*.%s%d" % (rng.choice(["tmp", "bak", "o", "pyc", "log", "swp"]), number))
    # Anchored and "**" patterns that reach a file or two, or a folder name that does not occur.
    for number in range(50):
        kind = number % 5
        if kind == 0:
            lines.append("**/f%06d.dat" % rng.randrange(50000))
        elif kind == 1:
            lines.append("d%d/**/f%05d?.dat" % (rng.randrange(8), rng.randrange(5000)))
        elif kind == 2:
            lines.append("/d%d/d%d/f%06d.dat" % (rng.randrange(8), rng.randrange(8), rng.randrange(50000)))
        elif kind == 3:
            lines.append("**/cache%d/" % number)
        else:
            lines.append("d%d/*/build%d/**" % (rng.randrange(8), number))
    # Negations, some of which re-include a file an earlier line named.
    for number in range(30):
        lines.append("!" + lines[2 * number] if number % 2 == 0 else "!keep%d.dat" % number)
    with open(path, "w") as out:
        out.write("# 200 patterns for the benchmark's small tree\n")
        out.write("\n".join(lines) + "\n")


def main(argv):
    kind, root = argv[1], argv[2]
    if kind == "small":
        make_small(root, int(argv[3]), int(argv[4]))
    elif kind == "large":
        make_large(root, int(argv[3]), int(argv[4]))
    elif kind == "touch":
        touch(root, int(argv[3]), int(argv[4]))
    elif kind == "extra":
        extra(root, int(argv[3]), argv[4])
    elif kind == "patterns":
        patterns(root)
    else:
        sys.exit("unknown kind: " + kind)


if __name__ == "__main__":
    main(sys.argv)
