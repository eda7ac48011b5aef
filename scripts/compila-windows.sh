#!/usr/bin/env bash
# Compiles the core and the command line for Windows with the MinGW cross-compiler, so that a
# call only Linux has fails here rather than on a clinic's machine. Objects only: nothing is
# linked (there is no Windows Firebird client or minizip library on this machine).
#   bash scripts/compila-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh

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

cxx=x86_64-w64-mingw32-g++-posix
command -v "$cxx" >/dev/null || cxx=x86_64-w64-mingw32-g++
saida=build-windows
rm -rf "$saida"
mkdir -p "$saida/inclui" "$saida/objetos" "$saida/gerado/comum"

# The libraries' headers are the same on both systems and say so with their own _WIN32
# branches; each is reached through a folder of its own, so that no Linux header of
# /usr/include is ever seen by the Windows compiler. zlib comes from the MinGW sysroot.
for cabecalho in firebird ibase.h iberror.h; do ln -s "/usr/include/$cabecalho" "$saida/inclui/$cabecalho"; done
ln -s /usr/include/minizip "$saida/inclui/minizip"
for cabecalho in archive.h archive_entry.h; do ln -s "/usr/include/$cabecalho" "$saida/inclui/$cabecalho"; done
ln -s /usr/include/SimpleIni.h "$saida/inclui/SimpleIni.h"

# The version header, as CMake makes it from project().
versao=$(sed -n 's/^project(exportador-cds VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sed "s/@PROJECT_VERSION@/$versao/g" src/comum/versao.hpp.in >"$saida/gerado/comum/versao.hpp"
if grep -q '@[A-Za-z_]*@' "$saida/gerado/comum/versao.hpp"; then
    echo "compila-windows.sh: src/comum/versao.hpp.in usa uma variável que este script não conhece" >&2
    exit 1
fi

# Each layer's headers are reached as "<layer>/x.hpp" from src/.
opcoes=(-std=c++20 -Wall -Wextra -Wpedantic -Werror -O0 -c
    -Isrc -I"$saida/gerado" -isystem "$saida/inclui")

fontes=(src/comum/*.cpp src/record/*.cpp src/source/*.cpp src/fichas/*.cpp src/export/*.cpp
    src/app/cli/*.cpp)

compila() {
    local fonte=$1 extra=()
    # As CMakeLists.txt builds the export layer.
    case "$fonte" in src/export/*) extra=(-DSI_NO_CONVERSION) ;; esac
    "$cxx" "${opcoes[@]}" "${extra[@]}" -o "$saida/objetos/$(echo "$fonte" | tr / _).o" "$fonte"
}
export -f compila
export cxx saida
export OPCOES="${opcoes[*]}"
printf '%s\n' "${fontes[@]}" |
    xargs -P "$(nproc)" -n 1 bash -c 'read -ra opcoes <<<"$OPCOES"; compila "$1"' _
echo "compila-windows.sh: ${#fontes[@]} fontes compilados para Windows em $saida/objetos"
