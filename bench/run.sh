#!/usr/bin/env bash
# Times twinfol-sync against rsync, cp -a and a bare find walk on synthetic trees and prints medians,
# ratios, peak memory and system-call counts. It prints figures; nothing here passes or fails.
#
#   bench/run.sh [--quick] [--rounds N] [--scratch DIR] [--tree small|large|both|trash]
#                [--memory-check] [--no-strace] [--strace-others] [--compare-with PATH]
#
#   --quick          small trees (5,000 files in 250 folders; 4 files of 16 MiB), 3 rounds
#   --rounds N       rounds per case (default 5 for many small files, 3 for few large ones)
#   --scratch DIR    where the trees go (default /tmp/twinfol-bench, or $TWINFOL_BENCH_DIR)
#   --tree T         only the "small" or the "large" tree, or only the Trash cases ("trash": 5,000
#                    target-only files deleted inside kept folders, and 5,000 files overwritten,
#                    each with and without --trash; 5 rounds, 3 with --quick), or only the ignore
#                    patterns' case ("patterns": a no-change re-run of the small tree with 200
#                    patterns that each match a few items at most, against the same without)
#   --memory-check   also copy and re-run a tree ten times larger with the same folder sizes
#                    (500,000 files; needs about 2.5 GB and a few minutes) and compare peak memory
#   --no-strace      skip the system-call counts
#   --strace-others  count the system calls of cp -a and rsync too (slow under strace)
#   --jobs N         run twinfol-sync with --jobs N (default: its own, one worker per core)
#   --compare-with P also time the twinfol-sync binary P (an earlier build, say) as "before", in
#                    the same rounds, on the copy and re-run cases, and count its system calls
#
# Two habits of these machines shape the script. Absolute times drift between runs, so the tools
# take turns round by round, the order rotating, and ratios are also given within each round. And
# creating many files shortly after deleting many is much slower, so nothing made by a round is
# deleted until every timing is done (old trees are renamed aside, never removed in between).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")

quick=0
rounds=""
scratch=${TWINFOL_BENCH_DIR:-/tmp/twinfol-bench}
trees="small large trash patterns"
memory_check=0
strace_mine=1
strace_others=0
compare_with=""
# The delete case empties the target from an empty source, which the runner refuses by default.
twinfol_args=(--allow-empty-source)
while [ $# -gt 0 ]; do
    case $1 in
    --quick) quick=1 ;;
    --rounds) rounds=$2; shift ;;
    --scratch) scratch=$2; shift ;;
    --tree) [ "$2" = both ] && trees="small large trash patterns" || trees=$2; shift ;;
    --memory-check) memory_check=1 ;;
    --no-strace) strace_mine=0 ;;
    --strace-others) strace_others=1 ;;
    --jobs) twinfol_args+=(--jobs "$2"); shift ;;
    --compare-with) compare_with=$(cd "$(dirname "$2")" && pwd)/$(basename "$2"); shift ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done

missing=()
for tool in rsync strace python3 cmake; do command -v $tool >/dev/null || missing+=("$tool"); done
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
    echo "run.sh needs: ${missing[*]} (apt-get install -y time rsync strace python3 cmake)" >&2
    exit 1
fi

if [ $quick = 1 ]; then
    small_files=5000 small_folders=250 large_files=4 large_mib=16 default_rounds=3
else
    small_files=50000 small_folders=2500 large_files=20 large_mib=50 default_rounds=5
fi

echo "== Building twinfol-sync (Release, -O2) in build-bench/"
cmake -S "$repo" -B "$repo/build-bench" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DTWINFOL_BUILD_GUI=OFF -DTWINFOL_BUILD_TESTS=OFF >/dev/null
cmake --build "$repo/build-bench" -j "$(nproc)" --target twinfol-sync >/dev/null
twinfol=$repo/build-bench/twinfol-sync
# The binary compared with takes part as one more tool, "before".
before=()
if [ -n "$compare_with" ]; then
    [ -x "$compare_with" ] || { echo "run.sh: $compare_with is not an executable" >&2; exit 2; }
    before=(before)
    echo "== Comparing with $compare_with (\"before\")"
fi

mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
results=$scratch/results.tsv
: >"$results"
trash=$scratch/trash
mkdir -p "$trash"
# twinfol-sync keeps its run journals, and with --trash moves what it deletes, to folders of the
# benchmark's own on the trees' file system, never to the home of whoever runs it.
export XDG_DATA_HOME=$scratch/xdg-data XDG_STATE_HOME=$scratch/xdg-state
# A work folder left by an interrupted run is moved aside now and deleted with the rest at the end.
for old in "$scratch"/work-*; do [ -e "$old" ] && mv "$old" "$trash/$(basename "$old").$$.$RANDOM"; done

# Runs one timed command: wall time around it, peak resident memory from /usr/bin/time.
timed() {
    local tree=$1 case=$2 round=$3 tool=$4
    shift 4
    local memory=$scratch/memory.txt start end
    # Every command starts with no dirty data waiting to be written, so that none pays for the
    # write-back of the one before it.
    sync
    start=$(date +%s.%N)
    /usr/bin/time -f %M -o "$memory" "$@" >/dev/null 2>"$scratch/last-stderr.txt" || {
        # twinfol-sync answers 1 when the run had problems; any other failure spoils the figure.
        local status=$?
        if { [ "$tool" != twinfol ] && [ "$tool" != before ] && [ "$tool" != trash ]; } || [ $status -ne 1 ]; then
            echo "run.sh: $tool failed ($status) in $case round $round:" >&2
            cat "$scratch/last-stderr.txt" >&2
            exit 1
        fi
    }
    end=$(date +%s.%N)
    echo "$tree $case $round $tool $(echo "$end - $start" | bc -l) $(tail -n 1 "$memory")" >>"$results"
}

# The tools in the order of one round: rotated each round so that none always goes first.
rotated() {
    local round=$1
    shift
    local tools=("$@") count=$# index
    for ((index = 0; index < count; index++)); do echo "${tools[(index + round) % count]}"; done
}

run_tool() {
    local tree=$1 case=$2 round=$3 tool=$4 source=$5 target=$6
    case $tool in
    twinfol) timed "$tree" "$case" "$round" twinfol "$twinfol" "${twinfol_args[@]}" --delete "$source" "$target" ;;
    before) timed "$tree" "$case" "$round" before "$compare_with" --delete "$source" "$target" ;;
    trash) timed "$tree" "$case" "$round" trash "$twinfol" "${twinfol_args[@]}" --delete --trash "$source" "$target" ;;
    patterns) timed "$tree" "$case" "$round" patterns "$twinfol" "${twinfol_args[@]}" --delete \
        --ignore-file "$scratch/patterns.ignore" "$source" "$target" ;;
    rsync) timed "$tree" "$case" "$round" rsync rsync -a --delete "$source/" "$target/" ;;
    cp) timed "$tree" "$case" "$round" cp cp -a "$source/." "$target/" ;;
    walk) timed "$tree" "$case" "$round" walk find "$source" "$target" -printf '%T@\n' ;;
    rm) timed "$tree" "$case" "$round" rm rm -rf "$target/tree" ;;
    esac
}

make_source() {
    local tree=$1 source=$2 kind sizes stamp
    if [ "$tree" = small ] || [ "$tree" = huge ] || [ "$tree" = five ]; then
        kind=small sizes="$3 $4"
    else
        kind=large sizes="$large_files $large_mib"
    fi
    stamp="$kind $sizes"
    if [ "$(cat "$source.made" 2>/dev/null)" != "$stamp" ]; then
        [ -e "$source" ] && mv "$source" "$trash/src.$$.$RANDOM"
        echo "   creating the source tree ($stamp)"
        # shellcheck disable=SC2086
        python3 "$here/make_tree.py" "$kind" "$source" $sizes
        echo "$stamp" >"$source.made"
    fi
    # The source is read once before timing, so every tool finds it in the page cache.
    find "$source" -type f -print0 | xargs -0 cat >/dev/null
}

count_syscalls() {
    local label=$1 divisor=$2
    shift 2
    strace -c -f -o "$scratch/strace.txt" "$@" >/dev/null 2>&1 || true
    local calls futex
    calls=$(awk '$NF == "total" { print $4 }' "$scratch/strace.txt")
    # Waits between threads are counted apart from the file-system calls.
    futex=$(awk '$NF == "futex" { print $4 }' "$scratch/strace.txt")
    futex=${futex:-0}
    printf '    %-44s %9d calls, %5.2f per file (%5.2f without %d futex waits and wakes)\n' "$label" "$calls" \
        "$(echo "$calls / $divisor" | bc -l)" "$(echo "($calls - $futex) / $divisor" | bc -l)" "$futex"
}

bench_tree() {
    local tree=$1 tree_rounds=$2 files=$3
    local source=$scratch/src-$tree work=$scratch/work-$tree round tool
    echo
    echo "== Tree \"$tree\""
    if [ "$tree" = small ]; then make_source small "$source" "$small_files" "$small_folders"
    else make_source large "$source"; fi
    echo "   $(find "$source" -type f | wc -l) files, $(find "$source" -mindepth 1 -type d | wc -l) folders," \
        "$(du -sm "$source" | cut -f1) MiB; $tree_rounds rounds per case"
    mkdir -p "$work"

    echo "   timing: initial copy"
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in $(rotated "$round" twinfol rsync cp "${before[@]}"); do
            mkdir "$work/copy-$tool-$round"
            run_tool "$tree" copy "$round" "$tool" "$source" "$work/copy-$tool-$round"
        done
    done

    # The trees for the delete case are set aside now, before anything is deleted: round copies
    # that the next cases do not use, and fresh copies where those are too few.
    local spare=() name
    for name in "$work"/copy-*; do
        case $name in */copy-twinfol-1 | */copy-rsync-1 | */copy-before-1) ;; *) spare+=("$name") ;; esac
    done
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in twinfol trash rsync rm; do
            mkdir -p "$work/delete-$tool-$round"
            if [ ${#spare[@]} -gt 0 ]; then
                mv "${spare[0]}" "$work/delete-$tool-$round/tree"
                spare=("${spare[@]:1}")
            else
                cp -a "$source" "$work/delete-$tool-$round/tree"
            fi
        done
    done
    mkdir -p "$work/empty"

    echo "   timing: re-run with nothing to do"
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in $(rotated "$round" twinfol rsync walk "${before[@]}"); do
            case $tool in
            rsync | before) target=$work/copy-$tool-1 ;;
            *) target=$work/copy-twinfol-1 ;;
            esac
            run_tool "$tree" noop "$round" "$tool" "$source" "$target"
        done
    done

    echo "   timing: re-run after 1 % newer source files and 1 % extra target files"
    for ((round = 1; round <= tree_rounds; round++)); do
        python3 "$here/make_tree.py" touch "$source" 1 "$round"
        for tool in twinfol rsync "${before[@]}"; do
            python3 "$here/make_tree.py" extra "$work/copy-$tool-1" 1 "round$round"
        done
        find "$source" -type f -print0 | xargs -0 cat >/dev/null
        for tool in $(rotated "$round" twinfol rsync "${before[@]}"); do
            run_tool "$tree" change "$round" "$tool" "$source" "$work/copy-$tool-1"
        done
    done

    echo "   timing: deleting a whole target-only tree (trash: twinfol-sync --trash)"
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in $(rotated "$round" twinfol trash rsync rm); do
            run_tool "$tree" delete "$round" "$tool" "$work/empty" "$work/delete-$tool-$round"
        done
    done

    if [ $strace_mine = 1 ] && [ "$tree" = small ]; then
        echo "   counting system calls (strace -c -f; $files files)"
        mkdir "$work/strace-twinfol"
        count_syscalls "twinfol-sync, initial copy" "$files" "$twinfol" "${twinfol_args[@]}" --delete "$source" "$work/strace-twinfol"
        count_syscalls "twinfol-sync, re-run with nothing to do" "$files" \
            "$twinfol" "${twinfol_args[@]}" --delete "$source" "$work/strace-twinfol"
        if [ -n "$compare_with" ]; then
            mkdir "$work/strace-before"
            count_syscalls "before, initial copy" "$files" "$compare_with" --delete "$source" "$work/strace-before"
            count_syscalls "before, re-run with nothing to do" "$files" \
                "$compare_with" --delete "$source" "$work/strace-before"
        fi
        if [ $strace_others = 1 ]; then
            mkdir "$work/strace-cp" "$work/strace-rsync"
            count_syscalls "cp -a, initial copy" "$files" cp -a "$source/." "$work/strace-cp/"
            count_syscalls "rsync -a --delete, initial copy" "$files" \
                rsync -a --delete "$source/" "$work/strace-rsync/"
            count_syscalls "rsync -a --delete, re-run with nothing to do" "$files" \
                rsync -a --delete "$source/" "$work/strace-rsync/"
            count_syscalls "find SRC TGT -printf, walk of both trees" "$files" \
                find "$source" "$work/strace-rsync" -printf '%T@\n'
        fi
    fi
    mv "$work" "$trash/work-$tree.$$"
}

# The Trash's own cost where it is paid per file: 5,000 target-only files deleted inside folders that
# stay, and 5,000 files overwritten, each by twinfol-sync with and without --trash. The trees are the
# quick small tree (5,000 files in 250 folders); every target is copied before the first timing.
bench_trash() {
    local tree_rounds=$1 source=$scratch/src-five work=$scratch/work-trash round tool job
    echo
    echo "== Trash cases: 5,000 files deleted inside kept folders, 5,000 overwritten"
    make_source five "$source" 5000 250
    # The delete job's source holds the folders only; the overwrite job's holds every file an hour
    # newer than the target's copy.
    if [ "$(cat "$source-newer.made" 2>/dev/null)" != "$(cat "$source.made")" ]; then
        for old in "$source-folders" "$source-newer"; do
            [ -e "$old" ] && mv "$old" "$trash/$(basename "$old").$$"
        done
        (cd "$source" && find . -type d -print0) | (cd "$(dirname "$source")" && mkdir -p "$source-folders" &&
            cd "$source-folders" && xargs -0 mkdir -p)
        cp -a "$source" "$source-newer"
        python3 "$here/make_tree.py" touch "$source-newer" 100 1
        cp "$source.made" "$source-newer.made"
    fi
    find "$source-newer" -type f -print0 | xargs -0 cat >/dev/null
    echo "   $tree_rounds rounds per case; making the targets"
    mkdir -p "$work"
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in twinfol trash; do
            for job in delete5k overwrite5k; do cp -a "$source" "$work/$job-$tool-$round"; done
        done
    done
    for job in delete5k overwrite5k; do
        echo "   timing: $job"
        local from=$source-folders
        [ $job = overwrite5k ] && from=$source-newer
        for ((round = 1; round <= tree_rounds; round++)); do
            for tool in $(rotated "$round" twinfol trash); do
                run_tool trash "$job" "$round" "$tool" "$from" "$work/$job-$tool-$round"
            done
        done
    done
    if [ $strace_mine = 1 ]; then
        echo "   counting system calls (strace -c -f; 5000 files)"
        for job in delete5k overwrite5k; do
            local from=$source-folders
            [ $job = overwrite5k ] && from=$source-newer
            cp -a "$source" "$work/strace-$job" && cp -a "$source" "$work/strace-$job-trash"
            count_syscalls "twinfol-sync, $job" 5000 "$twinfol" "${twinfol_args[@]}" --delete "$from" \
                "$work/strace-$job"
            count_syscalls "twinfol-sync --trash, $job" 5000 "$twinfol" "${twinfol_args[@]}" --delete \
                --trash "$from" "$work/strace-$job-trash"
        done
    fi
    mv "$work" "$trash/work-trash.$$"
}

# The ignore patterns' own cost: 200 patterns (120 names or "*.ext", 50 with "**" or an inner "/", 30
# negations), none matching more than a few items, on a no-change re-run of the small tree. The target
# is copied without patterns, so that both runs find nothing to do.
bench_patterns() {
    local tree_rounds=$1 source=$scratch/src-small work=$scratch/work-patterns round tool
    echo
    echo "== Ignore patterns: a no-change re-run with 200 patterns, against the same without"
    make_source small "$source" "$small_files" "$small_folders"
    python3 "$here/make_tree.py" patterns "$scratch/patterns.ignore"
    mkdir -p "$work/target"
    "$twinfol" -q "${twinfol_args[@]}" --delete "$source" "$work/target" >/dev/null
    echo "   $tree_rounds rounds; $(grep -vc "^#" "$scratch/patterns.ignore") patterns"
    for ((round = 1; round <= tree_rounds; round++)); do
        for tool in $(rotated "$round" twinfol patterns); do
            run_tool patterns noop200 "$round" "$tool" "$source" "$work/target"
        done
    done
    mv "$work" "$trash/work-patterns.$$"
}

# One copy and one re-run of a tree by twinfol-sync (and the binary compared with), for their peaks.
memory_runs() {
    local tree=$1 source=$2 work=$3 tool
    for tool in twinfol "${before[@]}"; do
        mkdir -p "$work/copy-$tool"
        run_tool "$tree" copy 1 "$tool" "$source" "$work/copy-$tool"
        run_tool "$tree" noop 1 "$tool" "$source" "$work/copy-$tool"
    done
}

memory_check() {
    local source=$scratch/src-huge work=$scratch/work-huge
    echo
    echo "== Memory check: ten times the small tree, same folder sizes"
    # Without the small tree's timings there is nothing to compare with: it is copied once here.
    if [[ " $trees " != *" small "* ]]; then
        make_source small "$scratch/src-small" "$small_files" "$small_folders"
        memory_runs small "$scratch/src-small" "$scratch/work-memory-small"
        mv "$scratch/work-memory-small" "$trash/work-memory-small.$$"
    fi
    make_source huge "$source" $((small_files * 10)) $((small_folders * 10))
    echo "   $(find "$source" -type f | wc -l) files, $(find "$source" -mindepth 1 -type d | wc -l) folders"
    memory_runs huge "$source" "$work"
    mv "$work" "$trash/work-huge.$$"
}

echo "== Scratch folder: $scratch (page cache warm: every source is read once before it is timed)"
for tree in $trees; do
    if [ "$tree" = small ]; then
        bench_tree small "${rounds:-$default_rounds}" "$small_files"
    elif [ "$tree" = trash ]; then
        bench_trash "${rounds:-$(( quick == 1 ? 3 : 5 ))}"
    elif [ "$tree" = patterns ]; then
        bench_patterns "${rounds:-$(( quick == 1 ? 5 : 9 ))}"
    else
        bench_tree large "${rounds:-$(( quick == 1 ? 3 : 3 ))}" "$large_files"
    fi
done
[ $memory_check = 1 ] && memory_check

echo
echo "== Results (wall time of each command, median over rounds; warm page cache; tools alternating"
echo "   round by round, the order rotated each round). Within five minutes of deleting many files, ext4"
echo "   skips the freed inodes when it allocates new ones, which slows every tool's copies alike: leave"
echo "   a few minutes between runs when absolute copy times matter."
for tree in $trees; do
    case $tree in trash) echo "Trash cases (5,000 files):" ;; patterns) echo "Ignore patterns (small tree):" ;; *) echo "Tree \"$tree\":" ;; esac
    python3 "$here/summarise.py" "$results" "$tree"
done
if [ $memory_check = 1 ]; then
    python3 - "$results" <<'PY'
import statistics, sys
peaks = {}
for line in open(sys.argv[1]):
    tree, case, _, tool, _, kib = line.split()
    if tool in ("twinfol", "before") and tree in ("small", "huge"):
        peaks.setdefault((tool, tree, case), []).append(int(kib))
print("Peak memory, small tree against ten times the small tree (target: under +20 %):")
for tool in ("twinfol", "before"):
    for case in ("copy", "noop"):
        if (tool, "small", case) in peaks and (tool, "huge", case) in peaks:
            small = statistics.median(peaks[(tool, "small", case)])
            huge = statistics.median(peaks[(tool, "huge", case)])
            print("  %-7s %-5s %7.1f MiB -> %7.1f MiB  (%+.1f %%)" % (tool, case, small / 1024, huge / 1024,
                                                                      100 * (huge - small) / small))
PY
fi

echo
echo "== Deleting the trees made by this run (the sources stay for the next run)"
[ -e "$XDG_DATA_HOME" ] && mv "$XDG_DATA_HOME" "$trash/xdg-data.$$"
[ -e "$XDG_STATE_HOME" ] && mv "$XDG_STATE_HOME" "$trash/xdg-state.$$"
rm -rf "$trash"
