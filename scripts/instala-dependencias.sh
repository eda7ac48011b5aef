#!/usr/bin/env bash
# Installs what the build, the tests and the demo export need, from Debian's packages.
# Safe to run again: it does nothing when everything is there.
set -euo pipefail

pacotes=(
    build-essential cmake pkg-config clang-format
    firebird-dev libfbclient2          # Firebird client API (headers and library)
    firebird3.0-server-core            # the embedded engine: opens a database file directly
    firebird3.0-utils                  # isql-fb, to build databases from db/*.sql
    firebird3.0-server                 # the server binary, run as the tests' private instance
    libarchive-dev                     # the run's zip archive
    libminizip-dev zlib1g-dev          # the tests' reader of the archives
    libsimpleini-dev                   # config.ini
    libcli11-dev                       # the command line's options
    qt6-base-dev fonts-dejavu-core     # the window, and a font for offscreen screenshots
    qt6-translations-l10n libqt6svg6   # Qt's own texts in Portuguese; the window's SVG icon
    libgtest-dev                       # the tests
    python3                            # XML well-formedness checks in the tests
    libxml2-utils                      # xmllint: the record files checked against the layout's XSD
    unzip                              # the zip tool's own test of the archives, in the tests
    g++-mingw-w64-x86-64               # the core compiled for Windows (scripts/compila-windows.sh)
    libz-mingw-w64-dev                 # zlib for that compile: minizip's headers include it
)

# Nothing to do when every package is there already (a second run, or the demo after the tests).
if dpkg -s "${pacotes[@]}" >/dev/null 2>&1; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "Execute como root (apt-get install) para instalar: ${pacotes[*]}" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${pacotes[@]}"
