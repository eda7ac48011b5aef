#!/usr/bin/env bash
# Builds the two Debian packages in build-pacote/ and prints their paths, the command line's
# first:
#   bash scripts/pacote.sh
# Install them with: apt-get install ./build-pacote/exportador-cds*_<versão>_<arq>.deb
# The compiler's output goes to build-pacote/compilacao.log, shown only when the build fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh compilacao

# Debian's hardening, as dpkg-buildflags gives it to every package of the distribution: PIE,
# relro and immediate binding, _FORTIFY_SOURCE and the stack protector; with its -O2 alone
# (build type None), as every Debian package is built: GCC 12 at -O3 warns falsely of
# overlapping copies inside std::string.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

mkdir -p build-pacote
log=$PWD/build-pacote/compilacao.log
if ! {
    cmake -S . -B build-pacote -DCMAKE_BUILD_TYPE=None -DBUILD_TESTING=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr -DEXPORTADOR_WERROR=ON \
        -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" &&
        cmake --build build-pacote -j"$(nproc)" --target exportador-cds exportador-cds-gui &&
        (cd build-pacote && cpack -G DEB)
} >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "A construção dos pacotes falhou; a saída completa está em $log" >&2
    exit 1
fi
ls "$PWD"/build-pacote/exportador-cds_*.deb "$PWD"/build-pacote/exportador-cds-gui_*.deb
