#!/bin/bash
# Decoding benchmark, format by format.
#
# Builds once a corpus of the same photographs (Debian's wallpaper packages,
# resized to 1.5 to 5 megapixels) written as JPEG, PNG, WebP, GIF, BMP and
# TIFF (half of the TIFFs uncompressed, half LZW), OVRIN_FORMAT_FILES files per
# format (default 320), and the first OVRIN_NEWER_FILES of them (default 64:
# the newer formats' encoders take up to seconds per picture, so that these are
# made once in minutes and cached apart from the rest) as HEIC and AVIF, with
# and without an embedded thumbnail of 320 pixels (heif-enc, x265 at its
# fastest preset; avifenc), JPEG XL (cjxl, default and progressive) and DNG
# (a mosaic with and without a JPEG preview, see ovrin-make-formats dng), then
# reports, each time the best of 3 with the files in the page cache:
#   - per format, the floor: the format's own library decoding the same files in
#     one process on one thread (JPEG: libjpeg at 1/8 scale; PNG: libpng;
#     WebP: libwebp scaling to 1/8 while it decodes; GIF: giflib; TIFF:
#     libtiff; BMP: the file read and its rows converted; HEIC, AVIF: libheif,
#     the thumbnail where there is one; JPEG XL: libjxl up to its 1/8 DC image;
#     DNG: libraw's preview, a JPEG at 1/8 scale, else a half-size development),
#     against ImageLoader::loadThumbnail(path, 8) over the same files on one
#     thread, and their ratio (target <= 1.30), in processor time; for JPEG
#     also wall-clock time per file against ovrin-jpeg-floor;
#   - a picture of 100.8 megapixels in every format (and a progressive JPEG,
#     HEIC, AVIF at 4:4:4 and 4:2:0, JPEG XL, DNG with and without a preview,
#     lossless WebP):
#     loaded or not, seconds and peak resident memory (all within the 1 GiB
#     decode budget; goal <= 300 MB), what the decode reserved of the budget
#     (at least its share of the peak), and the peak of the format's library
#     decoding it alone (ovrin-format-floor: HEIF planes, JPEG XL whole,
#     libraw's half-size development, libwebp at 1/8), and when each decode
#     ends if stopped 200 ms after it began;
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
newer="${OVRIN_NEWER_FILES:-64}"
[ "$newer" -le "$count" ] || newer=$count
compare=0
[ "${1:-}" = "--compare" ] && compare=1

bash scripts/install-deps.sh mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers time strace libpng-dev libtiff-dev libwebp-dev libgif-dev \
    libheif-dev libjxl-dev libraw-dev libheif-examples libavif-bin libjxl-tools
# only the benchmark's own programs: the rest of the project is not measured here
cmake -S . -B build/normal -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIN_WERROR=ON >/dev/null
cmake --build build/normal --parallel "$(nproc)" --target ovrin-make-formats ovrin-format-floor \
    ovrin-load-files ovrin-jpeg-floor >/dev/null
bin=build/normal/bench
export QT_LOGGING_RULES="qt.gui.imageio*=false"
# libraw parallelises its development with OpenMP; the floors and the loader run on one thread
export OMP_NUM_THREADS=1

corpus="$work/formats"
if [ "$(find "$corpus/bmp" -name '*.bmp' 2>/dev/null | wc -l)" -lt "$count" ]; then
    rm -rf "$corpus"
    mapfile -t sources < <(find /usr/share/backgrounds /usr/share/wallpapers -type f \
        \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) 2>/dev/null | sort)
    echo "Making the format corpus from ${#sources[@]} wallpapers..."
    "$bin/ovrin-make-formats" corpus "$corpus" "$count" "${sources[@]}" 2>/dev/null
fi

# The newer formats, one file at a time from the corpus's PNGs, two encoders at
# a time; each file is written apart and moved in place, so that an
# interrupted run resumes where it stopped.
encode() { # IN OUT COMMAND: COMMAND (run by bash) reads $in and writes $part
    [ -s "$2" ] && return 0
    local part
    part="$work/parts/$(basename "$(dirname "$2")")-$(basename "$2")" # keeps the suffix the encoders go by
    mkdir -p "$work/parts"
    in="$1" part="$part" bash -c "$3" && mv "$part" "$2"
}
export -f encode
export work bin
makeNewer() { # DIR SUFFIX COMMAND
    local dir="$1" ext="$2" command="$3"
    mkdir -p "$dir"
    [ "$(find "$dir" -name "*.$ext" | wc -l)" -ge "$newer" ] && return 0
    echo "Making $newer files in $dir..."
    find "$corpus/png" -name '*.png' | sort | head -n "$newer" | while read -r in; do
        printf '%s\0%s\0%s\0' "$in" "$dir/$(basename "$in" .png).$ext" "$command"
    done | xargs -0 -n 3 -P 2 bash -c 'encode "$@"' _ >/dev/null 2>&1 || true
}
newerDir="$work/newer"
makeNewer "$newerDir/heic" heic 'heif-enc -q 80 -p preset=ultrafast -o "$part" "$in"'
makeNewer "$newerDir/heic-thumb" heic 'heif-enc -q 80 -p preset=ultrafast -t 320 -o "$part" "$in"'
makeNewer "$newerDir/avif" avif 'avifenc -j 1 -s 8 "$in" "$part"'
makeNewer "$newerDir/avif-thumb" avif 'heif-enc -A -q 70 -p speed=8 -t 320 -o "$part" "$in"'
makeNewer "$newerDir/jxl" jxl 'cjxl "$in" "$part" --num_threads=1'
makeNewer "$newerDir/jxl-progressive" jxl 'cjxl "$in" "$part" --progressive_ac --progressive_dc=1 --num_threads=1'
makeNewer "$newerDir/dng-preview" dng '"$bin/ovrin-make-formats" dng "$in" "$part" preview'
makeNewer "$newerDir/dng" dng '"$bin/ovrin-make-formats" dng "$in" "$part" bare'

huge="$work/huge"
made=0
for file in jpeg/huge.jpg jpeg/huge-progressive.jpg png/huge.png webp/huge.webp gif/huge.gif bmp/huge.bmp tiff/huge.tif; do
    [ -s "$huge/$file" ] && made=$((made + 1))
done
if [ "$made" -lt 7 ]; then
    source=$(find /usr/share/backgrounds /usr/share/wallpapers -type f -iname '*.jpg' \
        -size +1M 2>/dev/null | sort | head -1)
    echo "Making 100-megapixel pictures from $source..."
    "$bin/ovrin-make-formats" huge "$huge" "$source" 2>/dev/null
fi
# The newer formats at 100.8 megapixels, from the PNG above; those an encoder
# cannot write at this size are said so in the table below.
hugeNewer() { # OUT COMMAND
    local failed="$work/huge-not-made/$(basename "$1")"
    [ -s "$1" ] || [ -e "$failed" ] || {
        echo "Making $1..."
        mkdir -p "$(dirname "$1")" "$(dirname "$failed")"
        encode "$huge/png/huge.png" "$1" "$2" >"$failed.log" 2>&1 || touch "$failed"
    }
}
hugeNewer "$huge/heic/huge.heic" 'heif-enc -q 80 -p preset=ultrafast -t 320 -o "$part" "$in"'
hugeNewer "$huge/avif/huge.avif" 'avifenc -j 2 -s 9 "$in" "$part"'
hugeNewer "$huge/avif/huge-420.avif" 'avifenc -j 2 -s 9 -y 420 "$in" "$part"'
hugeNewer "$huge/jxl/huge.jxl" 'cjxl "$in" "$part" --num_threads=2'
hugeNewer "$huge/dng/huge-preview.dng" '"$bin/ovrin-make-formats" dng "$in" "$part" preview'
hugeNewer "$huge/dng/huge.dng" '"$bin/ovrin-make-formats" dng "$in" "$part" bare'
hugeNewer "$huge/webp/huge-lossless.webp" '"$bin/ovrin-make-formats" webp-lossless "$in" "$part"'

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
printf "%-15s %6s %7s %10s %11s %8s %7s\n" format files size floor-cpu-s loader-cpu-s ms/file ratio
for name in jpeg png webp gif bmp tiff newer/{heic,heic-thumb,avif,avif-thumb,jxl,jxl-progressive,dng-preview,dng}; do
    floorFormat=$name
    case $name in
    newer/heic* | newer/avif*) floorFormat=heif ;;
    newer/jxl*) floorFormat="jxl jxl-full" ;; # the cheaper: the DC step costs about a whole decode
    newer/dng*) floorFormat=raw ;;
    esac
    if [ "${name#newer/}" != "$name" ]; then dir="$newerDir/${name#newer/}"; else dir="$corpus/$name"; fi
    name=${name#newer/}
    cat "$dir"/* >/dev/null
    files=$(find "$dir" -type f | wc -l)
    size=$(du -sh "$dir" | cut -f1)
    floor=$(for f in $floorFormat; do for _ in 1 2 3; do
        "$bin/ovrin-format-floor" "$f" "$dir" 2>/dev/null | awk '{print $3}'
    done; done | best)
    loader=$(for _ in 1 2 3; do "$bin/ovrin-load-files" "$dir" | awk '{print $3}'; done | best)
    failed=$("$bin/ovrin-load-files" "$dir" | awk '{print $4}')
    awk -v f="$name" -v n="$files" -v s="$size" -v a="$floor" -v b="$loader" -v x="$failed" 'BEGIN {
        printf "%-15s %6d %7s %10.3f %11.3f %8.2f %7.2f%s\n", f, n, s, a, b, 1000 * b / n, b / a,
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
for file in "$work"/huge-not-made/*; do
    [ -e "$file" ] && [ "${file%.log}" = "$file" ] &&
        printf "  %-22s not made: %s\n" "$(basename "$file")" "$(grep -v '^$' "$file.log" | tail -1)"
done
for file in "$huge"/*/*; do
    name=$(basename "$file")
    cat "$file" >/dev/null
    /usr/bin/time -o "$work/$name.time" -f "%e %M" "$bin/ovrin-load-files" --list "$file" \
        >"$work/$name.txt" 2>"$work/$name.reserved"
    read -r secs kib <"$work/$name.time"
    reserved=$(awk '/^reserved/ {print $4}' "$work/$name.reserved")
    status=loaded
    [ "$(awk '{print $4}' "$work/$name.txt" | tail -1)" = 0 ] || status="NOT loaded: $(head -1 "$work/$name.txt")"
    # The least the format's library takes for the same picture on its own
    # (ovrin-format-floor, which also holds the whole file in memory).
    floor=
    case $file in
    *.heic | *.avif) floor=heif-planes ;;
    *.jxl) floor=jxl-full ;;
    */huge.dng) floor=raw ;;
    *.webp) floor=webp ;;
    esac
    alone=-
    if [ -n "$floor" ]; then
        rm -rf "$work/floor-one" && mkdir -p "$work/floor-one" && ln -s "$(realpath "$file")" "$work/floor-one/"
        alone=$( { /usr/bin/time -f "%M" "$bin/ovrin-format-floor" "$floor" "$work/floor-one" >/dev/null; } 2>&1 | tail -1)
        alone=$(awk -v k="$alone" 'BEGIN { printf "%.0f", k / 1024 }')
    fi
    awk -v f="$name" -v s="$secs" -v k="$kib" -v st="$status" -v b="$(du -h "$file" | cut -f1)" -v a="$alone" \
        -v r="${reserved:--}" 'BEGIN {
        printf "  %-22s %5s  %6.2f s  peak RSS %5.0f MB (reserved %4s, library alone %4s)  %s\n", f, b, s, k / 1024, r, a, st }'
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
