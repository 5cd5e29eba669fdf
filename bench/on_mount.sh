#!/usr/bin/env bash
# How soon an on-mount schedule's run has copied its file after the disk is mounted: an ext4 image with
# a fixed UUID, a profile scheduled on-mount into it, the watcher running, then ROUNDS mounts (each
# after the copy from the last one was removed and the image taken out). Prints each delay and the
# median, in seconds. Needs root (loop mounts); the runner is build/twinfol-sync unless TWINFOL_SYNC
# names another.
set -euo pipefail
rounds=${1:-5}
runner=${TWINFOL_SYNC:-$(cd "$(dirname "$0")/.." && pwd)/build/twinfol-sync}
if [ "$(id -u)" != 0 ]; then
    echo "on_mount.sh: needs root to mount an image" >&2
    exit 2
fi
work=$(mktemp -d)
watcher=
cleanup() {
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null || true
    mountpoint -q "$work/disk" && umount "$work/disk"
    rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
mkdir -p "$work/source" "$work/disk"
echo "the file a run copies" >"$work/source/notes.txt"
truncate -s 16M "$work/stick.img"
mkfs.ext4 -q -U 2f6b3c1e-8a9d-4e2f-9b7c-5d4a3e2f1b0c "$work/stick.img"
mount -o loop "$work/stick.img" "$work/disk"
mkdir "$work/disk/backup"
printf 'twin_fol_version=1.01\r\nlocation1=%s\r\nlocation2=%s\r\nadd_files=1\r\nconfirm_deletes=0\r\nauto_start=1\r\nexclusions=\r\nend_exclusions\r\n' \
    "$work/source/" "$work/disk/backup/" >"$work/stick.twp"
"$runner" --schedule on-mount "$work/stick.twp" >/dev/null
umount "$work/disk"
"$runner" --watch >"$work/watch.log" 2>&1 &
watcher=$!
until grep -q "Watching the mounts" "$work/watch.log" 2>/dev/null; do sleep 0.05; done

delays=()
for round in $(seq 1 "$rounds"); do
    started=$(date +%s.%N)
    mount -o loop "$work/stick.img" "$work/disk"
    until [ -s "$work/disk/backup/notes.txt" ]; do sleep 0.01; done
    ended=$(date +%s.%N)
    delays+=("$(awk -v a="$started" -v b="$ended" 'BEGIN { print b - a }')")
    echo "round $round: $(printf '%.3f' "${delays[-1]}") s from the mount to the copied file"
    # The run must have ended before its disk goes; the next round starts from an empty backup.
    until [ "$(grep -c 'ended with exit status' "$work/watch.log")" -ge "$round" ]; do sleep 0.05; done
    rm "$work/disk/backup/notes.txt"
    umount "$work/disk"
done
median=$(printf '%s\n' "${delays[@]}" | sort -n | sed -n "$(((rounds + 1) / 2))p")
echo "median: $(printf '%.3f' "$median") s (target: within 5 s of the mount)"
