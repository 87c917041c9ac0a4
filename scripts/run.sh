#!/bin/bash
# Installs what is missing, builds, and starts Ovrin. Until the window exists
# it runs the command-line search on a small sample of pictures made here.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
bash scripts/build.sh build/normal

sample=build/sample
if [ ! -f "$sample/target.jpg" ]; then
    build/normal/bench/ovrin-make-corpus sample "$sample"
fi
echo "Pictures under $sample/photos that look like $sample/target.jpg:"
exec build/normal/src/cli/ovrin-cli search "$sample/target.jpg" --dir "$sample/photos"
