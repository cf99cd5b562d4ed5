#!/usr/bin/env bash
# Export benchmark, for the x86_64 build and, when its libraries are
# installed, the i386 build:
# - rows: exportbat against PostgreSQL's own \copy of the same table and of
#   the very select exportbat sends, at 10^4, 10^5 and 10^6 records
#   (BENCH_SIZES), BENCH_RUNS times each (default 3), alternating the
#   three; the table shows the medians and the ratios' spread;
# - attachments: one attachment of 1.4 to 4 KB per record at 10^4 and 10^5
#   records (BENCH_ATTACH), without and with an index on (rvkey, col_id),
#   against one psql session running \lo_export for each of the same objects
#   into a folder; statements counted from the SQL log at the first size.
# - download: the list-page CSV download of the rows table at 10^5 records
#   (BENCH_DOWNLOAD), every column, no header row, through the test CGI
#   driver of the x86_64 build, next to exportbat on the same table.
#   BENCH_ATTACH=none leaves the attachments out.
# - large rows: BENCH_LARGE records (default 1000, none leaves them out) of
#   one text of about 1 MiB each (hex and Japanese), alone and after
#   BENCH_SKEW short records (default 2336, none leaves that table out),
#   there also with line breaks, BENCH_RUNS times per build against \copy of
#   the same select: time and peak resident memory.
# Peak resident memory of every exportbat run. Prints Markdown and writes it
# to bench/results.md. Other work on the machine makes the figures noisy.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
work=$top/build/bench
pgdir=$work/pg
# Written files go to memory when it can take them: the shared disk's
# delays would swamp what is measured. BENCH_OUT overrides.
out=${BENCH_OUT:-}
if [ -z "$out" ]; then
    out=$work/files
    [ -d /dev/shm ] && [ -w /dev/shm ] && out=/dev/shm/rvbench.$$
fi
sizes=${BENCH_SIZES:-"10000 100000 1000000"}
[ "$sizes" = none ] && sizes=""
attach=${BENCH_ATTACH:-"10000 100000"}
download=${BENCH_DOWNLOAD:-100000}
[ "$attach" = none ] && attach=""
large=${BENCH_LARGE:-1000}
[ "$large" = none ] && large=""
skew=${BENCH_SKEW:-2336}
[ "$skew" = none ] && skew=""
runs=${BENCH_RUNS:-3}
load_start=$(cut -d ' ' -f 1-3 /proc/loadavg)

for tool in psql bc /usr/bin/time cmake ninja; do
    command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
builds=${BENCH_BUILDS:-}
if [ -z "$builds" ]; then
    builds=x86_64
    if dpkg-query -W -f='${Status}\n' libpq5:i386 libssl-dev:i386 2>/dev/null | grep -c 'install ok installed' | grep -qx 2; then
        builds="x86_64 i386"
    fi
fi

cleanup() { scripts/pgtest.sh stop "$pgdir" >/dev/null 2>&1 || true; rm -rf "$out"; }
trap cleanup EXIT

rm -rf "$work" && mkdir -p "$work"
for b in $builds; do
    case $b in
        x86_64) args=() ;;
        i386) args=(-DCMAKE_TOOLCHAIN_FILE=cmake/i386.cmake) ;;
        *) echo "bench: unknown build $b" >&2; exit 1 ;;
    esac
    cmake -S . -B "build/bench-$b" -G Ninja -DCMAKE_BUILD_TYPE=Release "${args[@]}" >/dev/null
    targets=(exportbat)
    if [ "$b" = x86_64 ]; then targets+=(rvlistcsv); fi
    cmake --build "build/bench-$b" -j4 --target "${targets[@]}" >/dev/null
    mkdir -p "$work/prefix-$b/bin" "$work/prefix-$b/local/ja" "$work/prefix-$b/syslog"
    cp "build/bench-$b/export/exportbat" "$work/prefix-$b/bin/"
    cp local/ja/message local/ja/vikra "$work/prefix-$b/local/ja/"
done

scripts/pgtest.sh start "$pgdir" >/dev/null
export PGHOST=127.0.0.1 PGPORT PGPASSWORD=tolpa
PGPORT=$(cat "$pgdir/port")
q() { psql -q -X -v ON_ERROR_STOP=1 -U vikra -d vikra "$@"; }
q -f tests/sql/schema_tables.sql >/dev/null
q -f tests/sql/schema_listpages.sql >/dev/null

# Table 101: ten typical columns (text, number, date-time, select).
# Table 102: a text and a file column.
q <<'SQL' >/dev/null
INSERT INTO rv_tbl (tbl_id, status, seqno, tbl_lname, regist_date) VALUES (101, '1', 1, 'bench', now()), (102, '1', 2, 'benchfiles', now()),
  (103, '1', 3, 'benchlarge', now());
INSERT INTO rv_tbl_col (tbl_id, col_id, col_type, col_lname, seqno, rel_col_type) VALUES
  (103, -1, 'key', 'キー', 0, 'key'), (103, 1, 'texts', '本文', 10, 'texts');
CREATE TABLE tbl00103 (rvkey numeric(9) PRIMARY KEY, col00001 text);
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

mkdir -p "$work/root/rvdata" "$work/run"
app="dbs=127.0.0.1
dbname=vikra
dbuser=vikra
dbpwd=tolpa"
printf '%s\n' "$app" > "$work/root/rvdata/app"

# The download: an administrator's session with the state a list page
# starts from (saved by the driver), every column, no header row.
cgi=$top/build/bench-x86_64/tests/cgi/rvlistcsv.cgi
sid=BENCHSESSION0000000001
mkdir -p "$work/root/rvsession/${sid:6:2}${sid:8:2}/${sid:12}" "$work/root/rvdata/tmp"
printf 'uid=1\nadmin=1\n' > "$work/root/rvsession/${sid:6:2}${sid:8:2}/${sid:12}/session"
dlquery="wid=bench&tid=101$(printf '&cid=%s' -1 -2 -3 -4 -5 1 2 3 4 5 6 7 8 9 10)"
cgirun() {
    env REQUEST_METHOD=GET QUERY_STRING="$dlquery" HTTP_COOKIE="rvsid=$sid" \
        RV_TEST_ROOT="$work/root" "$@"
}
download_line=
if [ -x "$cgi" ]; then
    cgirun "$cgi" --save-state
fi

now() { date +%s.%N; }
# Removing many files costs the disk for a while after rm returns (the
# file system discards the freed blocks): finish that before timing.
fresh() { rm -rf "$1" && sync && mkdir -p "$1"; }
calc() { echo "$1" | bc -l; }
# Runs exportbat of build $1 for table name $2 into directory $3; sets
# secs and rss (MiB).
export_run() {
    fresh "$3"
    local t0 t1
    t0=$(now)
    /usr/bin/time -f '%M' -o "$work/rss" "$work/prefix-$1/bin/exportbat" -h "$work/root" -s "$work/run" \
        -l "$work/run" -files "$3/" -range assign -dbname "$2" >/dev/null
    t1=$(now)
    secs=$(calc "$t1 - $t0")
    rss=$(( $(tail -n 1 "$work/rss") / 1024 ))
}

# ---- rows -------------------------------------------------------------------
cols="rvkey, col00001, col00002, col00003, col00004, col00005, col00006, col00007, col00008, col00009, col00010, regist_uname, regist_date, update_uname, update_date"
# exportbat's own statement asks the server for the dates as
# TO_CHAR(..., 'YYYYMMDDHH24MISS') within a check of the year's range, which
# costs the server far more than the plain columns: \copy of that same
# select is shown too, so the client's share can be told apart from the
# server's; \copy of the select with TO_CHAR alone shows what the range
# check costs.
tochar() { echo "TO_CHAR($1 ,'YYYYMMDDHH24MISS')"; }
stamp() { echo "CASE WHEN $1>='0001-01-01' AND $1<'10000-01-01' THEN $(tochar "$1") WHEN $1 IS NOT NULL THEN '!'||$1 END"; }
selectof() {  # date-time expression maker
    echo "select rvkey, col00001, col00002, col00003, col00004, col00005, col00006, $($1 col00007), $($1 col00008), col00009, col00010, regist_uname, $($1 regist_date), update_uname, $($1 update_date) from tbl00101 order by rvkey"
}
samesel=$(selectof stamp)
plainsel=$(selectof tochar)
range_line=""
rows="| build | records | exportbat (s) | \\copy (s) | ratio | \\copy of the same select (s) | ratio to it | ratio to it, lowest to highest run | exportbat peak RSS (MiB) |
|---|---:|---:|---:|---:|---:|---:|---|---:|"
# Median of the numbers given.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
for n in $sizes; do
    q -c "TRUNCATE tbl00101" -c "INSERT INTO tbl00101 SELECT g, '山田 太郎', timestamp '2024-01-01' + g * interval '1 minute', NULL, NULL,
        '顧客' || g, '東京都千代田区' || g || '番地', CASE WHEN g % 3 = 0 THEN E'備考\n' || g ELSE NULL END,
        g * 1.5, g % 100, 123.45678, timestamp '2024-01-01' + g * interval '1 second',
        timestamp '2025-01-01' + g * interval '1 hour', CASE WHEN g % 2 = 0 THEN '一般' ELSE '特別' END, '完了'
        FROM generate_series(1, $n) g" -c "VACUUM ANALYZE tbl00101" >/dev/null
    for b in $builds; do
        es=(); cs=(); ss=(); ps=(); rs=(); maxrss=0
        for ((r = 0; r < runs; r++)); do
            export_run "$b" bench "$out/rows"
            lines=$(( $(wc -l < "$out/rows/tbl00101/data.csv") ))
            [ "$lines" -ge "$n" ] || { echo "bench: data.csv has $lines lines for $n records" >&2; exit 1; }
            t1=$(now)
            q -c "\\copy (select $cols from tbl00101 order by rvkey) to '$work/copy.csv' csv" >/dev/null
            t2=$(now)
            q -c "\\copy ($samesel) to '$work/copy.csv' csv" >/dev/null
            t3=$(now)
            q -c "\\copy ($plainsel) to '$work/copy.csv' csv" >/dev/null
            t4=$(now)
            es+=("$secs"); cs+=("$(calc "$t2 - $t1")"); ss+=("$(calc "$t3 - $t2")"); ps+=("$(calc "$t4 - $t3")")
            rs+=("$(calc "$secs / (${ss[-1]})")")
            if [ "$rss" -gt "$maxrss" ]; then maxrss=$rss; fi
        done
        e=$(median "${es[@]}"); c=$(median "${cs[@]}"); s=$(median "${ss[@]}")
        lo=$(printf '%s\n' "${rs[@]}" | sort -g | head -n 1); hi=$(printf '%s\n' "${rs[@]}" | sort -g | tail -n 1)
        rows+=$'\n'"$(printf '| %s | %d | %.2f | %.2f | %.2f | %.2f | %.2f | %.2f to %.2f (%d runs) | %d |' "$b" "$n" "$e" "$c" \
            "$(calc "$e / $c")" "$s" "$(calc "$e / $s")" "$lo" "$hi" "$runs" "$maxrss")"
        if [ "$b" = x86_64 ]; then xsecs=$e; fi
        p=$(median "${ps[@]}")
        range_line=$(printf '\\copy of the same select at %d records without the range check of the date-times (TO_CHAR alone): %.2f s, with it %.2f s (medians of %d runs, last build).' \
            "$n" "$p" "$s" "$runs")
    done
    if [ "$n" = "$download" ] && [ -x "$cgi" ]; then
        t0=$(now)
        cgirun /usr/bin/time -f '%M' -o "$work/cgirss" "$cgi" > "$out/download.csv"
        t1=$(now)
        d=$(calc "$t1 - $t0")
        crss=$(( $(tail -n 1 "$work/cgirss") / 1024 ))
        lines=$(grep -c $'\r$' "$out/download.csv" || true)
        [ "$lines" -ge "$n" ] || { echo "bench: the download has $lines lines for $n records" >&2; exit 1; }
        [ "$crss" -lt 64 ] || { echo "bench: the download took $crss MiB" >&2; exit 1; }
        download_line=$(printf 'List-page CSV download of the same %d records (all 15 columns, no header row) through the test CGI driver, x86_64 build: %.2f s, exportbat %.2f s (ratio %.2f); driver peak RSS %d MiB.' \
            "$n" "$d" "$xsecs" "$(calc "$d / $xsecs")" "$crss")
    fi
done
q -c "TRUNCATE tbl00101" >/dev/null

# ---- large rows -------------------------------------------------------------
# Texts of hex and Japanese, about 1 MiB each, against \copy of the select
# exportbat sends for them, alternating; after the short records also with a
# line break after each Japanese part (the cells are then quoted).
bigsel='select a.rvkey as "a.rvkey",a.col00001 as "a.col00001" from tbl00103 as a   order by a.rvkey'
bigs="| build | short records first | records of 1 MiB | line breaks | bytes per large row | exportbat (s) | \\copy of the same select (s) | ratio | ratio, lowest to highest run | exportbat peak RSS (MiB), highest |
|---|---:|---:|---|---:|---:|---:|---:|---|---:|"
if [ -n "$large" ]; then
    for case in 0 ${skew:+$skew $skew+breaks}; do
        first=${case%+breaks}
        breaks=no
        if [ "$case" != "$first" ]; then
            breaks=yes
            q -c "UPDATE tbl00103 SET col00001 = replace(col00001, '、', E'、\n') WHERE rvkey > $first" \
              -c "VACUUM ANALYZE tbl00103" >/dev/null
        else
            q -c "TRUNCATE tbl00103" \
              -c "INSERT INTO tbl00103 SELECT g, '短い本文' || g FROM generate_series(1, $first) g" \
              -c "INSERT INTO tbl00103 SELECT $first + g, (SELECT string_agg(md5((g * 20000 + i)::text) || '日本語の本文、', '')
                    FROM generate_series(1, 19784) i) FROM generate_series(1, $large) g" \
              -c "VACUUM ANALYZE tbl00103" >/dev/null
        fi
        rowbytes=$(q -A -t -c "select max(octet_length(col00001)) from tbl00103")
        for b in $builds; do
            es=(); cs=(); rs=(); maxrss=0
            for ((r = 0; r < runs; r++)); do
                export_run "$b" benchlarge "$out/large"
                got=$(stat -c %s "$out/large/tbl00103/data.csv")
                [ "$got" -ge $(( large * rowbytes )) ] || { echo "bench: data.csv has $got bytes for $large large records" >&2; exit 1; }
                rm -rf "$out/large"
                t1=$(now)
                q -c "\\copy ($bigsel) to '$out/copy.csv' csv" >/dev/null
                t2=$(now)
                rm -f "$out/copy.csv"
                es+=("$secs"); cs+=("$(calc "$t2 - $t1")"); rs+=("$(calc "$secs / (${cs[-1]})")")
                if [ "$rss" -gt "$maxrss" ]; then maxrss=$rss; fi
            done
            e=$(median "${es[@]}"); c=$(median "${cs[@]}")
            lo=$(printf '%s\n' "${rs[@]}" | sort -g | head -n 1); hi=$(printf '%s\n' "${rs[@]}" | sort -g | tail -n 1)
            bigs+=$'\n'"$(printf '| %s | %d | %d | %s | %d | %.2f | %.2f | %.2f | %.2f to %.2f (%d runs) | %d |' "$b" "$first" "$large" \
                "$breaks" "$rowbytes" "$e" "$c" "$(calc "$e / $c")" "$lo" "$hi" "$runs" "$maxrss")"
        done
    done
    q -c "TRUNCATE tbl00103" >/dev/null
fi

# ---- attachments ------------------------------------------------------------
# The anchor: one psql session exporting each large object into a folder.
anchor_run() {
    fresh "$out/anchor"
    q -A -t -c "select '\\lo_export ' || lobfile || ' ''$out/anchor/' || content_id || '''' from tbl00102_lob order by content_id" \
        > "$work/anchor.psql"
    local t0 t1
    t0=$(now)
    q -f "$work/anchor.psql" >/dev/null
    t1=$(now)
    anchor=$(calc "$t1 - $t0")
    local got
    got=$(find "$out/anchor" -type f | wc -l)
    [ "$got" -eq "$1" ] || { echo "bench: the anchor wrote $got files for $1" >&2; exit 1; }
}
files_run() {  # build, records
    export_run "$1" benchfiles "$out/outfiles"
    local got
    got=$(find "$out/outfiles/tbl00102" -type f -name 'file*.txt' | wc -l)
    [ "$got" -eq "$2" ] || { echo "bench: exportbat wrote $got files for $2" >&2; exit 1; }
}
atts="| build | records | index on (rvkey, col_id) | exportbat (s) | per attachment (ms) | \\lo_export session (s) | ratio | exportbat peak RSS (MiB) |
|---|---:|---|---:|---:|---:|---:|---:|"
declare -A per
for n in $attach; do
    q -c "SELECT lo_unlink(lobfile) FROM tbl00102_lob" -c "TRUNCATE tbl00102, tbl00102_lob" \
      -c "DROP INDEX IF EXISTS tbl00102_lob_rvkey_col_id_idx" \
      -c "INSERT INTO tbl00102 SELECT g, NULL, NULL, NULL, NULL, '件名' || g, '1' FROM generate_series(1, $n) g" \
      -c "INSERT INTO tbl00102_lob SELECT g, 2, g, 'file' || g || '.txt', 1400 + g % 2700, 'text/plain', NULL, NULL,
            lo_from_bytea(0, convert_to(rpad('attachment ' || g || ' ', 1400 + g % 2700, 'abcdefgh'), 'UTF8'))
          FROM generate_series(1, $n) g" -c "VACUUM ANALYZE tbl00102, tbl00102_lob" >/dev/null
    anchor_run "$n"
    for idx in no yes; do
        if [ "$idx" = yes ]; then
            q -c "CREATE INDEX ON tbl00102_lob (rvkey, col_id)" -c "ANALYZE tbl00102_lob" >/dev/null
        fi
        for b in $builds; do
            files_run "$b" "$n"
            per[$b-$idx-$n]=$(calc "$secs * 1000 / $n")
            atts+=$'\n'"$(printf '| %s | %d | %s | %.2f | %.3f | %.2f | %.2f | %d |' "$b" "$n" "$idx" "$secs" \
                "${per[$b-$idx-$n]}" "$anchor" "$(calc "$secs / $anchor")" "$rss")"
        done
    done
done
flat=""
stmt_line=""
if [ -n "$attach" ]; then
first=${attach%% *}
last=${attach##* }
for b in $builds; do
    flat+="Time per attachment without the index, $b build: $(printf '%.3f' "${per[$b-no-$first]}") ms at $first records, $(printf '%.3f' "${per[$b-no-$last]}") ms at $last records ($(printf '%.2f' "$(calc "${per[$b-no-$last]} / ${per[$b-no-$first]}")") times)."$'\n'
done

# Statements, counted from the SQL log (one locked append per statement, so
# it is off in the timed runs), for the last size loaded.
printf '%s\nsqllogfname=%s\n' "$app" "$work/sql.log" > "$work/root/rvdata/app"
rm -f "$work/sql.log"
b=${builds%% *}
files_run "$b" "$last"
printf '%s\n' "$app" > "$work/root/rvdata/app"
stmts=$(grep -v -E ' - (Bind \$|\*{10}|SQLState|ErrorMsg|DB access:)' "$work/sql.log" | wc -l)
stmt_line=$(printf 'Statements sent for %d records with one attachment each: %d (%.4f per attachment); each attachment is also one large-object open, read and close.' \
    "$last" "$stmts" "$(calc "$stmts / $last")")
fi

note=""
case " $builds " in *" i386 "*) ;; *) note=$'\n'"The i386 build was not run: its libraries (libpq5:i386, libssl-dev:i386) are not installed."$'\n' ;; esac
# Where the kernel hands 32-bit programs to a user-mode emulator, the i386
# figures are the emulator's, not those of a native run.
case " $builds " in *" i386 "*)
    if [ "$(scripts/run32.sh --check 2>/dev/null)" = emulated ]; then
        note+=$'\n'"The i386 build ran under qemu-i386 user-mode emulation: its times and peak RSS are the emulator's, not those of a native run."$'\n'
    fi ;;
esac
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
load_end=$(cut -d ' ' -f 1-3 /proc/loadavg)
{
    echo "Export benchmark, $(date -u '+%Y-%m-%d %H:%M') UTC, machine: $(uname -m), ${cpu:-unknown CPU}, $(nproc) cores, $(( $(sed -n 's/^MemTotal:[[:space:]]*\([0-9]*\).*/\1/p' /proc/meminfo) / 1024 / 1024 )) GiB; builds: $builds; $runs runs per size and build; files written to $(df --output=fstype "$out" | tail -n 1)."
    echo "Load average (1, 5, 15 min) at the start: $load_start; at the end: $load_end (above 0 means other work shared the machine)."
    if [ -n "$sizes" ]; then
        echo
        echo "$rows"
    fi
    [ -z "$range_line" ] || { echo; echo "$range_line"; }
    [ -z "$download_line" ] || { echo; echo "$download_line"; }
    if [ -n "$large" ]; then
        echo
        echo "$bigs"
    fi
    if [ -n "$attach" ]; then
        echo
        echo "$atts"
        echo
        printf '%s' "$flat"
        echo
        echo "$stmt_line"
    fi
    printf '%s' "$note"
} | tee bench/results.md
