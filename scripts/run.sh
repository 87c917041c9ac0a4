#!/bin/bash
# Installs what is missing, builds, and starts Ovrin. Without a display to
# show the window on, it runs the command-line search on a small sample of
# pictures made here instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
# Only what starting needs, in a build folder of its own: no tests, no
# benchmarks (scripts/test.sh builds those in build/normal).
cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIN_WERROR=ON \
    -DOVRIN_BUILD_TESTS=OFF >/dev/null

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    cmake --build build/run --parallel "$(nproc)" --target ovrin
    exec build/run/src/ui/ovrin
fi

echo "No display found: running the command-line search on a sample instead."
cmake --build build/run --parallel "$(nproc)" --target ovrin-cli ovrin-make-corpus
sample=build/sample
if [ ! -f "$sample/target.jpg" ]; then
    build/run/bench/ovrin-make-corpus sample "$sample"
fi
echo "Pictures under $sample/photos that look like $sample/target.jpg:"
exec build/run/src/cli/ovrin-cli search "$sample/target.jpg" --dir "$sample/photos"
