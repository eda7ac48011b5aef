#!/bin/sh
# Creates a Firebird database with the clinic's schema (db/schema.sql) and, with --demo, the
# demo clinic (db/demo.sql). Uses the embedded engine through isql-fb, so no server is needed
# when run as a user that may write the file (root, or the firebird group).
#
#   scripts/cria-banco.sh DESTINO.fdb [--demo] [--substituir]
#
# An existing DESTINO is left alone unless --substituir is given.

set -eu

uso() {
    echo "uso: $0 DESTINO.fdb [--demo] [--substituir]" >&2
    exit 2
}

destino=""
demo=0
substituir=0
for arg in "$@"; do
    case "$arg" in
        --demo) demo=1 ;;
        --substituir) substituir=1 ;;
        -*) uso ;;
        *) [ -z "$destino" ] || uso; destino="$arg" ;;
    esac
done
[ -n "$destino" ] || uso

raiz=$(cd "$(dirname "$0")/.." && pwd)
isql=${ISQL:-isql-fb}
command -v "$isql" >/dev/null 2>&1 || { echo "$0: $isql não encontrado" >&2; exit 1; }

if [ -e "$destino" ]; then
    if [ "$substituir" -eq 0 ]; then
        echo "$0: $destino já existe (use --substituir para recriá-lo)" >&2
        exit 1
    fi
    rm -f -- "$destino"
fi

pasta=$(cd "$(dirname "$destino")" && pwd)
arquivo="$pasta/$(basename "$destino")"
case "$arquivo" in
    *\'*) echo "$0: o caminho não pode conter aspas simples" >&2; exit 1 ;;
esac

script=$(mktemp "${TMPDIR:-/tmp}/cria-banco.XXXXXX")
trap 'rm -f "$script"' EXIT
{
    echo "CREATE DATABASE '$arquivo' DEFAULT CHARACTER SET WIN1252;"
    cat "$raiz/db/schema.sql"
    if [ "$demo" -eq 1 ]; then cat "$raiz/db/demo.sql"; fi
    echo "COMMIT;"
} >"$script"

# The scripts are UTF-8; -ch UTF8 converts their accented texts to the database's WIN1252.
if ! "$isql" -q -bail -ch UTF8 -user "${ISC_USER:-SYSDBA}" -i "$script"; then
    echo "$0: falha ao criar $arquivo" >&2
    rm -f -- "$arquivo"
    exit 1
fi
echo "$arquivo"
