#!/usr/bin/env bash
# The window as the operator sees it, in a real X server (Xvfb), at its minimum size and at
# 1280×800, before a run and during one, into docs/:
#   bash scripts/captura-janela.sh            (BUILD_DIR=build-x to use another build folder)
# Needs Xvfb, xdotool, xprop, ImageMagick's import and isql-fb (Debian: xvfb xdotool
# x11-utils imagemagick firebird3.0-utils). The demo clinic gets some thousands of copies of one care episode in the previous
# month, so that the run lasts long enough to be seen; it is stopped with Esc once pictured.
set -euo pipefail
cd "$(dirname "$0")/.."

for programa in Xvfb xdotool xprop import isql-fb; do
    command -v "$programa" >/dev/null ||
        { echo "$0: falta $programa (apt-get install xvfb xdotool x11-utils imagemagick firebird3.0-utils)" >&2; exit 1; }
done

build="${BUILD_DIR:-build}"
cmake -S . -B "$build" >/dev/null
cmake --build "$build" -j"$(nproc)" --target exportador-cds-gui >/dev/null

trabalho="$(mktemp -d)"
tela=":$((90 + RANDOM % 100))"
pids=()
encerra() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$trabalho"
}
trap encerra EXIT

# The window proposes the previous month; the copies fall on its 15th day.
dia="$(date -d "$(date +%Y-%m-01) -1 month" +%Y-%m-15)"
bash scripts/cria-banco.sh "$trabalho/clinica.fdb" --demo >/dev/null
"${ISQL:-isql-fb}" -q -ch UTF8 -user "${ISC_USER:-SYSDBA}" "$trabalho/clinica.fdb" <<SQL >/dev/null
SET TERM ^;
EXECUTE BLOCK AS
DECLARE n INTEGER = 0;
BEGIN
  WHILE (n < 20000) DO BEGIN
    INSERT INTO FAA (CODUNIDADE, NUMFAA, DATA, HORA, CODPESSOA, SEXO, CODPROFISSIONAL,
                     ESPECIEATEND, CARATER, CODCONDUTA)
      SELECT CODUNIDADE, 500000 + :n, '$dia', HORA, CODPESSOA, SEXO, CODPROFISSIONAL,
             ESPECIEATEND, CARATER, CODCONDUTA FROM FAA WHERE NUMFAA = 1001;
    INSERT INTO FAACID (CODUNIDADE, NUMFAA, CODCID) VALUES ('2345678', 500000 + :n, 'I10');
    n = n + 1;
  END
END^
SET TERM ;^
COMMIT;
SQL
printf '[GERAL]\r\nDATABASE=%s\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$trabalho/clinica.fdb" "$trabalho/saida" >"$trabalho/config.ini"

Xvfb "$tela" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$tela"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
"./$build/src/app/gui/exportador-cds-gui" --config "$trabalho/config.ini" >/dev/null 2>&1 &
pids+=($!)
janela="$(xdotool search --sync --onlyvisible --class exportador-cds-gui | head -1)"
xdotool windowmove "$janela" 0 0

# The minimum the window asks of the window manager (there is none here to hold it to it).
minimo="$(xprop -id "$janela" WM_NORMAL_HINTS |
    sed -n 's/.*minimum size: \([0-9]*\) by \([0-9]*\).*/\1 \2/p')"
[ -n "$minimo" ] || { echo "$0: a janela não diz o seu tamanho mínimo" >&2; exit 1; }
tamanho() {
    xdotool windowsize "$janela" "$1" "$2"
    sleep 1
}
foto() {
    import -window "$janela" "docs/$1"
    echo "docs/$1"
}

mkdir -p docs
tamanho $minimo
foto janela-minima.png
tamanho 1280 800
foto janela.png

xdotool windowfocus --sync "$janela"
xdotool key --clearmodifiers alt+a
sleep 2
foto janela-execucao.png
tamanho $minimo
foto janela-minima-execucao.png
tamanho 1280 800
xdotool key --clearmodifiers Escape
sleep 3
foto janela-cancelada.png
