#!/usr/bin/env bash
# The core and its tests built again with AddressSanitizer and UndefinedBehaviorSanitizer, in
# build-sanitizadores/, and the whole suite run there (the window is left out: Qt is not built
# with the sanitizers). CI runs it after scripts/testa.sh.
#   bash scripts/testa-sanitizadores.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh testes
export EXPORTADOR_TESTE_PORTA=${EXPORTADOR_TESTE_PORTA:-3057}
cmake -S . -B build-sanitizadores -DCMAKE_BUILD_TYPE=Debug -DEXPORTADOR_WERROR=ON \
    -DEXPORTADOR_GUI=OFF -DEXPORTADOR_SANITIZADORES=ON \
    -DEXPORTADOR_TESTE_PORTA="$EXPORTADOR_TESTE_PORTA" >/dev/null
cmake --build build-sanitizadores -j"$(nproc)"

bash scripts/servidor-firebird.sh inicia >/dev/null
trap 'bash scripts/servidor-firebird.sh para' EXIT

# The Firebird client keeps a few allocations for the life of the process; they are its own,
# not leaks of ours. At exit it unloads the embedded engine before the leak check runs, and the
# check, following the engine's thread-local blocks, may then read freed memory and crash
# (intercept_tls_get_addr=0: those blocks are not followed).
export ASAN_OPTIONS=abort_on_error=0:detect_stack_use_after_return=0:intercept_tls_get_addr=0
export LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-sanitizadores --output-on-failure -j"$(nproc)"
