#!/usr/bin/env bash
# Demo: builds and installs both programs into demo/prefix, starts a private
# PostgreSQL server with a small sample application database, exports it
# with exportbat, then sends the export to a local test server with
# importbat. Everything stays on 127.0.0.1 and is stopped at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
demo=$top/demo
prefix=$demo/prefix
pgdir=$demo/pg
root=$demo/root
run=$demo/run
out=$demo/export

fake_pid=
cleanup() {
    [ -n "$fake_pid" ] && kill "$fake_pid" 2>/dev/null || true
    scripts/pgtest.sh stop "$pgdir" >/dev/null 2>&1 || true
}
trap cleanup EXIT

step() { printf '\n=== %s ===\n' "$*"; }

step "build and install into $prefix"
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DRV_TESTS=OFF >/dev/null
cmake --build build/demo -j "$(nproc)" >/dev/null
rm -rf "$prefix"
cmake --install build/demo --prefix "$prefix" >/dev/null
mkdir -p "$prefix/syslog"

step "private PostgreSQL server with the sample database"
scripts/pgtest.sh stop "$pgdir" >/dev/null 2>&1 || true
scripts/pgtest.sh start "$pgdir"
export PGHOST=127.0.0.1 PGPORT
PGPORT=$(cat "$pgdir/port")
for f in schema_tables.sql sample_tables.sql; do
    PGPASSWORD=tolpa psql -q -X -v ON_ERROR_STOP=1 -U vikra -d vikra -f "tests/sql/$f" >/dev/null
done
PGPASSWORD=tolpa psql -X -U vikra -d vikra -c "select tbl_id, tbl_lname, status, seqno from rv_tbl order by seqno"

step "settings file $root/rvdata/app"
rm -rf "$root" "$run" "$out"
mkdir -p "$root/rvdata" "$run" "$out"
printf 'dbs=127.0.0.1\ndbname=vikra\ndbuser=vikra\ndbpwd=tolpa\n' > "$root/rvdata/app"
cat "$root/rvdata/app"

step "exportbat -range running"
set +e
"$prefix/bin/exportbat" -h "$root" -s "$run" -l "$run" -files "$out/" -range running
echo "exit status: $?"
set -e
step "export.status"; cat "$run/export.status"
step "export.log"; cat "$run/export.log"
step "exported tree"; (cd "$out" && find . | sort)
for d in "$out"/tbl*/; do
    step "${d#$out/}setting.json"; cat "$d/setting.json"; echo
    step "${d#$out/}data.csv"; cat "$d/data.csv"
done

step "test server and importbat"
python3 tests/tools/fakeserver.py --portfile "$demo/fake.port" --record "$demo/fake.requests" \
    --lifetime 300 &
fake_pid=$!
for _ in $(seq 50); do [ -s "$demo/fake.port" ] && break; sleep 0.1; done
port=$(cat "$demo/fake.port")
printf 'url=http://127.0.0.1:%s/cgi-bin/tovrapinex.cgi\n' "$port" > "$demo/import.conf"
cat "$demo/import.conf"
set +e
"$prefix/bin/importbat" -conf "$demo/import.conf" -s "$run" -l "$run" -files "$out" -access_key demo-key
echo "exit status: $?"
set -e
step "import.status"; cat "$run/import.status"
step "import.log"; cat "$run/import.log"
step "files beside each table"; (cd "$out" && ls tbl*/import_* 2>/dev/null)
rm -f "$demo/fake.port"
