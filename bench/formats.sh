#!/bin/bash
# Decoding benchmark, format by format.
#
# Builds once a corpus of the same photographs (Debian's wallpaper packages,
# resized to 1.5 to 5 megapixels) written as JPEG, PNG, WebP, GIF, BMP and
# TIFF (half of the TIFFs uncompressed, half LZW), OVRIN_FORMAT_FILES files per
# format (default 320), then reports, each time the best of 3 with the files in
# the page cache:
#   - per format, the floor: the format's own library decoding the same files in
#     one process on one thread (JPEG: libjpeg at 1/8 scale; PNG: libpng;
#     WebP: libwebp; GIF: giflib; TIFF: libtiff; BMP: the file read and its
#     rows converted), against ImageLoader::loadThumbnail(path, 8) over the same
#     files on one thread, and their ratio (target <= 1.30), in processor time;
#     for JPEG also wall-clock time per file against ovrin-jpeg-floor;
#   - a picture of 100.8 megapixels in every format (and a progressive JPEG):
#     loaded or not, seconds and peak resident memory (all within the 1 GiB
#     decode budget), and when each decode ends if stopped 200 ms after it began;
#   - a progressive JPEG of a few hundred bytes claiming 46000 x 46000 pixels:
#     refused (too large), seconds and peak resident memory;
#   - 2,000 PNGs of 64 x 48: seconds and system calls per file.
# With --compare, also how many rasters and signatures differ from what the
# previous loader (the toolkit's reader) gave for the same files.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
work="${OVRIN_BENCH_DIR:-$root/build/bench}"
count="${OVRIN_FORMAT_FILES:-320}"
compare=0
[ "${1:-}" = "--compare" ] && compare=1

bash scripts/install-deps.sh mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers time strace libpng-dev libtiff-dev libwebp-dev libgif-dev
bash scripts/build.sh build/normal >/dev/null
bin=build/normal/bench
export QT_LOGGING_RULES="qt.gui.imageio*=false"

corpus="$work/formats"
if [ "$(find "$corpus/bmp" -name '*.bmp' 2>/dev/null | wc -l)" -lt "$count" ]; then
    rm -rf "$corpus"
    mapfile -t sources < <(find /usr/share/backgrounds /usr/share/wallpapers -type f \
        \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) 2>/dev/null | sort)
    echo "Making the format corpus from ${#sources[@]} wallpapers..."
    "$bin/ovrin-make-formats" corpus "$corpus" "$count" "${sources[@]}" 2>/dev/null
fi
huge="$work/huge"
if [ "$(find "$huge" -name 'huge*' 2>/dev/null | wc -l)" -lt 7 ]; then
    source=$(find /usr/share/backgrounds /usr/share/wallpapers -type f -iname '*.jpg' \
        -size +1M 2>/dev/null | sort | head -1)
    echo "Making 100-megapixel pictures from $source..."
    "$bin/ovrin-make-formats" huge "$huge" "$source" 2>/dev/null
fi
liar="$work/liar/claims-46000.jpg"
mkdir -p "$(dirname "$liar")"
[ -f "$liar" ] || "$bin/ovrin-make-formats" liar "$liar"
small="$work/small-png"
if [ "$(find "$small" -name '*.png' 2>/dev/null | wc -l)" -lt 2000 ]; then
    "$bin/ovrin-make-formats" small "$small" 2000
fi

best() { sort -g | head -1; }

# Seconds of processor time (user and system) of each single-threaded run, so
# that other work on a shared machine does not blur the ratios.
echo
printf "%-5s %6s %7s %10s %11s %8s %7s\n" format files size floor-cpu-s loader-cpu-s ms/file ratio
for format in jpeg png webp gif bmp tiff; do
    dir="$corpus/$format"
    cat "$dir"/* >/dev/null
    files=$(find "$dir" -type f | wc -l)
    size=$(du -sh "$dir" | cut -f1)
    floor=$(for _ in 1 2 3; do "$bin/ovrin-format-floor" "$format" "$dir" 2>/dev/null | awk '{print $3}'; done | best)
    loader=$(for _ in 1 2 3; do "$bin/ovrin-load-files" "$dir" | awk '{print $3}'; done | best)
    failed=$("$bin/ovrin-load-files" "$dir" | awk '{print $4}')
    awk -v f="$format" -v n="$files" -v s="$size" -v a="$floor" -v b="$loader" -v x="$failed" 'BEGIN {
        printf "%-5s %6d %7s %10.3f %11.3f %8.2f %7.2f%s\n", f, n, s, a, b, 1000 * b / n, b / a,
            (x > 0 ? "  (" x " not loaded)" : "") }'
    if [ "$compare" = 1 ]; then
        "$bin/ovrin-load-files" --compare "$dir" | tail -1 | sed 's/^/      /'
    fi
done
echo "(target: ratio <= 1.30 for every format)"
jpegFloor=$(for _ in 1 2 3; do "$bin/ovrin-jpeg-floor" "$corpus/jpeg" | awk '{print $2}'; done | best)
jpegLoader=$(for _ in 1 2 3; do "$bin/ovrin-load-files" "$corpus/jpeg" | awk '{print $2}'; done | best)
awk -v a="$jpegFloor" -v b="$jpegLoader" -v n="$(find "$corpus/jpeg" -type f | wc -l)" 'BEGIN {
    printf "JPEG wall clock: ovrin-jpeg-floor %.2f ms per file, the loader %.2f ms per file (%.2fx)\n",
        1000 * a / n, 1000 * b / n, b / a }'

echo
echo "100.8-megapixel pictures (12000 x 8400), decode budget 1 GiB:"
for file in "$huge"/*/*; do
    name=$(basename "$file")
    cat "$file" >/dev/null
    out=$( { /usr/bin/time -f "%e %M" "$bin/ovrin-load-files" --list "$file" >"$work/$name.txt"; } 2>&1 | tail -1)
    read -r secs kib <<<"$out"
    status=loaded
    [ "$(awk '{print $4}' "$work/$name.txt" | tail -1)" = 0 ] || status="NOT loaded: $(head -1 "$work/$name.txt")"
    awk -v f="$name" -v s="$secs" -v k="$kib" -v st="$status" -v b="$(du -h "$file" | cut -f1)" 'BEGIN {
        printf "  %-22s %5s  %6.2f s  peak RSS %5.0f MB  %s\n", f, b, s, k / 1024, st }'
done

echo "Stopped 200 ms into the decode:"
for file in "$huge"/*/*; do
    "$bin/ovrin-load-files" --stop "$file" | sed "s|$huge/[a-z]*/||; s/^/  /"
done

echo
out=$( { /usr/bin/time -f "%e %M" "$bin/ovrin-load-files" --list "$(dirname "$liar")" >"$work/liar.txt"; } 2>&1 | tail -1)
read -r secs kib <<<"$out"
awk -v s="$secs" -v k="$kib" -v b="$(stat -c %s "$liar")" -v r="$(head -1 "$work/liar.txt" | sed 's/.*: //')" 'BEGIN {
    printf "progressive JPEG of %d bytes claiming 46000 x 46000: %s, %.2f s, peak RSS %.0f MB\n", b, r, s, k / 1024 }'

echo
cat "$small"/* >/dev/null
secs=$(for _ in 1 2 3; do "$bin/ovrin-load-files" "$small" | awk '{print $2}'; done | best)
strace -f -c -o "$work/small-png.strace" "$bin/ovrin-load-files" "$small" >/dev/null
calls=$(awk '$NF == "total" {print $4}' "$work/small-png.strace")
awk -v s="$secs" -v c="$calls" 'BEGIN {
    printf "2,000 PNGs of 64 x 48: %.3f s, %.2f ms per file, %.1f system calls per file\n", s, s / 2, c / 2000 }'
