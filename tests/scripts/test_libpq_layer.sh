#!/usr/bin/env bash
# Only db/ uses libpq: no product source outside it includes libpq's header
# or names its types, constants or calls. $1: the source root (default: this
# tree's).
set -uo pipefail
root=${1:-$(cd "$(dirname "$0")/../.." && pwd)}
pattern='libpq-fe\.h|libpq/|\bPG(conn|result|notify|cancel)\b|\bPQ[A-Za-z_]+|\bPG(RES|_DIAG)_[A-Z_]+|\b(Exec|Conn)StatusType\b|\bPGTransactionStatusType\b|\bInvalidOid\b|\blo_(import|export|open|close|read|write|creat|create|unlink|lseek64|lseek|tell64|tell|truncate64|truncate)\b'
found=$(cd "$root" && grep -rnE --include='*.c' --include='*.cc' --include='*.cpp' --include='*.h' \
        --include='*.hpp' -- "$pattern" MakeCommon maindbcgi export import)
rc=$?
if [ "$rc" -gt 1 ]; then
    echo "cannot search the sources below $root"
    exit 1
fi
if [ -n "$found" ]; then
    echo "libpq used outside db/:"
    printf '%s\n' "$found"
    exit 1
fi
echo "ok"
