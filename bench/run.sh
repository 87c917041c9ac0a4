#!/bin/bash
# Folder-search benchmark on real photographs.
#
# Builds a corpus of at least 1,000 JPEG files from Debian's wallpaper packages
# (the pictures re-encoded, resized and recompressed), then reports:
#   - seconds per file of `ovrin-cli search --dir` against the floor, the same
#     files decoded at 1/8 scale by libjpeg in one process (target: <= 1.3x);
#   - peak resident memory of the folder search over 1,000 and over 10,000
#     files (hard-linked copies; target: the larger tree costs < 10% more).
# Files stay in the page cache for every timed run; each time is the best of 3.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
work="${OVRIN_BENCH_DIR:-$root/build/bench}"

bash scripts/install-deps.sh
extra=(mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers time)
missing=()
for package in "${extra[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=(); [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
bash scripts/build.sh build/normal >/dev/null
bin=build/normal

corpus="$work/corpus"
if [ "$(find "$corpus" -name '*.jpg' 2>/dev/null | wc -l)" -lt 1000 ]; then
    rm -rf "$corpus"
    mapfile -t sources < <(find /usr/share/backgrounds /usr/share/wallpapers -type f \
        \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) 2>/dev/null | sort)
    echo "Making the corpus from ${#sources[@]} wallpapers..."
    QT_LOGGING_RULES="qt.gui.imageio*.warning=false" "$bin/bench/ovrin-make-corpus" variants "$corpus" 1000 "${sources[@]}"
fi
files=$(find "$corpus" -name '*.jpg' | wc -l)
target=$(find "$corpus" -name '*-orig.jpg' | sort | head -1)

big="$work/tree10k"
if [ "$(find "$big" -name '*.jpg' 2>/dev/null | wc -l)" -lt $((files * 10)) ]; then
    rm -rf "$big"; mkdir -p "$big"
    for i in $(seq 0 9); do cp -al "$corpus" "$big/copy$i"; done
fi

cat "$corpus"/*.jpg > /dev/null

best() { sort -g | head -1; }

floor=$(for _ in 1 2 3; do "$bin/bench/ovrin-jpeg-floor" "$corpus" | awk '{print $2}'; done | best)
search=$(for _ in 1 2 3; do
    /usr/bin/time -f "%e" -o "$work/time.txt" "$bin/src/cli/ovrin-cli" search "$target" --dir "$corpus" > "$work/hits.txt"
    cat "$work/time.txt"
done | best)
rss1k=$(/usr/bin/time -f "%M" "$bin/src/cli/ovrin-cli" search "$target" --dir "$corpus" 2>&1 >/dev/null | tail -1)
rss10k=$(/usr/bin/time -f "%M" "$bin/src/cli/ovrin-cli" search "$target" --dir "$big" 2>&1 >/dev/null | tail -1)

echo
echo "corpus: $files JPEG files, $(du -sh "$corpus" | cut -f1); target $(basename "$target")"
echo "hits for the target: $(wc -l < "$work/hits.txt")"
sed 's|'"$corpus"'/||' "$work/hits.txt" | head -20
awk -v f="$floor" -v s="$search" -v n="$files" 'BEGIN {
    printf "floor (libjpeg 1/8 decode): %.2f s, %.2f ms per file\n", f, 1000 * f / n
    printf "ovrin-cli search --dir:     %.2f s, %.2f ms per file\n", s, 1000 * s / n
    printf "ratio to the floor:         %.2f (target <= 1.30)\n", s / f }'
awk -v a="$rss1k" -v b="$rss10k" 'BEGIN {
    printf "peak RSS, 1,000 files:      %d KiB\n", a
    printf "peak RSS, 10,000 files:     %d KiB (+%.1f%%, target < 10%%)\n", b, 100 * (b - a) / a }'
