#!/bin/bash
# Installs what is missing, then builds and runs every test three times: a
# normal build, one with AddressSanitizer and UndefinedBehaviorSanitizer, and
# one with ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# the formats' own tools make the newer formats' samples at test time; groff,
# appstream and desktop-file-utils check the manual pages, the AppStream
# description and the desktop entry
bash scripts/install-deps.sh libheif-examples libavif-bin libjxl-tools imagemagick \
    groff-base appstream desktop-file-utils

# ASLR layouts of newer kernels can break ThreadSanitizer's shadow mapping.
tsan_prefix=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
    tsan_prefix=(setarch "$(uname -m)" -R)
fi

echo "== normal build"
bash scripts/build.sh build/normal
(cd build/normal && ctest --output-on-failure --timeout 900)

echo "== address and undefined-behaviour sanitizers"
bash scripts/build.sh build/asan address
(cd build/asan && ctest --output-on-failure --timeout 900)

echo "== thread sanitizer"
bash scripts/build.sh build/tsan thread
(cd build/tsan && "${tsan_prefix[@]}" ctest --output-on-failure --timeout 900)
