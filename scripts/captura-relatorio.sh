#!/usr/bin/env bash
# The run's report as the operator opens it, rendered by a headless browser into
# docs/relatorio.png:
#   bash scripts/captura-relatorio.sh         (BUILD_DIR=build-x to use another build folder)
# Exports November 2026 from the demo clinic (anew, in a folder of its own) and photographs the
# report's page. Installs Chromium when it is missing (as root).
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
if ! command -v chromium >/dev/null; then
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target exportador-cds >/dev/null

demo="$(mktemp -d)"
trap 'rm -rf "$demo"' EXIT
mkdir -p "$demo/saida"
bash scripts/cria-banco.sh "$demo/clinica.fdb" --demo --substituir >/dev/null
printf '[GERAL]\r\nDATABASE=%s\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$demo/clinica.fdb" "$demo/saida" >"$demo/config.ini"
"./$build/exportador-cds" --config "$demo/config.ini" --data-inicial 01/11/2026 \
    --data-final 30/11/2026 --fichas todas,vacinacao >/dev/null 2>&1

relatorio=$(ls "$demo"/saida/*.relatorio.html)
mkdir -p docs
# Root runs Chromium only without its sandbox; the page is the program's own, with no scripts.
chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size=1100,1900 \
    --screenshot="$PWD/docs/relatorio.png" "file://$relatorio" 2>/dev/null
echo "docs/relatorio.png"
