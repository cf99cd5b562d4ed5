#!/usr/bin/env bash
# Only db/ uses libpq: no product source outside it includes a header of
# libpq's or names its types, constants or calls. $1: the source root
# (default: this tree's).
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
# Every header the libpq development package installs, with or without its
# folder (postgresql/, internal/, libpq/).
headers='libpq-fe|libpq-events|libpq-int|libpq-fs|fe-auth-sasl|pqcomm|pqexpbuffer|postgres_ext|postgres_fe|pg_config|pg_config_ext|pg_config_manual|pg_config_os|c|port'
include="#[[:space:]]*include[[:space:]]*[<\"](([^>\"]*/)?($headers)\\.h|(postgresql|internal|libpq)/[^>\"]*)[>\"]"
pattern="$include"'|libpq-fe\.h|libpq/|\bPG(conn|result|notify|cancel)\b|\bPGEvent[A-Za-z]*\b|\bPQ[A-Za-z_]+|\bPG(RES|_DIAG)_[A-Z_]+|\b(Exec|Conn)StatusType\b|\bPGTransactionStatusType\b|\bInvalidOid\b|\bINV_(READ|WRITE)\b|\blo_(import|export|open|close|read|write|creat|create|unlink|lseek64|lseek|tell64|tell|truncate64|truncate)\b'

# Prints the uses below $1; exit 2 when the search failed.
scan() {
    local found rc
    found=$(cd "$1" && grep -rnE --include='*.c' --include='*.cc' --include='*.cpp' --include='*.h' \
            --include='*.hpp' -- "$pattern" MakeCommon maindbcgi export import)
    rc=$?
    [ "$rc" -gt 1 ] && return 2
    printf '%s' "$found"
}

# The pattern knows every header: each one installed (and each one listed
# above) included from export/ is found.
plant=$(mktemp -d)
trap 'rm -rf "$plant"' EXIT
mkdir -p "$plant"/MakeCommon "$plant"/maindbcgi "$plant"/export "$plant"/import
{
    for h in ${headers//|/ }; do echo "$h.h"; done
    if command -v dpkg >/dev/null 2>&1; then
        dpkg -L libpq-dev 2>/dev/null | sed -n 's|^/usr/include/postgresql/\(.*\.h\)$|\1|p'
    fi
} | sort -u > "$plant/list"
while read -r h; do
    for line in "#include <$h>" "#include \"postgresql/$h\"" "#  include \"${h##*/}\""; do
        printf '%s\n' "$line" > "$plant/export/planted.cpp"
        if [ -z "$(scan "$plant")" ]; then
            echo "the check misses: $line"
            exit 1
        fi
    done
done < "$plant/list"

found=$(scan "$root")
if [ $? -ne 0 ]; then
    echo "cannot search the sources below $root"
    exit 1
fi
if [ -n "$found" ]; then
    echo "libpq used outside db/:"
    printf '%s\n' "$found"
    exit 1
fi
echo "ok"
