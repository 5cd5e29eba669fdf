#!/usr/bin/env bash
# Builds Twinfol and opens it, or runs its tests. Installs what a fresh Debian 12 machine lacks.
#   ./dev.sh run      build and open Twinfol
#   ./dev.sh test     build and run every test
#   ./dev.sh sanitize build and run every test under AddressSanitizer + UndefinedBehaviorSanitizer
#   ./dev.sh tsan     build and run the core suite and the window's threaded tests under ThreadSanitizer
#   ./dev.sh fuzz     build the fuzz targets with clang and run each for a short, fixed time
#   ./dev.sh format   format every C++ file in place; ./dev.sh format-check only reports drift
#   ./dev.sh limits   check the size limits: files of 500 lines, functions of 60, no include with ..
#   ./dev.sh desktop-check  validate the menu entry and the AppStream file, alone and as installed
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake g++ make pkg-config qt6-base-dev libgtest-dev libqt6svg6 libblkid-dev libsystemd-dev libssh-dev)
# The tests that trace a run's system calls run it under strace, the ignore patterns are checked
# against git, and the schedules' unit names and units against systemd-escape and systemd-analyze;
# the notification tests start a private session bus. Without them those tests skip.
test_packages=(strace git dbus-daemon systemd)
# The tools the tests on real file systems mount their disks with; those tests run only as root. The
# network mounts are an rclone mount of a local folder and sshfs onto an sshd the tests start on the
# loopback interface (fuse3 stands in for fuse, which exfat-fuse and fusefat ask for).
mount_packages=(fuse3 exfat-fuse exfatprogs fusefat dosfstools e2fsprogs btrfs-progs xfsprogs rclone sshfs
    openssh-server)
jobs=$(nproc 2>/dev/null || echo 2)

ensure_packages() {
    local wanted=("$@") missing=()
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing ${missing[*]}"
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -qq
        apt-get install -y -qq --no-install-recommends "${missing[@]}"
    else
        echo "Twinfol needs these packages. Install them with:"
        echo "  sudo apt-get install -y ${missing[*]}"
        exit 1
    fi
}

# Only root can mount, so only root gets the mount tools; anyone else's mount tests skip.
ensure_mount_packages() {
    [ "$(id -u)" -eq 0 ] && ensure_packages "${mount_packages[@]}"
    return 0
}

build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" "$@" >/dev/null
    cmake --build "$dir" -j "$jobs"
}

# A run that found no test at all is a failure, never a pass.
run_tests() {
    local dir=$1
    shift
    (cd "$dir" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure --no-tests=error -j "$jobs" "$@")
}

cpp_files() {
    git ls-files -- '*.cpp' '*.h'
}

case "${1:-}" in
run)
    ensure_packages "${packages[@]}"
    build build -DTWINFOL_BUILD_TESTS=OFF
    exec ./build/twinfol "${@:2}"
    ;;
test)
    ensure_packages "${packages[@]}" "${test_packages[@]}"
    ensure_mount_packages
    # The test switch is given every time: "./dev.sh run" leaves the same cache with tests off.
    build build -DTWINFOL_WERROR=ON -DTWINFOL_BUILD_TESTS=ON
    run_tests build
    ;;
sanitize)
    ensure_packages "${packages[@]}" "${test_packages[@]}"
    ensure_mount_packages
    build build-asan -DTWINFOL_WERROR=ON -DTWINFOL_BUILD_TESTS=ON -DTWINFOL_SANITIZE=address,undefined -DCMAKE_BUILD_TYPE=Debug
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan
    ;;
tsan)
    ensure_packages "${packages[@]}"
    cmake -S . -B build-tsan -DTWINFOL_BUILD_TESTS=ON -DTWINFOL_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug >/dev/null
    cmake --build build-tsan -j "$jobs" --target twinfol_core_tests twinfol_gui_tests twinfol-sync
    # Debian's Qt is not built with ThreadSanitizer, so races inside it cannot be judged; the
    # suppressions name Qt's libraries only, never our code.
    # A copy every user can read: a test runs the runner as an ordinary user, who may not enter the
    # folder this clone lies in.
    suppressions=$(mktemp /tmp/twinfol-tsan-XXXXXX.supp)
    trap 'rm -f "$suppressions"' EXIT
    cp tests/tsan.supp "$suppressions"
    chmod 644 "$suppressions"
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$suppressions"
    # The whole core suite (engine, file-system layers, runner), then the window's tests that start
    # the engine thread or put questions to the window thread.
    if [ -n "${2:-}" ]; then
        run_tests build-tsan -R "$2"
    else
        run_tests build-tsan -E '^Gui\.'
        run_tests build-tsan -R '^Gui\..*(RunControl|MainDialog|ProfileCommands|Teardown)'
    fi
    ;;
fuzz)
    ensure_packages "${packages[@]}" clang libclang-rt-14-dev
    CXX=clang++ build build-fuzz -DTWINFOL_FUZZ=ON -DTWINFOL_BUILD_GUI=OFF -DTWINFOL_BUILD_TESTS=OFF
    seconds=${2:-60}
    for target in build-fuzz/fuzz/fuzz_*; do
        [ -x "$target" ] || continue
        corpus="build-fuzz/corpus-$(basename "$target")"
        mkdir -p "$corpus"
        echo "Fuzzing $(basename "$target") for ${seconds}s"
        # Each target has seeds of its own kind: profile files are no command lines.
        seeds="fuzz/seeds/$(basename "$target")"
        [ -d "$seeds" ] || seeds=fuzz/seeds
        "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 "$corpus" "$seeds" 2>&1 | tail -n 3
    done
    ;;
format)
    ensure_packages clang-format
    cpp_files | xargs clang-format -i
    ;;
limits)
    ensure_packages universal-ctags python3
    python3 tests/style/check_limits.py
    ;;
format-check)
    ensure_packages clang-format
    # Every C++ file as .clang-format has it; the drift is listed and fails the check.
    cpp_files | xargs clang-format --dry-run --Werror
    ;;
desktop-check)
    ensure_packages "${packages[@]}" appstream desktop-file-utils
    desktop-file-validate resources/twinfol.desktop
    appstreamcli validate --no-net resources/twinfol.metainfo.xml
    # The installed layout as a software centre reads it: the AppStream file beside the menu entry
    # it names, with the icon and the file type.
    cmake -S . -B build >/dev/null
    cmake --build build -j "$jobs" --target twinfol twinfol-sync
    staging=$(mktemp -d)
    trap 'rm -rf "$staging"' EXIT
    DESTDIR="$staging" cmake --install build --prefix /usr >/dev/null
    appstreamcli validate-tree --no-net "$staging/usr"
    ;;
*)
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
