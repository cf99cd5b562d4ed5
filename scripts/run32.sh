#!/usr/bin/env bash
# Makes sure that 32-bit x86 programs run on this machine. Some kernels of
# x86_64 hosts do not run them; there, as root, the script installs QEMU's
# user-mode emulator and registers it for i386 ELF programs with the
# kernel's binfmt_misc, so that the i386 build's tests and programs run
# under it (slower, and with timings and memory figures of the emulator).
#
#   run32.sh           0 when 32-bit programs run (natively or emulated)
#   run32.sh --check   prints "native", "emulated" or "none"; no changes
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/rv-i386
emulator=/usr/bin/qemu-i386-static

say() { echo "run32: $*" >&2; }

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

# Builds a program that prints "32" when it runs.
printf '#include <stdio.h>\nint main(void){printf("%%d\\n",(int)(sizeof(void*)*8));return 0;}\n' >"$work/p.c"
if ! gcc -m32 -o "$work/p" "$work/p.c" 2>"$work/cc.log"; then
    say "cannot build a 32-bit program (is g++-multilib installed?):"
    cat "$work/cc.log" >&2
    [ "${1:-}" = --check ] && echo none
    exit 1
fi
runs() { [ "$("$work/p" 2>/dev/null)" = 32 ]; }

# An enabled binfmt_misc entry that runs i386 programs under QEMU.
emulated() {
    local f
    for f in "$binfmt"/*; do
        [ -f "$f" ] || continue
        grep -qx enabled "$f" 2>/dev/null && grep -q '^interpreter .*qemu-i386' "$f" 2>/dev/null && return 0
    done
    return 1
}

if [ "${1:-}" = --check ]; then
    if ! runs; then echo none
    elif emulated; then echo emulated
    else echo native; fi
    exit 0
fi
runs && exit 0

if [ "$(id -u)" -ne 0 ]; then
    say "this kernel does not run 32-bit programs; as root, $0 sets up QEMU's user-mode emulator for them"
    exit 1
fi
say "this kernel does not run 32-bit programs: setting up QEMU's user-mode emulator for them"
"$here/deps.sh" qemu-user-static || exit 1
if [ ! -e "$binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$binfmt" || { say "cannot mount $binfmt"; exit 1; }
fi
if [ -e "$entry" ]; then
    echo 1 >"$entry"
else
    # i386 ELF executables (class 32, little-endian, machine 3), any type
    # bit aside; F: the emulator is opened now, so it runs in any namespace.
    printf '%s' ':rv-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':F' \
        >"$binfmt/register" || { say "cannot register the emulator with binfmt_misc"; exit 1; }
fi
if ! runs; then
    say "32-bit programs still do not run"
    exit 1
fi
say "32-bit programs now run under $emulator"
