#!/bin/bash
# Folder-search and index benchmark.
#
# Builds a corpus of at least 1,000 JPEG files from Debian's wallpaper packages
# (the pictures re-encoded, resized and recompressed), then reports:
#   - seconds per file of `ovrin-cli search --dir` against the floor, the same
#     files decoded at 1/8 scale by libjpeg in one process (target: <= 1.3x);
#   - peak resident memory of the folder search over 1,000 and over 10,000
#     files (hard-linked copies; target: the larger tree costs < 10% more).
#   - seconds of `ovrin-cli search --index` over an index of 1,000,000 entries
#     (synthetic signatures under photo-library paths) against reading the
#     same file sequentially with cat (target: <= 2x), and its peak resident
#     memory (target: < 50 MB);
#   - seconds of `ovrin-cli index` against `ovrin-cli search --dir` over the
#     corpus (target: writing the index adds < 5%).
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
# Wall-clock seconds of one command, to the millisecond.
seconds() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}

floor=$(for _ in 1 2 3; do "$bin/bench/ovrin-jpeg-floor" "$corpus" | awk '{print $2}'; done | best)
"$bin/src/cli/ovrin-cli" search "$target" --dir "$corpus" > "$work/hits.txt"
search=$(for _ in 1 2 3; do seconds "$bin/src/cli/ovrin-cli" search "$target" --dir "$corpus"; done | best)
indexing=$(for _ in 1 2 3; do seconds "$bin/src/cli/ovrin-cli" index "$corpus" "$work/corpus.ovi"; done | best)
rss1k=$(/usr/bin/time -f "%M" "$bin/src/cli/ovrin-cli" search "$target" --dir "$corpus" 2>&1 >/dev/null | tail -1)
rss10k=$(/usr/bin/time -f "%M" "$bin/src/cli/ovrin-cli" search "$target" --dir "$big" 2>&1 >/dev/null | tail -1)

million="$work/million.ovi"
[ -f "$million" ] || "$bin/bench/ovrin-make-index" "$million" 1000000
cat "$million" > /dev/null
readTime=$(for _ in 1 2 3; do seconds cat "$million"; done | best)
indexSearch=$(for _ in 1 2 3; do seconds "$bin/src/cli/ovrin-cli" search "$target" --index "$million"; done | best)
rssIndex=$(/usr/bin/time -f "%M" "$bin/src/cli/ovrin-cli" search "$target" --index "$million" 2>&1 >/dev/null | tail -1)

echo
echo "corpus: $files JPEG files, $(du -sh "$corpus" | cut -f1); target $(basename "$target")"
echo "hits for the target: $(wc -l < "$work/hits.txt")"
sed 's|'"$corpus"'/||' "$work/hits.txt" | head -20
awk -v f="$floor" -v s="$search" -v n="$files" 'BEGIN {
    printf "floor (libjpeg 1/8 decode): %.2f s, %.2f ms per file\n", f, 1000 * f / n
    printf "ovrin-cli search --dir:     %.2f s, %.2f ms per file\n", s, 1000 * s / n
    printf "ratio to the floor:         %.2f (target <= 1.30)\n", s / f }'
awk -v i="$indexing" -v s="$search" 'BEGIN {
    printf "ovrin-cli index (same corpus): %.2f s (+%.1f%% over the search, target < 5%%)\n", i, 100 * (i - s) / s }'
awk -v r="$readTime" -v s="$indexSearch" -v m="$rssIndex" -v size="$(stat -c %s "$million")" 'BEGIN {
    printf "index of 1,000,000 entries:  %.0f MB\n", size / 1e6
    printf "cat of the index:            %.3f s\n", r
    printf "ovrin-cli search --index:    %.3f s (%.1fx the read, target <= 2x)\n", s, s / r
    printf "peak RSS, index search:      %d KiB (target < 50 MB)\n", m }'
awk -v a="$rss1k" -v b="$rss10k" 'BEGIN {
    printf "peak RSS, 1,000 files:      %d KiB\n", a
    printf "peak RSS, 10,000 files:     %d KiB (+%.1f%%, target < 10%%)\n", b, 100 * (b - a) / a }'
