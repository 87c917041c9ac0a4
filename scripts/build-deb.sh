#!/bin/bash
# Builds the Debian package build/deb/ovrin_<version>_<arch>.deb: the
# programs, the menu entry, icons, manual pages and completions under /usr,
# its dependencies found by dpkg-shlibdeps.
#   apt install ./build/deb/ovrin_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh dpkg-dev file # dpkg-shlibdeps, and what CPack asks it with
cmake -S . -B build/deb -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DOVRIN_BUILD_TESTS=OFF -DOVRIN_BUILD_BENCH=OFF -DOVRIN_WERROR=ON >/dev/null
cmake --build build/deb --parallel "$(nproc)"
(cd build/deb && cpack -G DEB)
ls build/deb/*.deb
