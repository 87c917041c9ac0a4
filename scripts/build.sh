#!/bin/bash
# Configures and builds one flavour of the project.
#   scripts/build.sh DIR [SANITIZER]    SANITIZER: address or thread
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"
sanitizer="${2:-}"
build_type=RelWithDebInfo
[ -n "$sanitizer" ] && build_type=Debug
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    -DOVRIN_SANITIZER="$sanitizer" -DOVRIN_WERROR=ON >/dev/null
cmake --build "$dir" --parallel "$(nproc)"
