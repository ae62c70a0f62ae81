#!/usr/bin/env bash
# Installs the Debian packages the build, the application and the tests need,
# only those that are missing, so a second run costs nothing.
set -euo pipefail

packages=(
    build-essential cmake pkg-config libsqlite3-dev
    qt6-base-dev qt6-declarative-dev libqt6sql6-sqlite libgl-dev libsodium-dev
    # Spreadsheet workbooks for the export.
    libxlsxwriter-dev libxlsxwriter4
    qml6-module-qtqml qml6-module-qtqml-models qml6-module-qtqml-workerscript
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-window qml6-module-qtquick-templates
    qml6-module-qttest libqt6quicktest6
    fonts-noto-core fonts-noto-color-emoji
    # Building the Debian package and checking it in the test suite.
    dpkg-dev file desktop-file-utils appstream
    # Reading printed statements and exported workbooks back in the tests.
    poppler-utils unzip
    # The shared-server engine: Qt's PostgreSQL driver, the client library,
    # and a server with pg_trgm for the throw-away clusters the tests start.
    libqt6sql6-psql libpq-dev postgresql postgresql-contrib
)
# Extras for the screenshot script only.
if [ "${1:-}" = "--screenshots" ]; then
    packages+=(xvfb xauth imagemagick xdotool sqlite3)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
    sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
