#!/usr/bin/env bash
# The window as the operator sees it when it opens, rendered without a display into
# docs/window.png:
#   bash scripts/captura-janela.sh            (BUILD_DIR=build-x to use another build folder)
# The boxes show the settings of a sample config.ini; the period is the previous month.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target exportador-cds-gui

# The sample output folder gets its arquivosXML subfolder when the window opens; it goes
# afterwards unless it was there before.
saida=/tmp/exportador-cds
exemplo="$(mktemp -d)"
if [ -e "$saida" ]; then
    trap 'rm -rf "$exemplo"' EXIT
else
    trap 'rm -rf "$exemplo" "$saida"' EXIT
fi
printf '[GERAL]\r\nCNESPRINCIPAL=2345678\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$saida" >"$exemplo/config.ini"

mkdir -p docs
QT_QPA_PLATFORM=offscreen "./$build/src/app/gui/exportador-cds-gui" \
    --config "$exemplo/config.ini" --captura docs/window.png
echo "docs/window.png"
