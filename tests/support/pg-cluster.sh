#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A throwaway PostgreSQL server for the tests.
#
#   pg-cluster.sh start DIR   starts a cluster in DIR (a stale one left there by
#                             an earlier run is stopped and removed first) and
#                             writes its URL to DIR/url
#   pg-cluster.sh stop DIR    stops it (fast: open connections are cut) and removes DIR
#
# The server listens on a unix socket in DIR only, with a superuser `qbr`,
# a database `qbr` and no passwords. Run as root, the server runs as the user
# `postgres`, which then owns DIR.
set -euo pipefail

if [ $# -ne 2 ] || { [ "$1" != start ] && [ "$1" != stop ]; }; then
    echo "usage: $0 start|stop DIR" >&2
    exit 2
fi
dir=$2
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bin" ] || [ ! -x "$bin/pg_ctl" ]; then
    echo "$0: no PostgreSQL server found under /usr/lib/postgresql (install the postgresql package)" >&2
    exit 1
fi

# Commands of the server run as its user: as root, that is postgres.
as_server=()
if [ "$(id -u)" -eq 0 ]; then
    as_server=(runuser -u postgres --)
fi

stop_cluster() {
    if [ -f "$dir/data/postmaster.pid" ]; then
        "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$dir"
}

start_cluster() {
    stop_cluster
    mkdir -p "$dir"
    # A unix socket's path holds at most 107 bytes.
    if [ ${#dir} -gt 90 ]; then
        echo "$0: $dir is too long a path for the server's socket" >&2
        exit 1
    fi
    if [ ${#as_server[@]} -gt 0 ]; then
        chown postgres: "$dir"
    fi
    "${as_server[@]}" "$bin/initdb" -D "$dir/data" -U qbr --auth=trust -E UTF8 --no-sync >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        exit 1
    }
    "${as_server[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
        -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c max_connections=200" start >/dev/null || {
        cat "$dir/server.log" >&2
        exit 1
    }
    "${as_server[@]}" "$bin/createdb" -h "$dir" -U qbr qbr
    echo "postgresql:///qbr?host=$dir&user=qbr" >"$dir/url"
    echo "PostgreSQL for the tests: $(cat "$dir/url")"
}

"$1_cluster"
