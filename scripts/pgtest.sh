#!/bin/bash
# Private PostgreSQL server for the tests.
#
#   pgtest.sh start DIR [MAX_CONNECTIONS [RESERVED [MAX_LOCKS]]]
#   pgtest.sh stop DIR
#
# start: initdb, listen on a free port of 127.0.0.1 only, start the server,
# create the application's role and database (vikra / vikra, password tolpa)
# and write the port into DIR/port. MAX_LOCKS sets max_locks_per_transaction
# (default 64). The server runs in UTC. Superuser
# "postgres" connects without a password; every other role uses its password.
# The server's files lie in DIR/data. Run as root, the server runs as the
# unprivileged user nobody, which may not be able to enter DIR (a checkout in
# root's home): its files then lie in a fresh private folder made with
# mktemp -d (under TMPDIR, else /tmp) and owned by nobody; DIR/datadir
# names it.
# stop: stop the server and remove DIR and that folder.
set -u

PGBIN=${PGBIN:-/usr/lib/postgresql/15/bin}
APP_ROLE=vikra
APP_DB=vikra
APP_PASSWORD=tolpa
OWNER=nobody

die() { echo "pgtest: $*" >&2; exit 1; }

is_root() { [ "$(id -u)" = 0 ]; }

as_owner() {
    if is_root; then
        (cd / && runuser -u "$OWNER" -- "$@")
    else
        "$@"
    fi
}

# Appends stdin to a file of the data folder, as the folder's owner.
owner_append() {
    as_owner sh -c 'cat >>"$1"' sh "$1"
}

# The server's data folder for DIR: DIR/data, or the private folder that
# DIR/datadir names (only one that start made is taken).
data_dir() {
    local d
    if [ -f "$1/datadir" ]; then
        d=$(head -n 1 "$1/datadir")
        case "$d" in /*/rvpg.*/data) ;; *) return 1 ;; esac
        case "$d" in */../*|*/./*) return 1 ;; esac
        echo "$d"
    else
        echo "$1/data"
    fi
}

port_free() {
    ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

stop_server() {
    local data=$1
    [ -f "$data/postmaster.pid" ] || return 0
    as_owner "$PGBIN/pg_ctl" -D "$data" -w -t 30 -m fast stop >/dev/null 2>&1 && return 0
    local pid
    pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null)
    case "$pid" in ''|*[!0-9]*) return 0 ;; esac
    kill -9 "$pid" 2>/dev/null
    return 0
}

start() {
    local dir=$1 maxconn=${2:-100} reserved=${3:-3} maxlocks=${4:-64} data private
    [ -x "$PGBIN/initdb" ] || die "no PostgreSQL binaries in $PGBIN"
    stop "$dir"
    mkdir -p "$dir" || die "cannot create $dir"
    dir=$(cd "$dir" && pwd)
    data=$dir/data
    if is_root; then
        private=$(mktemp -d "${TMPDIR:-/tmp}/rvpg.XXXXXXXX") ||
            die "cannot create a private folder under ${TMPDIR:-/tmp}"
        data=$private/data
        echo "$data" >"$dir/datadir"
        chown "$OWNER" "$private" || die "cannot hand $private to $OWNER"
        as_owner test -w "$private" || {
            stop "$dir"
            die "user $OWNER cannot enter $private: set TMPDIR to a folder every user may enter, such as /tmp"
        }
    fi
    as_owner "$PGBIN/initdb" -D "$data" -U postgres -E UTF8 --locale=C \
        --auth=trust >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; die "initdb failed"; }

    as_owner sh -c 'cat >"$1"' sh "$data/pg_hba.conf" <<END || die "cannot write pg_hba.conf"
host all postgres 127.0.0.1/32 trust
host all all 127.0.0.1/32 scram-sha-256
END

    local try port=""
    for try in 1 2 3 4 5 6 7 8; do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        port_free "$port" || continue
        owner_append "$data/postgresql.conf" <<END
listen_addresses = '127.0.0.1'
port = $port
unix_socket_directories = ''
timezone = 'UTC'
log_timezone = 'UTC'
max_connections = $maxconn
superuser_reserved_connections = $reserved
max_locks_per_transaction = $maxlocks
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 16MB
END
        if as_owner "$PGBIN/pg_ctl" -D "$data" -l "$data/server.log" -w -t 30 start >/dev/null 2>&1; then
            break
        fi
        port=""
        stop_server "$data"
    done
    [ -n "$port" ] || { cat "$data/server.log" >&2 2>/dev/null; die "server did not start"; }

    "$PGBIN/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres -d postgres <<END >/dev/null || die "cannot create role and database"
CREATE ROLE $APP_ROLE LOGIN CREATEDB PASSWORD '$APP_PASSWORD';
CREATE DATABASE $APP_DB OWNER $APP_ROLE;
END
    echo "$port" >"$dir/port"
    echo "pgtest: server on 127.0.0.1:$port ($dir)"
}

stop() {
    local dir=$1 data
    [ -d "$dir" ] || return 0
    data=$(data_dir "$dir") || die "$dir/datadir does not name a folder of this script"
    stop_server "$data"
    [ "$data" = "$dir/data" ] || rm -rf "${data%/data}"
    rm -rf "$dir"
}

[ $# -ge 2 ] || die "usage: $0 start|stop DIR [MAX_CONNECTIONS [RESERVED [MAX_LOCKS]]]"
cmd=$1
shift
case "$cmd" in
    start) start "$@" ;;
    stop) stop "$1" ;;
    *) die "unknown command $cmd" ;;
esac
