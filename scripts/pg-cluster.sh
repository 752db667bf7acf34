#!/bin/bash
# A throwaway PostgreSQL cluster for the tests: its own folder, a free local port, a socket
# folder of its own, trust for local connections only (nothing listens on the network).
#
#   scripts/pg-cluster.sh start DIR   # prints the connection string of its "postgres" database
#   scripts/pg-cluster.sh restart DIR # a fast stop (connections end) and a start on the same port
#   scripts/pg-cluster.sh stop DIR    # stops it and removes DIR
#
# Run as root, the server runs as the "postgres" user (initdb refuses root).
set -euo pipefail

cmd=${1:-}
dir=${2:-}
[[ -n "$cmd" && -n "$dir" ]] || { echo "usage: $0 start|restart|stop DIR" >&2; exit 2; }

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)
[[ -x "$bindir/initdb" ]] || { echo "PostgreSQL server binaries not found (apt-get install postgresql)" >&2; exit 3; }

as_owner() {
    if [[ $(id -u) -eq 0 ]]; then
        runuser -u postgres -- "$@"
    else
        "$@"
    fi
}

free_port() {
    python3 - <<'PY' 2>/dev/null || echo $((20000 + RANDOM % 20000))
import socket
s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()
PY
}

case "$cmd" in
start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    [[ $(id -u) -eq 0 ]] && chown postgres "$dir"
    as_owner "$bindir/initdb" -D "$dir/data" -U postgres -A trust -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
        || { cat "$dir/initdb.log" >&2; exit 1; }
    port=$(free_port)
    mkdir -p "$dir/sock"
    [[ $(id -u) -eq 0 ]] && chown postgres "$dir/sock"
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-p $port -k $dir/sock -c listen_addresses='' -c fsync=off -c max_connections=100" start >/dev/null \
        || { cat "$dir/server.log" >&2; exit 1; }
    echo "$port" >"$dir/port"
    echo "host=$dir/sock port=$port dbname=postgres user=postgres"
    ;;
restart)
    # pg_ctl starts it again with the options it was started with.
    as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -m fast -w -t 60 restart >/dev/null \
        || { cat "$dir/server.log" >&2; exit 1; }
    ;;
stop)
    if [[ -d "$dir/data" ]]; then
        as_owner "$bindir/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
    ;;
*)
    echo "usage: $0 start|restart|stop DIR" >&2
    exit 2
    ;;
esac
