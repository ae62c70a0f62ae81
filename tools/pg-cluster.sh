#!/usr/bin/env bash
# A throw-away PostgreSQL cluster for the tests, kept whole in one folder:
#
#   tools/pg-cluster.sh start DIR   creates the cluster in DIR (an empty or new
#                                   folder), starts it and prints
#                                   "PGHOST=DIR" and "PGPORT=<port>"
#   tools/pg-cluster.sh stop DIR    stops it; the caller removes DIR
#
# The server listens only on a Unix socket in DIR, keeps nothing on disk that
# a crash must find (fsync off) and answers to the user that created it, with
# no password, in a database named "sakanova". Run as root, the cluster
# belongs to the "postgres" system user, as initdb refuses to run as root.
set -euo pipefail

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}
[ $# -eq 2 ] || usage
action=$1
dir=$2

bindir=${PG_BINDIR:-}
if [ -z "$bindir" ]; then
    for candidate in /usr/lib/postgresql/*/bin; do
        [ -x "$candidate/initdb" ] && bindir=$candidate
    done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "PostgreSQL's server programs were not found (tools/install-deps.sh installs them)" >&2
    exit 1
fi

as_owner=()
if [ "$(id -u)" -eq 0 ]; then
    as_owner=(runuser -u postgres --)
fi

case "$action" in
start)
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    if [ ${#as_owner[@]} -gt 0 ]; then
        chown postgres: "$dir"
    fi
    # C.UTF-8 for both collation and character classes: with a plain "C"
    # ctype the trigram indexes take Arabic letters for separators.
    "${as_owner[@]}" "$bindir/initdb" -D "$dir/data" -A trust -E UTF8 \
        --locale=C.UTF-8 --no-sync -U postgres >"$dir/initdb.log" 2>&1 || {
        cat "$dir/initdb.log" >&2
        exit 1
    }
    # The server listens on no TCP port, only on the socket in its own
    # folder; the port number still names that socket and keys the shared
    # memory, so each cluster takes a random one and another on a clash.
    started=no
    for _ in 1 2 3 4 5; do
        port=$((20000 + RANDOM % 40000))
        if "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -s \
            -o "-k $dir -p $port -c listen_addresses= -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
            start >/dev/null 2>&1; then
            started=yes
            break
        fi
    done
    if [ "$started" != yes ]; then
        cat "$dir/server.log" >&2 || true
        exit 1
    fi
    # The tests connect as whoever runs them: give that name a role.
    me=$(id -un)
    "$bindir/psql" -h "$dir" -p "$port" -U postgres -d postgres -v ON_ERROR_STOP=1 -qAt \
        -c "DO \$\$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '$me') THEN CREATE ROLE \"$me\" LOGIN SUPERUSER; END IF; END \$\$" \
        -c "CREATE DATABASE sakanova OWNER \"$me\"" >/dev/null
    echo "$port" >"$dir/port"
    echo "PGHOST=$dir"
    echo "PGPORT=$port"
    ;;
stop)
    [ -d "$dir/data" ] || exit 0
    "${as_owner[@]}" "$bindir/pg_ctl" -D "$dir/data" -m immediate -w -s stop >/dev/null 2>&1 || true
    ;;
*)
    usage
    ;;
esac
