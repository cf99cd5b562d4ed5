#!/bin/bash
# Private PostgreSQL server for the tests.
#
#   pgtest.sh start DIR [MAX_CONNECTIONS [RESERVED]]
#   pgtest.sh stop DIR
#
# start: initdb into DIR/data (as an unprivileged user when run as root),
# listen on a free port of 127.0.0.1 only, start the server, create the
# application's role and database (vikra / vikra, password tolpa) and write
# the port into DIR/port. The server runs in UTC. Superuser "postgres"
# connects without a password; every other role uses its password.
# stop: stop the server and remove DIR.
set -u

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
APP_ROLE=vikra
APP_DB=vikra
APP_PASSWORD=tolpa

die() { echo "pgtest: $*" >&2; exit 1; }

as_owner() {
    if [ "$(id -u)" = 0 ]; then
        (cd / && runuser -u nobody -- "$@")
    else
        "$@"
    fi
}

port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

stop_server() {
    local dir=$1
    [ -f "$dir/data/postmaster.pid" ] || return 0
    as_owner "$PGBIN/pg_ctl" -D "$dir/data" -w -t 30 -m fast stop >/dev/null 2>&1 && return 0
    local pid
    pid=$(head -n 1 "$dir/data/postmaster.pid" 2>/dev/null)
    case "$pid" in ''|*[!0-9]*) return 0 ;; esac
    kill -9 "$pid" 2>/dev/null
    return 0
}

start() {
    local dir=$1 maxconn=${2:-100} reserved=${3:-3}
    [ -x "$PGBIN/initdb" ] || die "no PostgreSQL binaries in $PGBIN"
    stop_server "$dir"
    rm -rf "$dir"
    mkdir -p "$dir" || die "cannot create $dir"
    dir=$(cd "$dir" && pwd)
    if [ "$(id -u)" = 0 ]; then
        chown nobody "$dir" || die "cannot hand $dir to nobody"
    fi
    as_owner "$PGBIN/initdb" -D "$dir/data" -U postgres -E UTF8 --locale=C \
        --auth=trust >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; die "initdb failed"; }

    cat >"$dir/pg_hba.conf.new" <<EOF
host all postgres 127.0.0.1/32 trust
host all all 127.0.0.1/32 scram-sha-256
EOF
    as_owner cp "$dir/pg_hba.conf.new" "$dir/data/pg_hba.conf" || die "cannot write pg_hba.conf"

    local try port=""
    for try in 1 2 3 4 5 6 7 8; do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        port_free "$port" || continue
        as_owner sh -c "cat >>'$dir/data/postgresql.conf'" <<EOF
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = ''
timezone = 'UTC'
log_timezone = 'UTC'
max_connections = $maxconn
superuser_reserved_connections = $reserved
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 16MB
EOF
        if as_owner "$PGBIN/pg_ctl" -D "$dir/data" -l "$dir/data/server.log" -w -t 30 start >/dev/null 2>&1; then
            break
        fi
        port=""
        stop_server "$dir"
    done
    [ -n "$port" ] || { cat "$dir/data/server.log" >&2 2>/dev/null; die "server did not start"; }

    "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres <<EOF >/dev/null || die "cannot create role and database"
CREATE ROLE $APP_ROLE LOGIN CREATEDB PASSWORD '$APP_PASSWORD';
CREATE DATABASE $APP_DB OWNER $APP_ROLE;
EOF
    echo "$port" >"$dir/port"
    echo "pgtest: server on 127.0.0.1:$port ($dir)"
}

stop() {
    local dir=$1
    [ -d "$dir" ] || return 0
    stop_server "$dir"
    rm -rf "$dir"
}

[ $# -ge 2 ] || die "usage: $0 start|stop DIR [MAX_CONNECTIONS [RESERVED]]"
cmd=$1
shift
case "$cmd" in
    start) start "$@" ;;
    stop) stop "$1" ;;
    *) die "unknown command $cmd" ;;
esac
