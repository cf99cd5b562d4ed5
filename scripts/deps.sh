#!/usr/bin/env bash
# Installs the Debian packages of the named groups (or single packages) that
# are missing. Run as root on Debian 12 (x86_64).
#
#   deps.sh [--check|--simulate] GROUP|PACKAGE...
#
#   demo  what `make demo` needs: compiler, build tools, libraries, PostgreSQL
#   test  what `make test` needs for the builds in RV_BUILDS
#         (default "release asan i386"); i386 adds the group i386
#   i386  the 32-bit build: multilib and the i386 libraries
#
# --check     only lists the missing packages (exit status 1 if any)
# --simulate  resolves as for an install but runs apt-get with -s; the
#             i386 packages are matched to the amd64 packages installed now
#
# A failing `apt-get update` (index files that could not be fetched) is
# retried and then ignored; only packages that cannot be had stop the set-up.
# Foreign-architecture packages (NAME:i386) are installed at the same version
# as their installed amd64 twins: where the architectures offer different
# versions, both are pinned to the highest version both offer, and installed
# packages that apt would have to remove for it are moved to a version that
# fits. Nothing is ever removed.
set -euo pipefail

declare -A group
group[demo]="cmake ninja-build g++ make libpq-dev libssl-dev nlohmann-json3-dev postgresql python3"
group[test]="@demo pkg-config googletest libgtest-dev libgmock-dev openssl bc time
             lighttpd chromium chromium-driver python3-selenium"
group[i386]="g++-multilib libpq5:i386 libssl-dev:i386"

update_tries=${RV_DEPS_UPDATE_TRIES:-3}
update_pause=${RV_DEPS_UPDATE_PAUSE:-5}
mode=install

say() { echo "deps: $*" >&2; }

# Expands groups (recursively, "@name" inside a group) into package names.
expand() {
    local a
    for a in "$@"; do
        a=${a#@}
        if [ -n "${group[$a]+x}" ]; then
            # shellcheck disable=SC2086
            expand ${group[$a]}
            if [ "$a" = test ] && [[ " ${RV_BUILDS:-release asan i386} " == *" i386 "* ]]; then
                expand i386
            fi
        else
            echo "$a"
        fi
    done
}

# apt-cache policy as lines "NAME INSTALLED CANDIDATE VERSION...", where the
# versions are those some repository offers. Unknown names print nothing.
policy() {
    [ $# -gt 0 ] || return 0
    LC_ALL=C apt-cache policy "$@" 2>/dev/null | awk '
        function flush() { if (name != "") print name, inst, cand, vers; name = "" }
        /^[^ ].*:$/ { flush(); name = substr($0, 1, length($0) - 1)
                      inst = "(none)"; cand = "(none)"; vers = ""; cur = ""; next }
        name == "" { next }
        /^  Installed: / { inst = $2; next }
        /^  Candidate: / { cand = $2; next }
        /^ \*\*\* / { cur = $2; seen = 0; next }
        /^     [^ ]/ { cur = $1; seen = 0; next }
        /^        [0-9-]+ / && / Packages$/ && cur != "" && !seen { vers = vers " " cur; seen = 1 }
        END { flush() }'
}

# Prints the packages among the arguments that are not installed.
missing_of() {
    local -A inst=()
    local n i c v
    while read -r n i c v; do inst[$n]=$i; done < <(policy "$@")
    for n in "$@"; do
        [ "${inst[$n]:-(none)}" != "(none)" ] || echo "$n"
    done
}

# Sorts Debian versions, highest first.
sort_desc() {
    local -a out=()
    local v i j t
    for v in "$@"; do
        out+=("$v")
        for ((i = ${#out[@]} - 1; i > 0; i--)); do
            j=$((i - 1))
            dpkg --compare-versions "${out[i]}" gt "${out[j]}" || break
            t=${out[i]}; out[i]=${out[j]}; out[j]=$t
        done
    done
    [ ${#out[@]} -eq 0 ] || printf '%s\n' "${out[@]}"
}

update_index() {
    local i
    for ((i = 1; i <= update_tries; i++)); do
        if apt-get update -q; then return 0; fi
        say "apt-get update failed (attempt $i of $update_tries)"
        [ "$i" -lt "$update_tries" ] && sleep "$update_pause"
    done
    say "going on with the package index as it is"
}

apt_install() {
    local -a opts=(-y -q --no-install-recommends --no-remove --allow-downgrades)
    [ "$mode" = simulate ] && opts+=(-s)
    DEBIAN_FRONTEND=noninteractive apt-get install "${opts[@]}" "$@"
}

# Names the packages that no configured source offers.
unavailable_of() {
    local -A cand=()
    local n i c v
    while read -r n i c v; do cand[$n]=$c; done < <(policy "$@")
    for n in "$@"; do
        [ "${cand[$n]:-(none)}" != "(none)" ] || echo "$n"
    done
}

# Sets pins (NAME=VERSION) that keep every foreign package of the closure of
# the arguments at the version of its installed native twin. Pairs that
# have no version in common go to nopair.
pins=()
nopair=()
pair_versions() {
    local -a closure
    mapfile -t closure < <(LC_ALL=C apt-cache depends --recurse --no-recommends \
        --no-suggests --no-conflicts --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null |
        grep -E "^[^ <].*:$farch\$" | sort -u)
    local -a natives=()
    local p
    for p in "${closure[@]}"; do natives+=("${p%:"$farch"}"); done
    local -A ni=() nc=() nv=() fc=() fv=()
    local n i c v
    while read -r n i c v; do
        if [[ $n == *:"$farch" ]]; then fc[${n%:"$farch"}]=$c; fv[${n%:"$farch"}]=$v
        else ni[$n]=$i; nc[$n]=$c; nv[$n]=$v; fi
    done < <(policy "${closure[@]}" "${natives[@]}")
    local b best w
    for b in "${natives[@]}"; do
        i=${ni[$b]:-(none)}
        [ "$i" != "(none)" ] || continue
        [ "$i" = "${fc[$b]:-}" ] && [ "$i" = "${nc[$b]:-}" ] && continue
        best=
        for v in ${fv[$b]:-}; do
            for w in $i ${nv[$b]:-}; do
                if [ "$v" = "$w" ] && { [ -z "$best" ] || dpkg --compare-versions "$v" gt "$best"; }; then
                    best=$v
                fi
            done
        done
        if [ -z "$best" ]; then
            nopair+=("$b:$farch (installed $b $i; $farch offers: ${fv[$b]:- none})")
        else
            pins+=("$b=$best" "$b:$farch=$best")
        fi
    done
}

simulate() {
    LC_ALL=C apt-get install -s -q --no-install-recommends --allow-downgrades "$@" 2>&1
}

removed_by() { awk '$1 == "Remv" { print $2 }' <<<"$1"; }

# Adds pins for installed packages that the pinned set would make apt
# remove: each is moved to the highest other version that stays installed.
keep_installed() {
    local out rc round x v i progress
    local -A pinned=()
    for ((round = 1; round <= 8; round++)); do
        rc=0; out=$(simulate "$@" "${pins[@]}") || rc=$?
        local -a removed
        mapfile -t removed < <(removed_by "$out")
        [ ${#removed[@]} -gt 0 ] || { [ $rc -eq 0 ] && return 0; break; }
        progress=
        for x in "${removed[@]}"; do
            [ -z "${pinned[$x]+x}" ] || continue
            local -a vers=()
            read -r _ i _ v < <(policy "$x") || continue
            # shellcheck disable=SC2086
            mapfile -t vers < <(sort_desc $v)
            for v in "${vers[@]}"; do
                [ "$v" != "$i" ] || continue
                local o r=0
                o=$(simulate "$@" "${pins[@]}" "$x=$v") || r=$?
                if [ $r -eq 0 ] && ! removed_by "$o" | grep -qxF "$x"; then
                    say "moving $x from $i to $v, so that it is not removed"
                    pins+=("$x=$v"); pinned[$x]=1; progress=1; break
                fi
            done
        done
        [ -n "$progress" ] || break
    done
    say "apt cannot install $* without removing packages or breaking dependencies:"
    grep -E '^(Remv| .* : |E: )' <<<"$out" >&2 || true
    return 1
}

# Packages named only as pins keep their "automatically installed" mark, or
# get it when they are new, so that they stay removable with their users.
pin_marks() {
    local -A wanted=() was=()
    local p n i
    for p in "$@"; do wanted[$p]=1; done
    local -a names=()
    for p in "${pins[@]}"; do
        n=${p%%=*}
        [ -n "${wanted[$n]+x}" ] || names+=("$n")
    done
    [ ${#names[@]} -gt 0 ] || return 0
    while read -r n i _; do was[$n]=$i; done < <(policy "${names[@]}")
    local auto
    auto=$(apt-mark showauto "${names[@]}" 2>/dev/null || true)
    for n in "${names[@]}"; do
        if [ "${was[$n]:-(none)}" = "(none)" ] || grep -qxF "$n" <<<"$auto"; then echo "$n"; fi
    done
}

install_native() {
    apt_install "$@" && return 0
    local -a gone
    mapfile -t gone < <(unavailable_of "$@")
    if [ ${#gone[@]} -gt 0 ]; then
        say "these packages cannot be had from the configured sources: ${gone[*]}"
    else
        say "apt could not install: $*"
    fi
    return 1
}

install_foreign() {
    local -a gone
    mapfile -t gone < <(unavailable_of "$@")
    if [ ${#gone[@]} -gt 0 ]; then
        say "these packages cannot be had from the configured sources: ${gone[*]}"
        return 1
    fi
    pair_versions "$@"
    if [ ${#nopair[@]} -gt 0 ]; then
        say "no version is offered for both architectures of:"
        printf '  %s\n' "${nopair[@]}" >&2
        return 1
    fi
    [ ${#pins[@]} -eq 0 ] || say "pinned to versions both architectures offer: ${pins[*]}"
    keep_installed "$@" || return 1
    local -a auto
    mapfile -t auto < <(pin_marks "$@")
    apt_install "$@" "${pins[@]}" || return 1
    if [ "$mode" = install ] && [ ${#auto[@]} -gt 0 ]; then
        apt-mark auto "${auto[@]}" >/dev/null
    fi
}

main() {
    case ${1:-} in
        --check) mode=check; shift ;;
        --simulate) mode=simulate; shift ;;
    esac
    [ $# -gt 0 ] || set -- test
    if [ "$(dpkg --print-architecture)" != amd64 ]; then
        say "this script expects an x86_64 (amd64) Debian host"
        exit 1
    fi
    farch=i386

    local -a want native=() foreign=()
    mapfile -t want < <(expand "$@" | awk '!seen[$0]++')
    local p
    for p in "${want[@]}"; do
        if [[ $p == *:* ]]; then foreign+=("$p"); else native+=("$p"); fi
    done
    local newarch=
    if [ ${#foreign[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx "$farch"; then
        [ "$mode" = simulate ] || newarch=yes
    fi
    local -a miss_native=() miss_foreign=()
    mapfile -t miss_native < <(missing_of "${native[@]}")
    if [ -n "$newarch" ]; then
        miss_foreign=("${foreign[@]}")
    else
        mapfile -t miss_foreign < <(missing_of "${foreign[@]}")
    fi
    local missing="${miss_native[*]} ${miss_foreign[*]}"
    [ -n "${missing// /}" ] || exit 0

    if [ "$mode" = check ]; then
        echo "$missing" | xargs
        exit 1
    fi
    if [ "$mode" = install ] && [ "$(id -u)" -ne 0 ]; then
        say "missing packages: $(echo "$missing" | xargs); run as root to install them"
        if [ ${#miss_foreign[@]} -gt 0 ]; then
            say "without the $farch packages, run the other two builds: RV_BUILDS=\"release asan\" make test"
        fi
        exit 1
    fi
    [ -z "$newarch" ] || dpkg --add-architecture "$farch"
    update_index
    if [ ${#miss_native[@]} -gt 0 ]; then
        install_native "${miss_native[@]}" || exit 1
    fi
    if [ ${#miss_foreign[@]} -gt 0 ]; then
        if ! install_foreign "${miss_foreign[@]}"; then
            say "the $farch packages ${miss_foreign[*]} cannot be installed, so the $farch build"
            say "cannot run here. To run the other two builds: RV_BUILDS=\"release asan\" make test"
            exit 1
        fi
    fi
    if [ "$mode" = install ]; then
        mapfile -t want < <(missing_of "${want[@]}")
        if [ ${#want[@]} -gt 0 ]; then
            say "still missing after the install: ${want[*]}"
            exit 1
        fi
    fi
}

main "$@"
