#!/bin/bash
# Builds the family corpus that bench/family-quality.sh measures groups on, from
# the wallpapers and photographs of Debian's packages, outside the repository:
#   bench/family-corpus.sh [OUT]      (default: build/family-corpus)
#
# A scene is one picture; a package that ships it at several sizes, as a
# portrait crop or as a dark or light version gives one scene whose other files
# are its variants. Files with the same bytes count once. Each scene's largest
# ordinary file, laid on white and brought down to at most 2048 pixels a side,
# is its original; of the scenes that are blank on white (drawn on transparency)
# only the first is kept, as blank pictures cannot be told apart. Layout:
#   OUT/families/SCENE/{orig.jpg, resized.jpg (50%), recompressed.jpg (quality
#       55), copy.png, progressive.jpg, bright.jpg (+8%), crop.jpg (96% of the
#       centre), mirror.jpg, grey.jpg}
#   OUT/distinct/SCENE.jpg          the originals, one per scene
#   OUT/variants/SCENE/N.jpg        every file of the scenes that have variants
#   OUT/scenes.tsv                  scene, source, source size
#   OUT/variants.tsv                scene, file, source
#   OUT/blank.tsv                   the blank scenes left out
#   OUT/README, and OUT/READY once everything is there
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="$(realpath -m "${1:-$root/build/family-corpus}")"

bash "$root/scripts/install-deps.sh" imagemagick librsvg2-bin \
    mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers ukui-wallpapers \
    lomiri-wallpapers desktop-base xfdesktop4-data sway-backgrounds

# Prints "scene<TAB>rank<TAB>path" for every candidate file; rank 0 is an
# ordinary version, 1 a dark, light or portrait one.
candidates() {
    local dir scene file base key rank
    for dir in /usr/share/wallpapers/*/contents; do
        scene="plasma-$(basename "$(dirname "$dir")")"
        for file in "$dir"/images/*.jpg "$dir"/images/*.png "$dir"/images_dark/*.jpg "$dir"/images_dark/*.png; do
            [ -f "$file" ] || continue
            case "$file" in */images_dark/*) rank=1 ;; *) rank=0 ;; esac
            printf '%s\t%s\t%s\n' "$scene" "$rank" "$file"
        done
    done
    # The boot and login themes of desktop-base: their wallpapers as pictures.
    for file in /usr/share/desktop-base/*-theme/grub/grub-16x9.png; do
        [ -f "$file" ] || continue
        scene="debian-$(basename "${file%-theme/grub/*}")"
        printf '%s\t0\t%s\n' "$scene" "$file"
    done
    find /usr/share/backgrounds -type f \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \
        -o -iname '*.webp' -o -iname '*.svg' \) | sort | while read -r file; do
        base="$(basename "${file%.*}")"
        key="$(sed -E 's/_[0-9]+x[0-9]+(_Portrait)?$//; s/-[dl]$//; s/-(Dark|Light)$//;
                       s/^Ubuntu-Mate-.*-no-logo$/Ubuntu-Mate/' <<<"$base")"
        case "$base" in *Portrait | *-d | *-Dark | Ubuntu-Mate-[!C]*) rank=1 ;; *) rank=0 ;; esac
        case "$(dirname "$file")" in
            /usr/share/backgrounds) scene="bg-$key" ;;
            *) scene="$(basename "$(dirname "$file")")-$key" ;;
        esac
        printf '%s\t%s\t%s\n' "$scene" "$rank" "$file"
    done
}

# Writes a picture as a JPEG of at most 2048 pixels a side, laid on white.
flatten() {
    local source="$1" target="$2"
    if [[ "$source" == *.svg ]]; then
        rsvg-convert -w 2048 -b white -f png "$source" | convert png:- -quality 92 "$target"
    else
        convert -quiet "$source" -auto-orient -background white -flatten -resize '2048x2048>' \
            -quality 92 "$target"
    fi
}

# Makes one family from the scene's original.
family() {
    local scene="$1" source="$2" dir="$out/families/$1"
    mkdir -p "$dir"
    flatten "$source" "$dir/orig.jpg"
    cd "$dir"
    convert orig.jpg -resize 50% -quality 92 resized.jpg
    convert orig.jpg -quality 55 recompressed.jpg
    convert orig.jpg copy.png
    convert orig.jpg -interlace Plane -quality 92 progressive.jpg
    convert orig.jpg -modulate 108 -quality 92 bright.jpg
    convert orig.jpg -gravity center -crop 96%x96%+0+0 +repage -quality 92 crop.jpg
    convert orig.jpg -flop -quality 92 mirror.jpg
    convert orig.jpg -colorspace Gray -quality 92 grey.jpg
    cp orig.jpg "$out/distinct/$scene.jpg"
}
export -f family flatten
export out

rm -rf "$out"
mkdir -p "$out/families" "$out/distinct" "$out/variants"

# One line per distinct file: scene, rank, -pixels, path; byte-equal copies
# (plasma links every size to one file) and tiny pictures are dropped. Some
# pictures are drawn on transparency for a colour of the desktop's choosing:
# laid on white they are blank (rank 2), and blank pictures cannot be told apart.
declare -A seen
while IFS=$'\t' read -r scene rank file; do
    sum="$(md5sum <"$file")"
    [ -n "${seen[$sum]:-}" ] && continue
    seen[$sum]=1
    if [[ "$file" == *.svg ]]; then
        pixels=0
    else
        read -r w h alpha < <(identify -ping -format '%w %h %A\n' "${file}[0]" 2>/dev/null || echo 0 0 -)
        pixels=$((w * h))
        [ "$pixels" -ge 250000 ] || continue
        if [ "$alpha" = True ] && [ "$(convert -quiet "${file}[0]" -background white -flatten \
            -resize 256x256 -colorspace Gray -format '%[fx:standard_deviation < 0.005]' info:)" = 1 ]; then
            rank=2
        fi
    fi
    printf '%s\t%s\t%s\t%s\n' "$scene" "$rank" "$((-pixels))" "$file"
done < <(candidates) | sort -t$'\t' -k1,1 -k2,2n -k3,3n -k4,4 >"$out/files.tsv"

# The first file of each scene is its original; of the scenes that are blank
# on white, only the first is kept.
awk -F'\t' '!seen[$1]++ && ($2 < 2 || !blank++) {print $1 "\t" $4}' "$out/files.tsv" >"$out/originals.tsv"
awk -F'\t' '!seen[$1]++ && $2 == 2 && blank++ {print $1 "\t" $4}' "$out/files.tsv" >"$out/blank.tsv"
echo "Making $(wc -l <"$out/originals.tsv") families in $out ..."
# shellcheck disable=SC2016 # expanded by the inner shell
tr '\t\n' '\0\0' <"$out/originals.tsv" | xargs -0 -n2 -P2 bash -c 'family "$0" "$1"'

: >"$out/scenes.tsv"
while IFS=$'\t' read -r scene source; do
    printf '%s\t%s\t%s\n' "$scene" "$source" \
        "$(identify -ping -format '%wx%h' "${source}[0]" 2>/dev/null || echo svg)" >>"$out/scenes.tsv"
done <"$out/originals.tsv"

: >"$out/variants.tsv"
awk -F'\t' '{n[$1]++} END {for (s in n) if (n[s] > 1) print s}' "$out/files.tsv" | sort |
    while read -r scene; do
        index=0
        mkdir -p "$out/variants/$scene"
        awk -F'\t' -v s="$scene" '$1 == s {print $4}' "$out/files.tsv" | while read -r source; do
            index=$((index + 1))
            flatten "$source" "$out/variants/$scene/$index.jpg"
            printf '%s\t%s\t%s\n' "$scene" "$index.jpg" "$source" >>"$out/variants.tsv"
        done
    done
rm "$out/files.tsv" "$out/originals.tsv"

families=$(find "$out/families" -mindepth 1 -maxdepth 1 -type d | wc -l)
distinct=$(find "$out/distinct" -type f | wc -l)
cat >"$out/README" <<EOF
Family corpus made by bench/family-corpus.sh from Debian's wallpaper packages.

families/SCENE/   $families families of 9 files: orig.jpg (the scene's largest ordinary
                  file, laid on white, at most 2048 pixels a side, quality 92),
                  resized.jpg (50%), recompressed.jpg (quality 55), copy.png,
                  progressive.jpg (interlaced), bright.jpg (-modulate 108),
                  crop.jpg (centre 96%x96%), mirror.jpg (-flop), grey.jpg (grey).
                  The first seven belong together; mirror and grey may join or not.
distinct/         $distinct pictures, the originals, one per scene: no two of them
                  are the same picture.
variants/SCENE/   $(wc -l <"$out/variants.tsv") files of the $(find "$out/variants" -mindepth 1 -type d | wc -l) scenes that a package ships at
                  several sizes, as a portrait crop or in a dark or light version
                  (variants.tsv: scene, file, source). They may group.
scenes.tsv        scene, source file, source size.
blank.tsv         $(wc -l <"$out/blank.tsv") scenes left out: blank when laid on white, like the one kept.
EOF
touch "$out/READY"
echo "$families families, $distinct distinct pictures, $(wc -l <"$out/variants.tsv") variant files"
