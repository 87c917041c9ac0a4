#!/bin/bash
# Look-alike grouping benchmark.
#
# Makes collections of 100,000 and 1,000,000 signatures (pixel number 8) from
# the photographs of Debian's wallpaper packages, as ovrin-groups-bench
# describes: stand-alone shots (random crops with their own exposure, contrast
# and tint) and sets of near copies of them; and collections of the same sizes
# of random signatures, the worst case for the bounds that spare comparisons.
# Each entry carries a fingerprint as well. Groups each at bits 3 and match
# rate 70 on every core and prints, for each: n, seconds, pairs compared and
# pruned, groups found, a digest of the result and peak resident memory.
# Targets: 100,000 in <= 5 s, 1,000,000 in <= 60 s on 2 cores.
#   bench/groups.sh [COUNT...]      (default: 100000 1000000)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh mate-backgrounds gnome-backgrounds plasma-workspace-wallpapers

build=build/normal
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVRIN_WERROR=ON >/dev/null
cmake --build "$build" --target ovrin-groups-bench >/dev/null

mapfile -t pictures < <(find /usr/share/backgrounds /usr/share/wallpapers -type f \
    \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \) 2>/dev/null | sort)
[ $# -gt 0 ] && counts=("$@") || counts=(100000 1000000)
for count in "${counts[@]}"; do
    echo
    QT_LOGGING_RULES="qt.gui.imageio*.warning=false" \
        "$build/bench/ovrin-groups-bench" "$count" --bits 3 --match-rate 70 "${pictures[@]}"
    echo
    "$build/bench/ovrin-groups-bench" "$count" --random --bits 3 --match-rate 70
done
