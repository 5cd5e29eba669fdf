#!/usr/bin/env bash
# Crash safety of twinfol-sync: builds the runner when needed, then kills it with SIGKILL at random
# moments of a run over files of many sizes (several of 50 MB or more) and checks the trees after
# each kill. See crash_safety.py for the checks.
#   tests/reliability/crash_safety.sh [KILLS] [more options of crash_safety.py, e.g. --seed 7 or --trash]
# KILLS defaults to 50; CI runs a few, without and with --trash (every old file in place or in the
# Trash, whole), and with --target-fs exfat (the target on an exFAT image through exfat-fuse, as root).
# TWINFOL_SYNC names a runner to use instead of building one.
set -euo pipefail
cd "$(dirname "$0")/../.."
kills=${1:-50}
shift || true

if [ -z "${TWINFOL_SYNC:-}" ]; then
    cmake -S . -B build -DTWINFOL_WERROR=ON >/dev/null
    cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target twinfol-sync >/dev/null
    TWINFOL_SYNC=build/twinfol-sync
fi
if ! command -v python3 >/dev/null; then
    # A fresh Debian has no Python; as root the check installs it, like ./dev.sh does its packages.
    if [ "$(id -u)" -ne 0 ]; then
        echo "crash_safety: python3 is needed: sudo apt-get install -y python3" >&2
        exit 2
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq && apt-get install -y -qq --no-install-recommends python3 >/dev/null
fi
exec python3 tests/reliability/crash_safety.py "$TWINFOL_SYNC" --kills "$kills" "$@"
