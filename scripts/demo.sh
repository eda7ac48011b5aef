#!/usr/bin/env bash
# The monthly export on the bundled demo clinic, with the embedded engine (no server):
#   bash scripts/demo.sh
# Builds the program, makes demo/clinica.fdb from db/schema.sql and db/demo.sql (anew each
# time), writes demo/config.ini, runs exportador-cds for November 2026 and shows the
# transmission registers it wrote.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh compilacao
# The build's output goes to a log, shown only when the build fails, so that what is shown is
# the run's.
mkdir -p build
log=$PWD/build/demo-compilacao.log
echo "Compilando exportador-cds (saída em $log)..."
if ! {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
        cmake --build build -j"$(nproc)" --target exportador-cds
} >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "A compilação falhou; a saída completa está em $log" >&2
    exit 1
fi

demo="$PWD/build/demo"
mkdir -p "$demo/saida"
bash scripts/cria-banco.sh "$demo/clinica.fdb" --demo --substituir >>"$log" 2>&1
echo
printf '[GERAL]\r\nDATABASE=%s\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$demo/clinica.fdb" "$demo/saida" >"$demo/config.ini"

./build/exportador-cds --config "$demo/config.ini" \
    --data-inicial 01/11/2026 --data-final 30/11/2026 \
    --fichas todas,vacinacao
echo
# The registrations sent are marked in the database: "Não", the new identifier, the day and
# the transmission code.
for tabela in pessoastransmissao familiastransmissao; do
    echo "$tabela:"
    echo "SELECT codigo, transmitiresus, datatransmissaoesus, CodigoTransmissaoEsus, uuid FROM $tabela ORDER BY codigo;" |
        "${ISQL:-isql-fb}" -q -ch UTF8 -user "${ISC_USER:-SYSDBA}" "$demo/clinica.fdb"
done
echo
echo "Arquivos em $demo/saida"
