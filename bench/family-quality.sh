#!/bin/bash
# Look-alike quality benchmark on the family corpus (bench/family-corpus.sh).
#
# Groups the families and the distinct pictures with ovrin-cli at the defaults
# and, where the option exists, at each --similarity, and prints:
#   - families whole: all of orig, resized, recompressed, copy.png, progressive,
#     bright and crop in one group, mirror and grey free (goal >= 97%);
#   - groups that mix two families (goal <= 1 in 50), and which copy each group
#     keeps as its reference (goal: the original or a copy of its size);
#   - groups among the distinct pictures (goal 0), and which variants of one
#     scene group;
#   - search order: for each family's orig.jpg, over an index of the families
#     with --sort, whether all its own copies come before every stranger (goal:
#     every search);
#   - groups --dir against an index creation of the same tree (goal <= 1.1x),
#     medians of OVRIN_RUNS runs (default 5).
#   bench/family-quality.sh [ovrin-cli groups options...]
# OVRIN_CORPUS names the corpus (default build/family-corpus, made when missing);
# OVRIN_CLI an ovrin-cli to measure instead of building build/normal.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh python3
corpus="${OVRIN_CORPUS:-$root/build/family-corpus}"
[ -e "$corpus/READY" ] || bash bench/family-corpus.sh "$corpus"

. bench/quality-cli.sh
QT_LOGGING_RULES="qt.gui.imageio*.warning=false" \
    python3 bench/family_quality.py "$(realpath "$cli")" "$corpus" "$@"
