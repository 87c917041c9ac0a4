#!/bin/sh
# Keeps ARCHITECTURE.md's layout tree true: every folder git holds has its
# line there and every line names a folder git holds. The folders below the
# fuzz seeds and the icon sizes are summed up on their parent's line.
# Skips (77) outside a git checkout, where there is nothing to ask.
set -eu
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || exit 77
summed='^(src/platform/fuzz/seeds|src/ui/resources/hicolor)/'
held=$(git ls-files | sed -n 's|/[^/]*$||p' |
    awk -F/ '{ p = $1; print p; for (i = 2; i <= NF; i++) { p = p "/" $i; print p } }' |
    grep -vE "$summed" | sort -u)
listed=$(awk '/^## Layout/ { on = 1 } on && /^```/ { n++; next } on && n == 1 { print $1 }' \
    ARCHITECTURE.md | sed 's|/$||' | sort -u)
missing=$(printf '%s\n' "$held" | grep -vxF "$listed" || true)
stale=$(printf '%s\n' "$listed" | grep -vxF "$held" || true)
[ -z "$missing" ] || { echo "folders missing from ARCHITECTURE.md's layout:"; echo "$missing"; }
[ -z "$stale" ] || { echo "ARCHITECTURE.md's layout names folders git does not hold:"; echo "$stale"; }
[ -z "$missing$stale" ]
