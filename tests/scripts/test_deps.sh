#!/usr/bin/env bash
# scripts/deps.sh against a local package archive whose amd64 and i386 sides
# offer different versions, with apt in simulation mode only.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
deps=$here/../../scripts/deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# name arch version multi-arch depends
repo='
libc6       amd64 2.0 same    -
libc6       i386  2.0 same    -
libbar1     amd64 1.1 same    libc6
libbar1     amd64 1.0 same    libc6
libbar1     i386  1.0 same    libc6
libbaz1     amd64 1.1 same    libc6
libbaz1     i386  1.1 same    libc6
libfoo1     amd64 3.0 same    libc6,libbar1,libbaz1
libfoo1     amd64 2.0 same    libc6,libbar1,libbaz1
libfoo1     amd64 1.0 same    libc6,libbar1,libbaz1
libfoo1     i386  2.0 same    libc6,libbar1,libbaz1
libfoo1     i386  1.0 same    libc6,libbar1,libbaz1
libfoo-dev  amd64 3.0 same    libfoo1(=3.0)
libfoo-dev  amd64 2.0 same    libfoo1(=2.0)
libfoo-dev  i386  2.0 same    libfoo1(=2.0)
foo-tool    amd64 3.0 foreign libfoo1(>=3.0)
foo-tool    amd64 2.0 foreign libfoo1(>=2.0)
foo-tool    amd64 1.0 foreign libfoo1(>=1.0)
foo-pinned  amd64 3.0 no      libfoo1(=3.0)
foo-user    amd64 1.0 no      foo-tool
libqux1     amd64 5.0 same    libc6
libqux1     i386  4.0 same    libc6
newtool     amd64 1.0 no      libc6
'
# installed: libfoo1 comes from a newer update than the i386 side offers,
# libbar1 is older than the amd64 candidate, libbaz1 older than both.
installed='
libc6       amd64 2.0 same    -
libbar1     amd64 1.0 same    libc6
libbaz1     amd64 1.0 same    libc6
libfoo1     amd64 3.0 same    libc6,libbar1,libbaz1
libfoo-dev  amd64 3.0 same    libfoo1(=3.0)
foo-tool    amd64 3.0 foreign libfoo1(>=3.0)
foo-user    amd64 1.0 no      foo-tool
libqux1     amd64 5.0 same    libc6
'

stanzas() {  # $1: "installed" for a dpkg status file
    local n a v m d
    while read -r n a v m d; do
        [ -n "$n" ] || continue
        printf 'Package: %s\nArchitecture: %s\nVersion: %s\nMulti-Arch: %s\n' "$n" "$a" "$v" "$m"
        printf 'Maintainer: t <t@example.org>\nDescription: t\n'
        [ "$d" = - ] || printf 'Depends: %s\n' "$(sed 's/(\([<>=]*\)/ (\1 /g; s/,/, /g' <<<"$d")"
        if [ "$1" = installed ]; then echo 'Status: install ok installed'
        else printf 'Filename: pool/%s_%s_%s.deb\nSize: 1\n' "$n" "$v" "$a"; fi
        echo
    done
}

# $1: extra installed lines; sets up a fresh apt root with an archive that
# one working and one missing source serve, so every index update fails.
setup() {
    local r=$work/root
    rm -rf "$r"
    mkdir -p "$r/etc/apt/apt.conf.d" "$r/etc/apt/preferences.d" "$r/etc/apt/sources.list.d" \
        "$r/var/lib/apt/lists/partial" "$r/var/cache/apt/archives/partial" "$r/var/lib/dpkg" "$r/repo"
    stanzas repo <<<"$repo" > "$r/repo/Packages"
    stanzas installed <<<"$installed$1" > "$r/var/lib/dpkg/status"
    printf 'deb [trusted=yes] file:%s/repo ./\ndeb [trusted=yes] file:%s/missing ./\n' "$r" "$r" \
        > "$r/etc/apt/sources.list"
    cat > "$work/apt.conf" <<CONF
Dir "$r/";
Dir::State::status "$r/var/lib/dpkg/status";
APT::Architecture "amd64";
APT::Architectures { "amd64"; "i386"; };
APT::Sandbox::User "root";
Debug::NoLocking "true";
CONF
}

fails=0
# name, extra installed lines, deps.sh arguments, expected exit status,
# then patterns: "+RE" must and "-RE" must not occur in the output.
check() {
    local name=$1 extra=$2 args=$3 want=$4 out rc=0 p
    shift 4
    setup "$extra"
    # shellcheck disable=SC2086
    out=$(APT_CONFIG=$work/apt.conf RV_DEPS_UPDATE_TRIES=2 RV_DEPS_UPDATE_PAUSE=0 \
          timeout 120 bash "$deps" $args 2>&1) || rc=$?
    local bad=
    [ "$rc" = "$want" ] || bad="exit status $rc, expected $want"
    for p in "$@"; do
        case $p in
            +*) grep -qE -- "${p#+}" <<<"$out" || bad="$bad; missing /${p#+}/" ;;
            -*) ! grep -qE -- "${p#-}" <<<"$out" || bad="$bad; unexpected /${p#-}/" ;;
        esac
    done
    if [ -n "$bad" ]; then
        echo "FAIL $name: $bad"; printf '    %s\n' "${out//$'\n'/$'\n    '}"; fails=$((fails + 1))
    else
        echo "ok   $name"
    fi
}

pins='pinned to versions both architectures offer:'
check "i386 twin pinned to the highest common version" "" "--simulate libfoo-dev:i386" 0 \
    "+apt-get update failed \(attempt 2 of 2\)" "+going on with the package index" \
    "+$pins.* libfoo1=2\.0 libfoo1:i386=2\.0" "+ libfoo-dev=2\.0 libfoo-dev:i386=2\.0" \
    "+ libbar1=1\.0 libbar1:i386=1\.0" "+ libbaz1=1\.1 libbaz1:i386=1\.1" \
    "+moving foo-tool from 3\.0 to 2\.0" "+^Inst foo-tool \[3\.0\] \(2\.0 " \
    "+^Inst libfoo-dev:i386 \(2\.0 " \
    "-libc6=" "-^Remv" "-libqux1"

check "package that would be removed stops the set-up" "
foo-pinned  amd64 3.0 no      libfoo1(=3.0)" "--simulate libfoo-dev:i386" 1 \
    "+Remv foo-pinned" "+i386 packages libfoo-dev:i386 cannot be installed" \
    "+RV_BUILDS=\"release asan\" make test" "-^Inst "

check "no version both architectures offer" "" "--simulate libqux1:i386" 1 \
    "+libqux1:i386 \(installed libqux1 5\.0; i386 offers: 4\.0\)" \
    "+RV_BUILDS=\"release asan\" make test" "-^Inst "

check "unknown packages are named" "" "--simulate newtool nosuch-dev nosuch:i386" 1 \
    "+cannot be had from the configured sources: nosuch-dev" "-^Inst nosuch"

check "native packages install at their candidates" "" "--simulate newtool foo-tool" 0 \
    "+^Inst newtool " "-$pins" "-^Inst foo-tool"

check "check lists what is missing" "" "--check newtool libfoo1 libfoo1:i386" 1 \
    "+^newtool libfoo1:i386$" "-apt-get update"

check "nothing to do" "" "--check libfoo1 libfoo-dev" 0 "-."

[ "$fails" -eq 0 ]
