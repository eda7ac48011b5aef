#!/usr/bin/env bash
# Compiles the core and the command line for Windows with the MinGW cross-compiler, through the
# same CMakeLists.txt and its layers, so that a call only Linux has, or an include a layer may
# not see, fails here rather than on a clinic's machine. Nothing is linked: this machine has no
# Windows build of the Firebird client or of libarchive (cmake/mingw-w64.cmake, EXPORTADOR_SO_COMPILA).
#   bash scripts/compila-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh compilacao windows

# MinGW has some POSIX headers of its own (unistd.h, sys/stat.h) that MSVC lacks, so compiling
# is not the whole check: outside the platform files (src/comum/plataforma_*, and the command
# line's signals in src/app/cli/sinais.*), and the tests, which run on Linux only, no source
# reaches for a system header or Linux's /proc.
fora=$(grep -rnE '#include <(unistd|fcntl|windows|io|dirent|pwd|signal)\.h>|#include <sys/|/proc/' \
    src --include='*.cpp' --include='*.hpp' |
    grep -vE '^src/comum/plataforma_|^src/app/cli/sinais\.|/tests/' || true)
if [ -n "$fora" ]; then
    echo "compila-windows.sh: chamadas do sistema fora dos arquivos de plataforma:" >&2
    echo "$fora" >&2
    exit 1
fi

# "None": no optimization and no debug information, the quickest compile that still warns.
cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=None \
    -DEXPORTADOR_SO_COMPILA=ON -DEXPORTADOR_WERROR=ON >/dev/null
cmake --build build-windows -j"$(nproc)"
echo "compila-windows.sh: o núcleo e a linha de comando compilados para Windows em build-windows"
