#!/bin/bash
# Installs what is missing, builds, and starts Ovrin. Without a display to
# show the window on, it runs the command-line search on a small sample of
# pictures made here instead.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
bash scripts/build.sh build/normal

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec build/normal/src/ui/ovrin
fi

echo "No display found: running the command-line search on a sample instead."
sample=build/sample
if [ ! -f "$sample/target.jpg" ]; then
    build/normal/bench/ovrin-make-corpus sample "$sample"
fi
echo "Pictures under $sample/photos that look like $sample/target.jpg:"
exec build/normal/src/cli/ovrin-cli search "$sample/target.jpg" --dir "$sample/photos"
