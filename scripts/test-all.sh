#!/usr/bin/env bash
# Configures, builds and tests the three builds: x86_64 release, x86_64 with
# AddressSanitizer + UndefinedBehaviorSanitizer, and 32-bit x86 (i386).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
jobs=$(nproc 2>/dev/null || echo 4)
builds=${RV_BUILDS:-"release asan i386"}
status=0

for b in $builds; do
    dir=build/$b
    case $b in
        release) args=(-DCMAKE_BUILD_TYPE=Release) ;;
        asan)    args=(-DCMAKE_BUILD_TYPE=Debug -DRV_SANITIZE=ON) ;;
        i386)    args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake) ;;
        *) echo "unknown build $b" >&2; exit 2 ;;
    esac
    echo "=== build $b ==="
    if [ "$b" = i386 ] && ! missing=$(scripts/deps.sh --check i386); then
        echo "build i386 cannot run: missing packages: $missing"
        echo "install them with scripts/deps.sh test (as root), or run the other two builds:"
        echo "  RV_BUILDS=\"release asan\" make test"
        status=1; continue
    fi
    if [ "$b" = i386 ]; then
        if ! scripts/run32.sh; then
            echo "build i386 cannot run: this machine runs no 32-bit programs"
            status=1; continue
        fi
        [ "$(scripts/run32.sh --check)" = native ] ||
            echo "i386: this kernel runs no 32-bit programs; the tests run under QEMU's user-mode emulator"
    fi
    if ! cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null; then
        echo "configure of $b failed"; status=1; continue
    fi
    if ! cmake --build "$dir" -j "$jobs"; then
        echo "build $b failed"; status=1; continue
    fi
    export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
    echo "=== tests $b ==="
    if ! (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 600) | tee "$dir/ctest.log"; then
        echo "tests of $b failed"; status=1
    fi
    # CTest counts a skipped test as passed; as root every test must run.
    if [ "$(id -u)" = 0 ]; then
        skipped=$(sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (Skipped)$/\1/p' "$dir/ctest.log")
        for t in $skipped; do
            echo "test $t of $b was skipped in a run as root"; status=1
        done
    fi
done
exit $status
