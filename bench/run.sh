#!/bin/bash
# Benchmark: every figure as a ratio to a floor measured in the same run.
#
# Corpus: at least 1,000 JPEG files made from Debian's wallpaper packages (the
# pictures re-encoded, resized and recompressed); a tree of 10,000 files of
# hard-linked copies. Reports:
#   - the folder search and the index creation with every core, against the
#     single-core floor: the same files decoded at 1/8 scale by libjpeg in one
#     process (target on 2 cores: at most 0.62x), and the speed-up from one
#     decoding thread to all of them;
#   - peak resident memory of the folder search over 1,000 and over 10,000
#     files (target: the larger tree costs at most 10% more);
#   - `ovrin-cli search --index` over an index of 1,000,000 entries against
#     reading the file with cat, start-up included (target: at most 2x), and
#     with --any-orientation against without (target: at most 3x; the folder
#     search with it against without: at most 1.1x);
#   - an index update of 10,000 unchanged pictures against a stat of every file
#     (`find -printf '%s %T@'`; target: at most 3x), the same with 1% of the
#     pictures replaced, and a full rebuild;
#   - each other format against its own library (bench/formats.sh), and the
#     look-alike groups of 100,000 and 1,000,000 entries (bench/groups.sh).
# The quality of look-alike groups and of the search order is measured apart, on a
# family corpus: bench/family-quality.sh (the corpus: bench/family-corpus.sh).
# Files stay in the page cache for every timed run; each time is the best of 3.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
work="${OVRIN_BENCH_DIR:-$root/build/bench}"
mkdir -p "$work"

bash scripts/install-deps.sh mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers time
bash scripts/build.sh build/normal >/dev/null
bin=build/normal
cli="$bin/src/cli/ovrin-cli"
cores=$(nproc)

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
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", e - s }'
}
bestOf3() { for _ in 1 2 3; do seconds "$@"; done | best; }

floor=$(for _ in 1 2 3; do "$bin/bench/ovrin-jpeg-floor" "$corpus" | awk '{print $2}'; done | best)
"$cli" search "$target" --dir "$corpus" > "$work/hits.txt"
search=$(bestOf3 "$cli" search "$target" --dir "$corpus")
searchOne=$(bestOf3 "$cli" search "$target" --dir "$corpus" --jobs 1)
searchAny=$(bestOf3 "$cli" search "$target" --dir "$corpus" --any-orientation)
indexing=$(bestOf3 "$cli" index "$corpus" "$work/corpus.ovi" --rebuild)
rss1k=$(/usr/bin/time -f "%M" "$cli" search "$target" --dir "$corpus" 2>&1 >/dev/null | tail -1)
rss10k=$(/usr/bin/time -f "%M" "$cli" search "$target" --dir "$big" 2>&1 >/dev/null | tail -1)

million="$work/million.ovi"
[ -f "$million" ] || "$bin/bench/ovrin-make-index" "$million" 1000000
cat "$million" > /dev/null
readTime=$(bestOf3 cat "$million")
indexSearch=$(bestOf3 "$cli" search "$target" --index "$million")
indexSearchAny=$(bestOf3 "$cli" search "$target" --index "$million" --any-orientation)
rssIndex=$(/usr/bin/time -f "%M" "$cli" search "$target" --index "$million" 2>&1 >/dev/null | tail -1)

# Index updates over 10,000 pictures: unchanged, then with 1% replaced by
# other pictures (new files, so the hard-linked copies stay as they were).
updateTree="$work/update10k"
rm -rf "$updateTree"; mkdir -p "$updateTree"
for i in $(seq 0 9); do cp -al "$corpus" "$updateTree/copy$i"; done
updateIndex="$work/update10k.ovi"
"$cli" index "$updateTree" "$updateIndex" --rebuild >/dev/null 2>&1
statWalk=$(bestOf3 find "$updateTree" -printf '%s %T@\n')
unchanged=$(bestOf3 "$cli" index "$updateTree" "$updateIndex")
mapfile -t all < <(find "$updateTree" -name '*.jpg' | sort)
replaced=0
for ((i = 0; i < ${#all[@]}; i += 100)); do
    cp --remove-destination "${all[$(( (i + 50) % ${#all[@]} ))]}" "${all[$i]}"
    touch -d "@$((1700000000 + i))" "${all[$i]}"
    replaced=$((replaced + 1))
done
start=$(date +%s.%N)
"$cli" index "$updateTree" "$updateIndex" 2> "$work/update.txt" >/dev/null
onePercent=$(awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f\n", e - s }')
updateLine=$(tail -1 "$work/update.txt")
rebuild=$(bestOf3 "$cli" index "$updateTree" "$work/rebuild10k.ovi" --rebuild)

echo
echo "machine: $cores hardware threads"
echo "corpus: $files JPEG files, $(du -sh "$corpus" | cut -f1); target $(basename "$target")"
echo "hits for the target: $(wc -l < "$work/hits.txt")"
awk -v f="$floor" -v s="$search" -v o="$searchOne" -v a="$searchAny" -v i="$indexing" -v n="$files" -v c="$cores" 'BEGIN {
    printf "floor (libjpeg 1/8 decode, 1 core):   %.2f s, %.2f ms per file\n", f, 1000 * f / n
    printf "search --dir, %d threads:              %.2f s, %.2f ms per file, %.2fx the floor (target <= 0.62 on 2 cores)\n", c, s, 1000 * s / n, s / f
    printf "search --dir --jobs 1:                %.2f s, %.2fx the floor\n", o, o / f
    printf "speed-up from 1 to %d threads:         %.2fx\n", c, o / s
    printf "search --dir --any-orientation:       %.2f s, %.2fx without (target <= 1.1x)\n", a, a / s
    printf "index, %d threads:                     %.2f s, %.2fx the floor\n", c, i, i / f }'
awk -v a="$rss1k" -v b="$rss10k" 'BEGIN {
    printf "peak RSS, 1,000 files:                %d KiB\n", a
    printf "peak RSS, 10,000 files:               %d KiB (%+.1f%%, target <= 10%%)\n", b, 100 * (b - a) / a }'
awk -v r="$readTime" -v s="$indexSearch" -v a="$indexSearchAny" -v m="$rssIndex" -v size="$(stat -c %s "$million")" 'BEGIN {
    printf "index of 1,000,000 entries:           %.0f MB\n", size / 1e6
    printf "cat of the index:                     %.3f s\n", r
    printf "search --index, start-up included:    %.3f s (%.2fx the read, target <= 2x)\n", s, s / r
    printf "search --index --any-orientation:     %.3f s (%.2fx without, target <= 3x)\n", a, a / s
    printf "peak RSS, index search:               %d KiB\n", m }'
awk -v w="$statWalk" -v u="$unchanged" -v p="$onePercent" -v b="$rebuild" -v k="$replaced" 'BEGIN {
    printf "stat of 10,000 files (find -printf):  %.3f s\n", w
    printf "index update, nothing changed:        %.3f s (%.2fx the stat walk, target <= 3x)\n", u, u / w
    printf "index update, %d pictures replaced:  %.3f s\n", k, p
    printf "index rebuild of the same tree:       %.3f s\n", b }'
echo "  $updateLine"

if [ -x bench/formats.sh ] || [ -f bench/formats.sh ]; then
    echo
    bash bench/formats.sh
fi
if [ -f bench/groups.sh ]; then
    echo
    bash bench/groups.sh
fi
