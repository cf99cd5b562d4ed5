#!/usr/bin/env bash
# Upload benchmark: importbat's attachment uploads against curl (--http1.0,
# one process per file, the same multipart requests) and against a client
# that does almost nothing (bench/uploadsink.cpp blast: one write for the
# head, sendfile for the file), all to the same test server on loopback.
# Each round runs all three clients in turn; the server times every upload
# from the accepted connection to its last body byte.
# BENCH_UPLOAD_FILES, BENCH_UPLOAD_MIB and BENCH_UPLOAD_ROUNDS change the
# number of files, their size and the rounds (3, 16, 9).
# Prints a Markdown report and writes it to bench/results-upload.md.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)
work=$top/build/bench-upload
mod=$work/mod
nfiles=${BENCH_UPLOAD_FILES:-3}
mib=${BENCH_UPLOAD_MIB:-16}
rounds=${BENCH_UPLOAD_ROUNDS:-9}
build=${BENCH_BUILD_DIR:-build/release}

command -v curl >/dev/null || { echo "bench: curl is needed" >&2; exit 1; }

sinkpid=
cleanup() { [ -n "$sinkpid" ] && kill "$sinkpid" 2>/dev/null || true; }
trap cleanup EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j4 --target importbat >/dev/null
rm -rf "$work" && mkdir -p "$mod/bin" "$mod/local" "$mod/syslog"
cp "$build/import/importbat" "$mod/bin/"
cp -r local/ja "$mod/local/"
g++ -O2 -Wall -Wextra -pthread -o "$work/uploadsink" bench/uploadsink.cpp

# One table directory: setting.json, data.csv and the large attachments.
files=$work/files
tbl=$files/tbl00001
mkdir -p "$tbl/1/100/2"
printf '{"Name": "bench", "fields": {}}\n' > "$tbl/setting.json"
printf 'key,name\r\n1,bench\r\n' > "$tbl/data.csv"
for i in $(seq 1 "$nfiles"); do
    head -c $((mib * 1024 * 1024)) /dev/urandom > "$tbl/1/100/2/big$i.bin"
done
sync

log=$work/server.log
: > "$log"
"$work/uploadsink" serve "$work/port" "$log" 900 &
sinkpid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(cat "$work/port")
url=http://127.0.0.1:$port/app/tovrapinex.cgi
upurl=http://127.0.0.1:$port/app/mobrr.cgi/cdbasetcmdimportfileupload/
printf 'url=%s\nbasic_auth_userid=bu\nbasic_auth_password=bp\n' "$url" > "$work/import.conf"
mkdir -p "$work/status" "$work/log"

big=$((mib * 1024 * 1024))
# Marks the log line count before a phase; uploads() prints that phase's
# large uploads as "bytes microseconds" and checks every body arrived whole.
mark() { wc -l < "$log"; }
uploads() {
    tail -n +$(($1 + 1)) "$log" | awk -v big="$big" -v want="$nfiles" '
        $1 == "cdbasetcmdimportfileupload" && $2 >= big {
            if ($3 != $2) { print "short body: " $0 > "/dev/stderr"; exit 1 }
            print $2, $4; n++ }
        END { if (n != want) { print "uploads seen: " n > "/dev/stderr"; exit 1 } }'
}

rss_max=0
: > "$work/importbat.txt" ; : > "$work/curl.txt" ; : > "$work/blast.txt"
for r in $(seq 1 "$rounds"); do
    m=$(mark)
    /usr/bin/time -f '%M' -o "$work/rss" "$mod/bin/importbat" -conf "$work/import.conf" \
        -s "$work/status" -l "$work/log" -files "$files" -access_key AK-1 >/dev/null
    grep -qx 'status=0' "$work/status/import.status" || { echo "importbat failed" >&2; exit 1; }
    rss=$(cat "$work/rss"); [ "$rss" -gt "$rss_max" ] && rss_max=$rss
    uploads "$m" | sed "s/^/$r /" >> "$work/importbat.txt"

    m=$(mark)
    for i in $(seq 1 "$nfiles"); do
        curl -s -o /dev/null --http1.0 -u bu:bp -H 'Cookie: qelSid=s%2D1;' \
            -F cmd=cdbasetcmdimportfileupload -F tok9=1 -F "file_path=/1/100/2/big$i.bin" \
            -F "attach=@$tbl/1/100/2/big$i.bin;type=application/unknown" "$upurl"
    done
    uploads "$m" | sed "s/^/$r /" >> "$work/curl.txt"

    m=$(mark)
    for i in $(seq 1 "$nfiles"); do
        "$work/uploadsink" blast "$port" /app/mobrr.cgi/cdbasetcmdimportfileupload/ \
            "/1/100/2/big$i.bin" "$tbl/1/100/2/big$i.bin"
    done
    uploads "$m" | sed "s/^/$r /" >> "$work/blast.txt"
done

# Per client: the median, lowest and highest round throughput (MiB/s over
# the round's uploads), and the fastest, median and slowest single upload (ms).
med() { sort -g | awk '{ v[NR] = $1 } END { printf "%s %s %s", v[int((NR + 1) / 2)], v[1], v[NR] }'; }
stats() {
    read -r rm rlo rhi < <(awk '{ b[$1] += $2; t[$1] += $3 }
        END { for (r in b) printf "%.1f\n", b[r] / 1048576 / (t[r] / 1e6) }' "$1" | med)
    read -r um ulo uhi < <(awk '{ printf "%.1f\n", $3 / 1000 }' "$1" | med)
    printf '%.0f | %.0f | %.0f | %.1f | %.1f | %.1f' "$rm" "$rlo" "$rhi" "$ulo" "$um" "$uhi"
}
mi=$(stats "$work/importbat.txt" | cut -d' ' -f1)
mc=$(stats "$work/curl.txt" | cut -d' ' -f1)
mb=$(stats "$work/blast.txt" | cut -d' ' -f1)
{
    echo "Upload benchmark, $(date -u +%Y-%m-%d), $(nproc) cores, $(uname -m) build: $nfiles files of $mib MiB, $rounds rounds, loopback."
    echo
    echo "| client | MiB/s, median round | lowest round | highest round | fastest upload (ms) | median upload (ms) | slowest upload (ms) |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    echo "| importbat | $(stats "$work/importbat.txt") |"
    echo "| curl --http1.0, one process per file | $(stats "$work/curl.txt") |"
    echo "| minimal client (one write, sendfile) | $(stats "$work/blast.txt") |"
    echo
    printf 'importbat reaches %.0f %% of curl'"'"'s throughput; the minimal client reaches %.1f times curl'"'"'s. importbat peak RSS: %.1f MiB.\n' \
        "$(echo "100 * $mi / $mc" | bc -l)" "$(echo "$mb / $mc" | bc -l)" "$(echo "$rss_max / 1024" | bc -l)"
} | tee bench/results-upload.md
