#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
#
#   ./tools/test.sh              the whole suite, on SQLite
#   ./tools/test.sh --postgres   the tests that run on a PostgreSQL server
#                                (CTest label "postgres"), against one
#                                throw-away cluster started for the run:
#                                every test database is a fresh one on it
#                                (SAKANOVA_TEST_ENGINE=postgres)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
mode=${1:-}
case "$mode" in
"" | --postgres) ;;
*)
    echo "usage: $0 [--postgres]" >&2
    exit 2
    ;;
esac
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
cd "${BUILD_DIR:-$root/build}"
if [ "$mode" != --postgres ]; then
    QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
    exit
fi

cluster=$(mktemp -d)
trap '"$root/tools/pg-cluster.sh" stop "$cluster"; rm -rf "$cluster"' EXIT
"$root/tools/pg-cluster.sh" start "$cluster" >/dev/null
export SAKANOVA_TEST_ENGINE=postgres
export SAKANOVA_TEST_PGHOST=$cluster
SAKANOVA_TEST_PGPORT=$(cat "$cluster/port")
export SAKANOVA_TEST_PGPORT
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)" -L postgres
