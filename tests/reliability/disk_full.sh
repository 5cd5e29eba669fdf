#!/usr/bin/env bash
# Disk full: twinfol-sync copies into a target on a small tmpfs of its own that fills up mid-file.
# The files that do not fit must fail with a problem line, the old target file must stay intact, no
# partial or temporary file may be left, and the run must go on with the later, smaller files.
#   tests/reliability/disk_full.sh          (as root: it mounts a tmpfs; otherwise it is skipped)
# TWINFOL_SYNC names a runner to use instead of building one.
set -euo pipefail
cd "$(dirname "$0")/../.."

if [ "$(id -u)" -ne 0 ]; then
    echo "disk_full: skipped: mounting a small file system for the target needs root"
    exit 0
fi
if [ -z "${TWINFOL_SYNC:-}" ]; then
    cmake -S . -B build -DTWINFOL_WERROR=ON >/dev/null
    cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target twinfol-sync >/dev/null
    TWINFOL_SYNC=build/twinfol-sync
fi
TWINFOL_SYNC=$(realpath "$TWINFOL_SYNC")
if ! command -v python3 >/dev/null; then
    # The report is checked with Python, which a fresh Debian lacks.
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends python3 >/dev/null
fi

work=$(mktemp -d /var/tmp/twinfol-disk-full.XXXXXX)
source="$work/source"
target="$work/target"
mkdir -p "$source" "$target"
# The run's journal goes to the work folder, never to the home of whoever runs the check.
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state"
cleanup() {
    mountpoint -q "$target" && umount "$target"
    rm -rf "$work"
}
trap cleanup EXIT
if ! mount -t tmpfs -o size=8m tmpfs "$target" 2>/dev/null; then
    echo "disk_full: skipped: could not mount a tmpfs (no mount privilege in this container?)"
    exit 0
fi

old=1600000000
new=$((old + 100000))
make_file() { # path size-in-KiB seed mtime
    mkdir -p "$(dirname "$1")"
    pattern_bytes "$2" "$3" >"$1"
    touch -d "@$4" "$1"
}
# Content that differs per seed, made with coreutils alone.
pattern_bytes() {
    head -c "$(($1 * 1024))" < <(yes "twinfol disk full test block $2" | tr -d '\n')
}

# Byte order is the order of work: the two large copies come first and cannot fit, the rest can.
make_file "$source/1-big-overwrite" 6144 new1 "$new"   # 6 MiB over an old 3 MiB: 9 MiB needed
make_file "$target/1-big-overwrite" 3072 old1 "$old"
make_file "$source/2-big-add" 7168 new2 "$new"         # 7 MiB beside the 3 MiB above
make_file "$source/3-small-add" 100 new3 "$new"
make_file "$source/4-small-overwrite" 2 new4 "$new"
make_file "$target/4-small-overwrite" 1 old4 "$old"
make_file "$source/5-folder/inside" 50 new5 "$new"
old_sum=$(sha256sum <"$target/1-big-overwrite")

set +e
"$TWINFOL_SYNC" --json "$source/" "$target/" >"$work/report.json" 2>"$work/stderr"
code=$?
set -e

failures=()
check() { # description, then a command that must succeed
    local description=$1
    shift
    if "$@"; then
        echo "  ok: $description"
    else
        echo "  FAILED: $description"
        failures+=("$description")
    fi
}
same_file() { cmp -s "$1" "$2"; }

echo "disk_full: target is an 8 MiB tmpfs; exit code $code"
check "the run finished with problems (exit 1)" test "$code" -eq 1
check "the report names exactly the two copies that did not fit" python3 - "$work/report.json" "$target/" <<'PY'
import json, sys
report = json.load(open(sys.argv[1]))
target = sys.argv[2]
expected = ["Could not copy file: " + target + "1-big-overwrite",
            "Could not copy file: " + target + "2-big-add"]
ok = (report["problemLog"] == expected
      and report["overwrittenFiles"] == [target + "4-small-overwrite"]
      and report["addedFiles"] == [target + "3-small-add"]
      and report["addedFolders"] == [target + "5-folder"]
      and report["overwrittenFileCount"] == 1 and report["addedFileCount"] == 1
      and report["addedFolderCount"] == 1)
if not ok:
    print(json.dumps(report, indent=1))
sys.exit(0 if ok else 1)
PY
check "the old target file is intact" test "$(sha256sum <"$target/1-big-overwrite")" = "$old_sum"
check "the old target file keeps its time stamp" test "$(stat -c %Y "$target/1-big-overwrite")" -eq "$old"
check "no partial file under the added name" test ! -e "$target/2-big-add"
check "no temporary file left" test -z "$(find "$target" -name '.twinfol-*')"
check "nothing else in the target" test "$(cd "$target" && find . | sort | tr '\n' ' ')" = \
    ". ./1-big-overwrite ./3-small-add ./4-small-overwrite ./5-folder ./5-folder/inside "
check "the later small files were copied" same_file "$source/3-small-add" "$target/3-small-add"
check "the later small overwrite was done" same_file "$source/4-small-overwrite" "$target/4-small-overwrite"
check "the later folder was copied" same_file "$source/5-folder/inside" "$target/5-folder/inside"
used_kib=$(df -k --output=used "$target" | tail -n 1 | tr -d ' ')
check "no space is held by a lost partial copy (${used_kib} KiB used)" test "$used_kib" -lt 3400

if [ ${#failures[@]} -ne 0 ]; then
    echo "disk_full: ${#failures[@]} check(s) failed"
    exit 1
fi
echo "disk_full: all checks passed"
