#!/usr/bin/env bash
# The Debian package as a clinic gets it: built, installed with apt-get, and the installed
# exportador-cds run on the demo clinic from a folder outside the checkout (the same export
# the README's demo runs). CI runs it; as root:
#   bash scripts/testa-pacote.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD

pacote=$(bash scripts/pacote.sh | tail -n 1)
apt-get install -y -qq "$pacote" >/dev/null

fora=$(mktemp -d /tmp/exportador-instalado.XXXXXX)
trap 'rm -rf "$fora"' EXIT
bash "$raiz/scripts/cria-banco.sh" "$fora/clinica.fdb" --demo >/dev/null
mkdir -p "$fora/saida"
printf '[GERAL]\r\nDATABASE=%s\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$fora/clinica.fdb" "$fora/saida" >"$fora/config.ini"

cd "$fora"
command -v exportador-cds
exportador-cds --version
exportador-cds --config "$fora/config.ini" --data-inicial 01/11/2026 --data-final 30/11/2026 \
    --fichas todas,vacinacao
arquivo=$(ls "$fora"/saida/FichasValmo_*.zip)
python3 - "$arquivo" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    assert z.testzip() is None, "entrada corrompida"
    print(f"{sys.argv[1]}: {len(z.namelist())} fichas")
PY

# Without --config, the installed program finds config.ini in the user's configuration folder
# (nothing is beside /usr/bin/exportador-cds) and says where it looks.
mkdir -p "$fora/xdg/exportador-cds" "$fora/saida-xdg"
sed "s|^CAMINHOXML=.*|CAMINHOXML=$fora/saida-xdg\r|" "$fora/config.ini" \
    >"$fora/xdg/exportador-cds/config.ini"
XDG_CONFIG_HOME="$fora/xdg" exportador-cds --help | grep -F "  $fora/xdg/exportador-cds/config.ini"
XDG_CONFIG_HOME="$fora/xdg" exportador-cds --data-inicial 01/11/2026 --data-final 30/11/2026 \
    --fichas atendimento-individual
ls "$fora"/saida-xdg/FichasValmo_*.zip
