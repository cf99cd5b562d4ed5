#!/usr/bin/env bash
# scripts/pgtest.sh start / stop with DIR below a folder only its owner may
# enter, in a path with a space: the server runs, and stop leaves nothing.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
pgtest=$here/../../scripts/pgtest.sh
work=$(mktemp -d)
parent="$work/closed parent"
dir=$parent/pg
trap '"$pgtest" stop "$dir" >/dev/null 2>&1; rm -rf "$work"' EXIT
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

mkdir -m 0700 "$parent"
"$pgtest" start "$dir" 4 1 >/dev/null || fail "start"
port=$(cat "$dir/port" 2>/dev/null)
[ "$(PGPASSWORD=tolpa psql -X -A -t -h 127.0.0.1 -p "${port:-0}" -U vikra -d vikra \
    -c 'show max_connections')" = 4 ] || fail "server on port '$port' does not answer"
if [ "$(id -u)" = 0 ]; then
    data=$(cat "$dir/datadir")
    private=${data%/data}
    [ "$(stat -c '%U %a' "$private")" = "nobody 700" ] || fail "$private is not private to nobody"
    case "$data" in "$work"/*) fail "server files inside the closed folder: $data" ;; esac
else
    data=$dir/data
    private=$data
    [ -d "$data" ] || fail "no $data"
fi
"$pgtest" stop "$dir" || fail "stop"
[ ! -e "$dir" ] || fail "stop left $dir"
[ ! -e "$private" ] || fail "stop left $private"
[ -z "$(ls -A "$parent")" ] || fail "stop left files in $parent"

# As root, a TMPDIR that nobody may enter fails at once with one line.
if [ "$(id -u)" = 0 ]; then
    err=$(TMPDIR=$parent "$pgtest" start "$dir" 2>&1 >/dev/null) && fail "start with closed TMPDIR succeeded"
    [ "$(wc -l <<<"$err")" = 1 ] && [[ $err == *"set TMPDIR"* ]] || fail "unclear error: $err"
    [ ! -e "$dir" ] && [ -z "$(ls -A "$parent")" ] || fail "failed start left files in $parent"
fi

[ "$fails" = 0 ] && echo "all pgtest.sh cases passed"
exit $((fails != 0))
