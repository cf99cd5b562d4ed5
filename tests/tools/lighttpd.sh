#!/bin/bash
# Web server for the download tests: lighttpd with mod_cgi on a free port
# of 127.0.0.1, serving one CGI program.
#
#   lighttpd.sh start DIR CGI PGDIR
#   lighttpd.sh stop DIR
#
# start: writes DIR/lighttpd.conf (document root DIR/www holding CGI as
# rvlistcsv.cgi; the CGI gets RV_TEST_ROOT=DIR/root and the PostgreSQL port
# of the server in PGDIR), starts lighttpd in the foreground of a child,
# waits until the port answers and writes DIR/port and DIR/pid.
# stop: ends that process by its id and removes DIR.
set -u

die() { echo "lighttpd.sh: $*" >&2; exit 1; }

port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

stop() {
    local dir=$1 pid
    [ -f "$dir/pid" ] && pid=$(cat "$dir/pid") || pid=
    case "$pid" in
        ''|*[!0-9]*) ;;
        *)
            kill "$pid" 2>/dev/null
            for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
            kill -9 "$pid" 2>/dev/null
            ;;
    esac
    rm -rf "$dir"
}

start() {
    local dir=$1 cgi=$2 pgdir=$3 port= pgport
    command -v lighttpd >/dev/null || die "lighttpd is not installed"
    [ -x "$cgi" ] || die "no CGI program $cgi"
    pgport=$(cat "$pgdir/port" 2>/dev/null) || die "no PostgreSQL port in $pgdir"
    stop "$dir"
    mkdir -p "$dir/www" "$dir/root" || die "cannot create $dir"
    dir=$(cd "$dir" && pwd)
    cp "$cgi" "$dir/www/rvlistcsv.cgi" || die "cannot copy $cgi"
    for _ in $(seq 100); do
        local p=$((20000 + RANDOM % 20000))
        if port_free "$p"; then port=$p; break; fi
    done
    [ -n "$port" ] || die "no free port"
    cat >"$dir/lighttpd.conf" <<CONF
server.modules = ("mod_setenv", "mod_cgi")
server.document-root = "$dir/www"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$dir/error.log"
cgi.assign = (".cgi" => "")
setenv.add-environment = ("PGPORT" => "$pgport", "RV_TEST_ROOT" => "$dir/root")
CONF
    lighttpd -D -f "$dir/lighttpd.conf" >"$dir/stdout.log" 2>&1 </dev/null &
    echo $! >"$dir/pid"
    for _ in $(seq 100); do
        if ! port_free "$port"; then echo "$port" >"$dir/port"; return 0; fi
        kill -0 "$(cat "$dir/pid")" 2>/dev/null || break
        sleep 0.1
    done
    cat "$dir/stdout.log" "$dir/error.log" >&2 2>/dev/null
    stop "$dir"
    die "lighttpd did not start"
}

case "${1:-}" in
    start) [ $# -eq 4 ] || die "usage: start DIR CGI PGDIR"; start "$2" "$3" "$4" ;;
    stop)  [ $# -eq 2 ] || die "usage: stop DIR"; stop "$2" ;;
    *) die "usage: lighttpd.sh start DIR CGI PGDIR | stop DIR" ;;
esac
