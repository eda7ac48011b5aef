#!/usr/bin/env bash
# The Debian packages as a clinic gets them: built, checked by lintian (any error or warning
# fails), installed with apt-get, the man page rendered, and the installed exportador-cds run on
# the demo clinic from a folder outside the checkout (the same export the README's demo runs),
# as root and as an ordinary user, outside the firebird group and in it. CI runs it; as root:
#   bash scripts/testa-pacote.sh
set -euo pipefail
cd "$(dirname "$0")/.."
raiz=$PWD

bash scripts/instala-dependencias.sh pacote
mapfile -t pacotes < <(bash scripts/pacote.sh)
# Errors and warnings fail; the pedantic notes are listed in the README.
lintian --fail-on error,warning "${pacotes[@]}"
apt-get install -y -qq "${pacotes[@]}" >/dev/null

man -P cat exportador-cds | grep -F "PRIMEIRA EXECUÇÃO" >/dev/null
man -P cat exportador-cds-gui | grep -F "exportador-cds-gui" >/dev/null
test -f /etc/exportador-cds/config.ini

fora=$(mktemp -d /tmp/exportador-instalado.XXXXXX)
operador=
limpa() {
    if [ -n "$operador" ]; then userdel -r "$operador" 2>/dev/null || true; fi
    rm -rf "$fora"
}
trap limpa EXIT
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

# Without --config, the installed program finds config.ini in the user's configuration folder,
# then in /etc, never beside /usr/bin/exportador-cds, and says where it looks.
mkdir -p "$fora/xdg/exportador-cds" "$fora/saida-xdg"
sed "s|^CAMINHOXML=.*|CAMINHOXML=$fora/saida-xdg\r|" "$fora/config.ini" \
    >"$fora/xdg/exportador-cds/config.ini"
ajuda=$(XDG_CONFIG_HOME="$fora/xdg" exportador-cds --help)
grep -F "  $fora/xdg/exportador-cds/config.ini" <<<"$ajuda"
grep -F "  /etc/exportador-cds/config.ini" <<<"$ajuda"
if grep -F "/usr/bin/config.ini" <<<"$ajuda"; then
    echo "O programa instalado procura o config.ini ao lado dele, em /usr/bin." >&2
    exit 1
fi
XDG_CONFIG_HOME="$fora/xdg" exportador-cds --data-inicial 01/11/2026 --data-final 30/11/2026 \
    --fichas atendimento-individual
ls "$fora"/saida-xdg/FichasValmo_*.zip

# An ordinary user, made for the test, with a database of its own. Outside the firebird group
# the embedded engine cannot use its lock folder: the run is refused (code 3) saying what to
# do. Once in the group (a new session, as runuser's is), the same run works.
operador=cds-operador-$$
useradd --create-home --shell /bin/bash "$operador"
casa=$(getent passwd "$operador" | cut -d: -f6)
install -d -o "$operador" "$casa/clinica" "$casa/saida"
cp "$fora/clinica.fdb" "$casa/clinica/clinica.fdb"
chown "$operador" "$casa/clinica/clinica.fdb"
install -d -o "$operador" "$casa/.config" "$casa/.config/exportador-cds"
printf '[GERAL]\r\nDATABASE=%s\r\nCNESPRINCIPAL=2345678\r\nIBGE=2211001\r\nCAMINHOXML=%s\r\n[ESUS]\r\nPROFISSIONALGENERICO=9\r\n' \
    "$casa/clinica/clinica.fdb" "$casa/saida" >"$casa/.config/exportador-cds/config.ini"
chown "$operador" "$casa/.config/exportador-cds/config.ini"
como_operador() {
    (cd "$casa" && runuser -u "$operador" -- env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME \
        -u XDG_DATA_HOME HOME="$casa" exportador-cds \
        --data-inicial 01/11/2026 --data-final 30/11/2026 --fichas atendimento-individual)
}
codigo=0
como_operador 2>"$fora/recusa.txt" || codigo=$?
cat "$fora/recusa.txt"
if [ "$codigo" -ne 3 ]; then
    echo "Fora do grupo firebird, a exportação deveria ser recusada com o código 3 (saiu $codigo)." >&2
    exit 1
fi
for parte in "grupo firebird" 'sudo adduser $USER firebird' "entre de novo na sessão" \
    "DATABASE=localhost:/caminho/clinica.fdb"; do
    grep -F -- "$parte" "$fora/recusa.txt" >/dev/null ||
        { echo "A mensagem de recusa não diz: $parte" >&2; exit 1; }
done
usermod -a -G firebird "$operador"
como_operador
ls "$casa"/saida/FichasValmo_*.zip
