#!/usr/bin/env bash
# Builds everything and runs the whole test suite, the server tests included.
#   bash scripts/testa.sh
# The tests over TCP use a private Firebird server of their own (scripts/servidor-firebird.sh),
# never the system's: this is safe on a machine where a clinic's server runs.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh testes

WERROR=OFF
[ "${CI:-}" = "true" ] && WERROR=ON
export EXPORTADOR_TESTE_PORTA=${EXPORTADOR_TESTE_PORTA:-3057}
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXPORTADOR_WERROR="$WERROR" \
    -DEXPORTADOR_TESTE_PORTA="$EXPORTADOR_TESTE_PORTA" >/dev/null
cmake --build build -j"$(nproc)"

bash scripts/servidor-firebird.sh inicia >/dev/null
trap 'bash scripts/servidor-firebird.sh para' EXIT

# The window's tests need no display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
