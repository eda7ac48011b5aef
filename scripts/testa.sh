#!/usr/bin/env bash
# Builds everything and runs the whole test suite, the server tests included.
#   bash scripts/testa.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh

WERROR=OFF
[ "${CI:-}" = "true" ] && WERROR=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DEXPORTADOR_WERROR="$WERROR" >/dev/null
cmake --build build -j"$(nproc)"

bash scripts/servidor-firebird.sh inicia
trap 'bash scripts/servidor-firebird.sh para' EXIT

# The window's tests need no display.
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j"$(nproc)"
