#!/bin/bash
# Turned-copy benchmark on the family corpus (bench/family-corpus.sh).
#
# Beside each family's nine files it lays five turned copies of orig.jpg, in a
# work folder of the corpus (OUT/orientation/SCENE/): turned90, turned180 and
# turned270 (clockwise), and mirror (left to right, the family's own) and
# flipped (top to bottom). It indexes that tree once and, for each family's
# orig.jpg, runs an index search at the defaults without and with
# --any-orientation, and prints:
#   - turned copies found with the option (goal: every one), and how many of
#     them were reported in another form than the one they were made in;
#   - the family's other copies found, with and without the option;
#   - stranger hits (pictures of another family) over all searches, without
#     and with the option, and their growth (goal <= 10%), with the searches
#     that gained strangers and in which forms.
#   bench/orientation-quality.sh [ovrin-cli search options...]
# OVRIN_CORPUS names the corpus (default build/family-corpus, made when missing);
# OVRIN_CLI an ovrin-cli to measure instead of building build/normal.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh python3 imagemagick
corpus="${OVRIN_CORPUS:-$root/build/family-corpus}"
[ -e "$corpus/READY" ] || bash bench/family-corpus.sh "$corpus"

# The work folder: the families' files linked, the turned copies made once.
work="$corpus/orientation"
if [ ! -e "$work/READY" ]; then
    rm -rf "$work"
    for family in "$corpus"/families/*/; do
        scene="$(basename "$family")"
        mkdir -p "$work/$scene"
        ln "$family"/* "$work/$scene/" 2>/dev/null || cp "$family"/* "$work/$scene/"
        (
            cd "$work/$scene"
            convert -quiet orig.jpg -rotate 90 -quality 92 turned90.jpg
            convert -quiet orig.jpg -rotate 180 -quality 92 turned180.jpg
            convert -quiet orig.jpg -rotate 270 -quality 92 turned270.jpg
            convert -quiet orig.jpg -flip -quality 92 flipped.jpg
        )
    done
    touch "$work/READY"
fi

. bench/quality-cli.sh
QT_LOGGING_RULES="qt.gui.imageio*.warning=false" \
    python3 bench/orientation_quality.py "$(realpath "$cli")" "$work" "$@"
