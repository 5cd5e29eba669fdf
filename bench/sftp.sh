#!/usr/bin/env bash
# Times twinfol-sync onto a server location (sftp://, its own SFTP client) against rsync -a over SSH,
# both to one SSH server on the loopback interface that the script starts itself with throw-away keys
# (root only: sshd needs it). The tree is the benchmark's small one, 5,000 files of 0-8 KiB in 250
# folders. Three cases: the initial copy into an empty folder, a re-run with nothing to do, and a
# re-run after 1 % of the files changed. Prints the medians of the rounds and the ratios
# twinfol/rsync, both of the medians and the median of each round's own ratio. It prints figures;
# nothing here passes or fails.
#
#   bench/sftp.sh [--rounds N] [--scratch DIR] [--binary PATH] [--jobs N] [--strace]
#
#   --rounds N     rounds per case (default 5); the two tools take turns, the order rotating
#   --scratch DIR  where the tree and the server's folder go (default /tmp/twinfol-sftp)
#   --binary PATH  the twinfol-sync to time (default: built with -O2 in build-bench/)
#   --jobs N       run twinfol-sync with --jobs N (default: its own choice)
#   --strace       also count twinfol-sync's system calls (strace -c -f) in one more copy and re-run
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")

rounds=5
scratch=/tmp/twinfol-sftp
binary=""
twinfol_args=()
count_calls=0
while [ $# -gt 0 ]; do
    case $1 in
    --rounds) rounds=$2; shift ;;
    --scratch) scratch=$2; shift ;;
    --binary) binary=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift ;;
    --jobs) twinfol_args+=(--jobs "$2"); shift ;;
    --strace) count_calls=1 ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "sftp.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

if [ "$(id -u)" -ne 0 ]; then
    echo "sftp.sh starts an sshd of its own: run it as root" >&2
    exit 1
fi
missing=()
for tool in rsync ssh-keygen python3 cmake; do command -v $tool >/dev/null || missing+=("$tool"); done
[ -x /usr/sbin/sshd ] || missing+=(openssh-server)
[ $count_calls = 0 ] || command -v strace >/dev/null || missing+=(strace)
if [ ${#missing[@]} -gt 0 ]; then
    echo "sftp.sh needs: ${missing[*]} (apt-get install -y rsync openssh-server python3 cmake strace)" >&2
    exit 1
fi

if [ -z "$binary" ]; then
    echo "== Building twinfol-sync (Release, -O2) in build-bench/"
    cmake -S "$repo" -B "$repo/build-bench" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DTWINFOL_BUILD_GUI=OFF -DTWINFOL_BUILD_TESTS=OFF >/dev/null
    cmake --build "$repo/build-bench" -j 2 --target twinfol-sync >/dev/null
    binary=$repo/build-bench/twinfol-sync
fi

rm -rf "$scratch"
mkdir -p "$scratch"/{keys,server,home/.ssh}
sshd_pid=""
cleanup() {
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
    rm -rf "$scratch"
}
trap cleanup EXIT

echo "== Starting sshd on the loopback interface"
keys=$scratch/keys
ssh-keygen -q -t ed25519 -N '' -f "$keys/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$keys/user_key"
cp "$keys/user_key.pub" "$keys/authorized_keys"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$keys/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $keys/host_key
AuthorizedKeysFile $keys/authorized_keys
PidFile none
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
Subsystem sftp internal-sftp
CONFIG
mkdir -p /run/sshd
/usr/sbin/sshd -D -e -f "$keys/sshd_config" 2>"$keys/sshd.log" &
sshd_pid=$!
for _ in $(seq 100); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
    sleep 0.1
done
user=$(id -un)
ssh_options=(-F /dev/null -p "$port" -i "$keys/user_key" -o StrictHostKeyChecking=no
    -o UserKnownHostsFile=/dev/null -o BatchMode=yes -o LogLevel=ERROR)
server=$scratch/server
# twinfol-sync checks the host key as ssh does: a home of the benchmark's own knows it.
echo "[127.0.0.1]:$port $(cat "$keys/host_key.pub")" >"$scratch/home/.ssh/known_hosts"
echo "   port $port; the server's folder is $server"

echo "== Making the small tree (5,000 files in 250 folders)"
python3 "$here/make_tree.py" small "$scratch/source" 5000 250

results=$scratch/results.txt
: >"$results"
# Runs one timed command and records its wall time as "case round tool seconds".
timed() {
    local case=$1 round=$2 tool=$3
    shift 3
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>"$scratch/last-stderr.txt" || {
        echo "   $tool failed in $case round $round:" >&2
        cat "$scratch/last-stderr.txt" >&2
        exit 1
    }
    end=$(date +%s.%N)
    echo "$case $round $tool $(python3 -c "print($end - $start)")" >>"$results"
}
# The runner wants its target folder to exist; rsync makes its own.
run_twinfol() {
    mkdir -p "$server/tw-$2"
    timed "$1" "$2" twinfol env HOME="$scratch/home" SSH_AUTH_SOCK= "$binary" -q --ssh-key "$keys/user_key" \
        "${twinfol_args[@]}" "$scratch/source/" "sftp://$user@127.0.0.1:$port$server/tw-$2/"
}
# Rewrites 1 % of the files (every hundredth, in name order) with new content and a new time.
change_one_percent() {
    find "$scratch/source" -type f | sort | awk 'NR % 100 == 0' | while read -r file; do
        printf 'changed in round %s\n' "$1" >>"$file"
    done
}
run_rsync() { timed "$1" "$2" rsync rsync -a -e "ssh ${ssh_options[*]}" "$scratch/source/" "$user@127.0.0.1:$server/rs-$2/"; }

for round in $(seq "$rounds"); do
    echo "== Round $round of $rounds"
    # The tools take turns, the first one changing each round.
    if [ $((round % 2)) = 1 ]; then order="twinfol rsync"; else order="rsync twinfol"; fi
    for tool in $order; do run_$tool copy "$round"; done
    for tool in $order; do run_$tool noop "$round"; done
    change_one_percent "$round"
    for tool in $order; do run_$tool change "$round"; done
done

python3 - "$results" <<'SUMMARY'
import statistics, sys
from collections import defaultdict
times = defaultdict(dict)
for line in open(sys.argv[1]):
    case, round_, tool, seconds = line.split()
    times[case, tool][int(round_)] = float(seconds)
targets = {"copy": 0.8, "noop": 0.5, "change": 0.6}
names = {"copy": "initial copy of 5,000 small files", "noop": "re-run with nothing to do",
         "change": "re-run after 1 % of the files changed"}
for case in ("copy", "noop", "change"):
    mine, other = times[case, "twinfol"], times[case, "rsync"]
    m, o = statistics.median(mine.values()), statistics.median(other.values())
    per_round = statistics.median(mine[r] / other[r] for r in mine if r in other)
    print(f"{names[case]}:")
    print(f"  twinfol-sync over SFTP   median {m:7.3f} s   rounds: " + " ".join(f"{mine[r]:.3f}" for r in sorted(mine)))
    print(f"  rsync -a over SSH        median {o:7.3f} s   rounds: " + " ".join(f"{other[r]:.3f}" for r in sorted(other)))
    print(f"  ratio of medians {m / o:.2f}, median of round ratios {per_round:.2f} (target at most {targets[case]})")
SUMMARY

if [ $count_calls = 1 ]; then
    echo "== System calls of twinfol-sync (strace -c -f): initial copy, then re-run"
    mkdir -p "$server/strace"
    for pass in copy noop; do
        env HOME="$scratch/home" SSH_AUTH_SOCK= strace -c -f -o "$scratch/strace-$pass.txt" "$binary" -q \
            --ssh-key "$keys/user_key" "${twinfol_args[@]}" "$scratch/source/" "sftp://$user@127.0.0.1:$port$server/strace/"
        head -n 25 "$scratch/strace-$pass.txt"
    done
fi
