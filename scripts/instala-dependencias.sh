#!/usr/bin/env bash
# Installs, from Debian's packages, what one or more jobs need:
#   bash scripts/instala-dependencias.sh [execucao] [compilacao] [testes] [windows] [pacote]
#     execucao     running the programs: the Firebird client, the embedded engine, Qt's texts
#     compilacao   building them (with execucao) and making a demo database (isql-fb)
#     testes       the tests (with compilacao): a Firebird server, GoogleTest, the XML checks
#     windows      the core compiled for Windows (scripts/compila-windows.sh)
#     pacote       the Debian packages checked (lintian)
# Without a set, all of them. Safe to run again: it does nothing when everything is there.
set -euo pipefail

execucao=(
    libfbclient2                       # Firebird client library
    firebird3.0-server-core            # the embedded engine: opens a database file directly
    qt6-translations-l10n libqt6svg6   # Qt's own texts in Portuguese; the window's SVG icon
)
compilacao=(
    "${execucao[@]}"
    build-essential cmake pkg-config
    firebird-dev                       # Firebird client API headers
    firebird3.0-utils                  # isql-fb, to build databases from db/*.sql
    libarchive-dev                     # the run's zip archive
    libminizip-dev zlib1g-dev          # the tests' reader of the archives
    libsimpleini-dev                   # config.ini
    libcli11-dev                       # the command line's options
    qt6-base-dev                       # the window
)
testes=(
    "${compilacao[@]}"
    clang-format
    firebird3.0-server                 # the server binary, run as the tests' private instance
    fonts-dejavu-core                  # a font for offscreen screenshots
    libgtest-dev                       # the tests
    python3                            # XML well-formedness checks in the tests
    libxml2-utils                      # xmllint: the record files checked against the layout's XSD
    unzip                              # the zip tool's own test of the archives, in the tests
)
windows=(
    g++-mingw-w64-x86-64               # the core compiled for Windows (scripts/compila-windows.sh)
    libz-mingw-w64-dev                 # zlib for that compile: minizip's headers include it
)
pacote=(
    lintian                            # the Debian packages' own check
)

conjuntos=("$@")
[ ${#conjuntos[@]} -gt 0 ] || conjuntos=(testes windows pacote)
pacotes=()
for conjunto in "${conjuntos[@]}"; do
    case $conjunto in
        execucao) pacotes+=("${execucao[@]}") ;;
        compilacao) pacotes+=("${compilacao[@]}") ;;
        testes) pacotes+=("${testes[@]}") ;;
        windows) pacotes+=("${windows[@]}") ;;
        pacote) pacotes+=("${pacote[@]}") ;;
        *)
            echo "Conjunto desconhecido: $conjunto (execucao, compilacao, testes, windows ou pacote)" >&2
            exit 2
            ;;
    esac
done

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
