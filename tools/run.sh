#!/usr/bin/env bash
# Installs what is missing, builds, and starts the application.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
"$root/tools/build.sh"
exec "${BUILD_DIR:-$root/build}/sakanova" "$@"
