#!/usr/bin/env bash
# Starts or stops a Firebird server on 127.0.0.1:3050 for the tests over TCP.
#   scripts/servidor-firebird.sh inicia   -> prints nothing, leaves the pid in $PIDFILE
#   scripts/servidor-firebird.sh para
# These machines have no service manager: the server binary runs in the background and is
# stopped by its process id.
set -euo pipefail

PIDFILE=${PIDFILE:-/tmp/exportador-firebird.pid}
SENHA=masterkey

responde() {
    fbsvcmgr localhost:service_mgr user SYSDBA password "$SENHA" info_server_version >/dev/null 2>&1
}

case "${1:-}" in
inicia)
    # Already answering (ours from an earlier call, or one started by hand): use it.
    if responde; then
        exit 0
    fi
    # The SYSDBA password lives in the security database; set it while no server holds it.
    echo "create or alter user SYSDBA password '$SENHA'; commit;" |
        isql-fb -q -user SYSDBA /var/lib/firebird/3.0/system/security3.fdb >/dev/null
    /usr/sbin/firebird >/tmp/exportador-firebird.log 2>&1 &
    echo $! >"$PIDFILE"
    for _ in $(seq 1 100); do
        if responde; then exit 0; fi
        sleep 0.1
    done
    echo "O servidor Firebird não respondeu; veja /tmp/exportador-firebird.log" >&2
    exit 1
    ;;
para)
    if [ -f "$PIDFILE" ]; then
        kill "$(cat "$PIDFILE")" 2>/dev/null || true
        rm -f "$PIDFILE"
    fi
    ;;
*)
    echo "uso: $0 inicia|para" >&2
    exit 2
    ;;
esac
