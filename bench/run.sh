#!/usr/bin/env bash
# Export benchmark: exportbat against PostgreSQL's own \copy on the same
# table, at 10^4, 10^5 and 10^6 records (BENCH_SIZES overrides), plus a
# table with a file column and 10^4 records with one attachment each.
# At 10^5 records (BENCH_DOWNLOAD overrides) the list-page CSV download of
# the same table runs through the test CGI driver too.
# Prints a Markdown table and writes it to bench/results.md.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
work=$top/build/bench
prefix=$work/prefix
pgdir=$work/pg
sizes=${BENCH_SIZES:-"10000 100000 1000000"}
files=${BENCH_FILES:-10000}
download=${BENCH_DOWNLOAD:-100000}

cleanup() { scripts/pgtest.sh stop "$pgdir" >/dev/null 2>&1 || true; }
trap cleanup EXIT

scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release --target exportbat rvlistcsv >/dev/null
cgi=$top/build/release/tests/cgi/rvlistcsv.cgi
rm -rf "$work" && mkdir -p "$work"
cmake --install build/release --prefix "$prefix" >/dev/null
mkdir -p "$prefix/syslog"

scripts/pgtest.sh start "$pgdir" >/dev/null
export PGHOST=127.0.0.1 PGPORT PGPASSWORD=tolpa
PGPORT=$(cat "$pgdir/port")
q() { psql -q -X -v ON_ERROR_STOP=1 -U vikra -d vikra "$@"; }
q -f tests/sql/schema_tables.sql >/dev/null
q -f tests/sql/schema_listpages.sql >/dev/null

# Table 101: ten typical columns (text, number, date-time, select).
q <<'SQL' >/dev/null
INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) VALUES (101, '1', 1, 'bench', now()), (102, '1', 2, 'benchfiles', now());
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type)
SELECT t, c.id, c.typ, c.lname, c.seq, c.typ
FROM (VALUES (101), (102)) AS tt(t),
     (VALUES (-1, 'key', 'キー', 0), (-2, 'user', '登録者', 901), (-3, 'datetime', '登録日時', 902),
             (-4, 'user', '更新者', 903), (-5, 'datetime', '更新日時', 904)) AS c(id, typ, lname, seq);
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type, c_input_selects) VALUES
  (101, 1, 'text', '氏名', 10, 'text', NULL), (101, 2, 'text', '住所', 20, 'text', NULL),
  (101, 3, 'text', '備考', 30, 'text', NULL), (101, 4, 'number', '金額', 40, 'number', NULL),
  (101, 5, 'number', '数量', 50, 'number', NULL), (101, 6, 'number', '単価', 60, 'number', NULL),
  (101, 7, 'datetime', '受付日時', 70, 'datetime', NULL), (101, 8, 'datetime', '期限', 80, 'datetime', NULL),
  (101, 9, 'select', '区分', 90, 'select', E'\n一般\n特別\n'), (101, 10, 'select', '状態', 100, 'select', E'\n未着手\n完了\n'),
  (102, 1, 'text', '件名', 10, 'text', NULL), (102, 2, 'file', '添付', 20, 'file', NULL);
CREATE TABLE tbl00101 (rvkey numeric(9) PRIMARY KEY, regist_uname character varying(256),
  regist_date timestamp without time zone, update_uname character varying(256),
  update_date timestamp without time zone, col00001 text, col00002 text, col00003 text,
  col00004 numeric(20,5), col00005 numeric(20,5), col00006 numeric(20,5),
  col00007 timestamp without time zone, col00008 timestamp without time zone, col00009 text, col00010 text);
CREATE TABLE tbl00101_lob (content_id numeric(9) PRIMARY KEY, col_id numeric(9) NOT NULL,
  rvkey numeric(9) NOT NULL, file_name character varying(255), file_size numeric(9),
  mime_type character varying(64), img_width numeric(9), img_height numeric(9), lobfile oid);
CREATE TABLE tbl00102 (rvkey numeric(9) PRIMARY KEY, regist_uname character varying(256),
  regist_date timestamp without time zone, update_uname character varying(256),
  update_date timestamp without time zone, col00001 text, col00002 character(1));
CREATE TABLE tbl00102_lob (LIKE tbl00101_lob INCLUDING ALL);
INSERT INTO rvsys_user (id, name) VALUES (1, '管理者');
INSERT INTO rv_view (tbl_id, view_id, view_name, seqno, l_layout_id, i_layout_id, d_layout_id,
  rows_per_page, dispflg, defflg) VALUES (101, 1, '標準', 1, 1, -1, -1, 20, '1', '1');
SQL

cols="rvkey, col00001, col00002, col00003, col00004, col00005, col00006, col00007, col00008, col00009, col00010, regist_uname, regist_date, update_uname, update_date"
mkdir -p "$work/root/rvdata"
printf 'dbs=127.0.0.1\ndbname=vikra\ndbuser=vikra\ndbpwd=tolpa\n' > "$work/root/rvdata/app"

# The download: an administrator's session with the state a list page
# starts from (saved by the driver), every column, no header row.
sid=BENCHSESSION0000000001
mkdir -p "$work/root/rvsession/${sid:6:2}${sid:8:2}/${sid:12}" "$work/root/rvdata/tmp"
printf 'uid=1\nadmin=1\n' > "$work/root/rvsession/${sid:6:2}${sid:8:2}/${sid:12}/session"
dlquery="wid=bench&tid=101$(printf '&cid=%s' -1 -2 -3 -4 -5 1 2 3 4 5 6 7 8 9 10)"
cgirun() {
    env REQUEST_METHOD=GET QUERY_STRING="$dlquery" HTTP_COOKIE="rvsid=$sid" \
        RV_TEST_ROOT="$work/root" "$@"
}
cgirun "$cgi" --save-state
download_line=

now() { date +%s.%N; }
# exportbat's own statement asks the server for the dates as
# TO_CHAR(..., 'YYYYMMDDHH24MISS'), which costs the server far more than the
# plain columns: \copy of that same select is shown too, so the client's
# share can be told apart from the server's.
tochar() { echo "TO_CHAR($1 ,'YYYYMMDDHH24MISS')"; }
samesel="select rvkey, col00001, col00002, col00003, col00004, col00005, col00006, $(tochar col00007), $(tochar col00008), col00009, col00010, regist_uname, $(tochar regist_date), update_uname, $(tochar update_date) from tbl00101 order by rvkey"
results="| records | exportbat (s) | \\copy (s) | ratio | \\copy of the same select (s) | ratio to it | exportbat peak RSS (MiB) |
|---:|---:|---:|---:|---:|---:|---:|"
for n in $sizes; do
    q -c "TRUNCATE tbl00101" -c "INSERT INTO tbl00101 SELECT g, '山田 太郎', timestamp '2024-01-01' + g * interval '1 minute', NULL, NULL,
        '顧客' || g, '東京都千代田区' || g || '番地', CASE WHEN g % 3 = 0 THEN E'備考\n' || g ELSE NULL END,
        g * 1.5, g % 100, 123.45678, timestamp '2024-01-01' + g * interval '1 second',
        timestamp '2025-01-01' + g * interval '1 hour', CASE WHEN g % 2 = 0 THEN '一般' ELSE '特別' END, '完了'
        FROM generate_series(1, $n) g" -c "ANALYZE tbl00101" >/dev/null
    out=$work/out$n && rm -rf "$out" && mkdir -p "$out" "$work/run"
    t0=$(now)
    /usr/bin/time -f '%M' -o "$work/rss" "$prefix/bin/exportbat" -h "$work/root" -s "$work/run" -l "$work/run" \
        -files "$out/" -range assign -dbname bench >/dev/null
    t1=$(now)
    q -c "\\copy (select $cols from tbl00101 order by rvkey) to '$work/copy.csv' csv" >/dev/null
    t2=$(now)
    q -c "\\copy ($samesel) to '$work/copy.csv' csv" >/dev/null
    t3=$(now)
    e=$(echo "$t1 - $t0" | bc -l); c=$(echo "$t2 - $t1" | bc -l); s=$(echo "$t3 - $t2" | bc -l)
    rss=$(( $(cat "$work/rss") / 1024 ))
    results+=$'\n'"$(printf '| %d | %.2f | %.2f | %.2f | %.2f | %.2f | %d |' "$n" "$e" "$c" "$(echo "$e / $c" | bc -l)" "$s" "$(echo "$e / $s" | bc -l)" "$rss")"
    lines=$(( $(wc -l < "$out/tbl00101/data.csv") ))
    [ "$lines" -ge "$n" ] || { echo "bench: data.csv has $lines lines for $n records" >&2; exit 1; }
    if [ "$n" = "$download" ]; then
        t0=$(now)
        cgirun /usr/bin/time -f '%M' -o "$work/cgirss" "$cgi" > "$work/download.csv"
        t1=$(now)
        d=$(echo "$t1 - $t0" | bc -l)
        crss=$(( $(cat "$work/cgirss") / 1024 ))
        lines=$(( $(grep -c $'\r$' "$work/download.csv") ))
        [ "$lines" -ge "$n" ] || { echo "bench: the download has $lines lines for $n records" >&2; exit 1; }
        [ "$crss" -lt 64 ] || { echo "bench: the download took $crss MiB" >&2; exit 1; }
        download_line=$(printf 'List-page CSV download of the same %d records (all 15 columns, no header row) through the test CGI driver: %.2f s, exportbat %.2f s (ratio %.2f); driver peak RSS %d MiB.' \
            "$n" "$d" "$e" "$(echo "$d / $e" | bc -l)" "$crss")
    fi
done

# Attachments: one small file per record, statements counted from the SQL log.
q -c "INSERT INTO tbl00102 SELECT g, NULL, NULL, NULL, NULL, '件名' || g, '1' FROM generate_series(1, $files) g" \
  -c "INSERT INTO tbl00102_lob SELECT g, 2, g, 'file' || g || '.txt', 12, 'text/plain', NULL, NULL,
        lo_from_bytea(0, convert_to('attachment ' || g, 'UTF8')) FROM generate_series(1, $files) g" >/dev/null
# Each record's attachments are listed by record key and column: without an
# index on those the listing scans the attachment table once per record, so
# the run is timed without and then with one. The SQL log (one locked append
# per statement) is on only for a third run that counts the statements.
files_run() {
    out=$work/outfiles && rm -rf "$out" && mkdir -p "$out"
    t0=$(now)
    "$prefix/bin/exportbat" -h "$work/root" -s "$work/run" -l "$work/run" -files "$out/" -range assign -dbname benchfiles >/dev/null
    t1=$(now)
    exported=$(find "$out/tbl00102" -type f -name 'file*.txt' | wc -l)
    printf '%d records with one attachment each, %s: %.2f s, %d files written.' \
        "$files" "$1" "$(echo "$t1 - $t0" | bc -l)" "$exported"
}
files_plain=$(files_run "no index on (rvkey, col_id)")
q -c "CREATE INDEX ON tbl00102_lob (rvkey, col_id)" -c "ANALYZE tbl00102_lob" >/dev/null
files_indexed=$(files_run "index on (rvkey, col_id)")
printf 'sqllogfname=%s\n' "$work/sql.log" >> "$work/root/rvdata/app"
rm -f "$work/sql.log"
files_run counted >/dev/null
stmts=$(grep -v -E ' - (Bind \$|\*{10}|SQLState|ErrorMsg|DB access:)' "$work/sql.log" | wc -l)
files_stmts=$(printf 'Statements sent: %d (%.2f per record); each attachment is also one large-object export call (open, reads, close).' \
    "$stmts" "$(echo "$stmts / $files" | bc -l)")

{
    echo "Export benchmark, $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m) build."
    echo
    echo "$results"
    echo
    [ -z "$download_line" ] || { echo "$download_line"; echo; }
    echo "$files_plain"
    echo
    echo "$files_indexed"
    echo
    echo "$files_stmts"
} | tee bench/results.md
