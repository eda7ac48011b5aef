#!/usr/bin/env bash
# A private Firebird server for the tests over TCP.
#   scripts/servidor-firebird.sh inicia   -> starts it (or finds it running), prints its address
#   scripts/servidor-firebird.sh para     -> stops the server this script started
#
# It is an instance of its own: its configuration folder, its copy of the security database,
# its lock and temporary folders live under build/firebird-teste (or $EXPORTADOR_TESTE_FIREBIRD),
# it listens on 127.0.0.1 at its own port ($EXPORTADOR_TESTE_PORTA, 3057 by default) and it is
# started and stopped by its own process id. The system's Firebird configuration, its service,
# its security database and its passwords are never touched, so the tests can run on a machine
# where a clinic's server is in production.
set -euo pipefail

raiz_projeto=$(cd "$(dirname "$0")/.." && pwd)
PORTA=${EXPORTADOR_TESTE_PORTA:-3057}
BASE=${EXPORTADOR_TESTE_FIREBIRD:-$raiz_projeto/build/firebird-teste}
SENHA=masterkey
PIDFILE=$BASE/servidor.pid

# The installed engine: its messages, character sets and plugins are shared, read only.
sistema=$(dirname "$(find /usr/lib -path '*firebird/3.0/firebird.msg' -print -quit 2>/dev/null)")
seguranca_sistema=/var/lib/firebird/3.0/system/security3.fdb

ambiente() {
    env FIREBIRD="$BASE/raiz" FIREBIRD_LOCK="$BASE/trava" FIREBIRD_TMP="$BASE/tmp" "$@"
}

responde() {
    fbsvcmgr "127.0.0.1/$PORTA:service_mgr" user SYSDBA password "$SENHA" \
        info_server_version >/dev/null 2>&1
}

nosso_rodando() {
    [ -f "$PIDFILE" ] && kill -0 "$(cat "$PIDFILE")" 2>/dev/null
}

prepara() {
    mkdir -p "$BASE/raiz" "$BASE/trava" "$BASE/tmp"
    for item in firebird.msg plugins lib UDF fbtrace.conf plugins.conf; do
        [ -e "$sistema/$item" ] && ln -sfn "$sistema/$item" "$BASE/raiz/$item"
    done
    # The character sets' module is loaded only from inside the instance's own folder.
    rm -rf "$BASE/raiz/intl"
    mkdir -p "$BASE/raiz/intl"
    cp -L "$sistema/intl/"* "$BASE/raiz/intl/"
    {
        grep -v -E '^[[:space:]]*(RemoteServicePort|RemoteBindAddress|SecurityDatabase)[[:space:]]*=' \
            "$sistema/firebird.conf" || true
        echo "RemoteServicePort = $PORTA"
        echo "RemoteBindAddress = 127.0.0.1"
        echo "SecurityDatabase = $BASE/security3.fdb"
    } >"$BASE/raiz/firebird.conf"
    printf 'security.db = %s\n{\n\tRemoteAccess = false\n}\n' "$BASE/security3.fdb" \
        >"$BASE/raiz/databases.conf"
    # A copy of the security database, whose SYSDBA gets the tests' password; the original
    # is only read.
    if [ ! -f "$BASE/security3.fdb.pronto" ]; then
        cp "$seguranca_sistema" "$BASE/security3.fdb"
        echo "create or alter user SYSDBA password '$SENHA'; commit;" |
            ambiente isql-fb -q -user SYSDBA "$BASE/security3.fdb" >/dev/null
        touch "$BASE/security3.fdb.pronto"
    fi
}

case "${1:-}" in
inicia)
    if nosso_rodando && responde; then
        echo "127.0.0.1/$PORTA"
        exit 0
    fi
    if responde; then
        echo "A porta $PORTA já tem um servidor Firebird que não foi iniciado por este script;" \
            "escolha outra em EXPORTADOR_TESTE_PORTA." >&2
        exit 1
    fi
    [ -n "$sistema" ] || { echo "Firebird 3.0 não está instalado" >&2; exit 1; }
    prepara
    # Started straight in the background (env execs the server), so $! is the server itself.
    env FIREBIRD="$BASE/raiz" FIREBIRD_LOCK="$BASE/trava" FIREBIRD_TMP="$BASE/tmp" \
        /usr/sbin/firebird >"$BASE/servidor.log" 2>&1 &
    echo $! >"$PIDFILE"
    for _ in $(seq 1 100); do
        if responde; then
            echo "127.0.0.1/$PORTA"
            exit 0
        fi
        sleep 0.1
    done
    echo "O servidor Firebird de teste não respondeu; veja $BASE/servidor.log" >&2
    exit 1
    ;;
para)
    # A graceful stop first; a server still up after five seconds (its shutdown can wait on
    # a client that went away badly) is killed: its databases are the tests' throwaway copies.
    if nosso_rodando; then
        kill "$(cat "$PIDFILE")"
        for _ in $(seq 1 50); do
            nosso_rodando || break
            sleep 0.1
        done
        if nosso_rodando; then
            kill -9 "$(cat "$PIDFILE")"
            sleep 0.2
        fi
    fi
    rm -f "$PIDFILE"
    ;;
*)
    echo "uso: $0 inicia|para" >&2
    exit 2
    ;;
esac
