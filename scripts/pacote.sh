#!/usr/bin/env bash
# Builds the Debian package of both programs in build-pacote/ and prints its path:
#   bash scripts/pacote.sh
# Install it with: apt-get install ./build-pacote/exportador-cds_<versão>_<arq>.deb
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/instala-dependencias.sh
cmake -S . -B build-pacote -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-pacote -j"$(nproc)" --target exportador-cds exportador-cds-gui
(cd build-pacote && cpack -G DEB >/dev/null)
ls "$PWD"/build-pacote/exportador-cds_*.deb
