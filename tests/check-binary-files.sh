#!/bin/sh
# Rejects committed binary files outside the folders meant for them, so a
# build product or a stray picture does not slip into the history.
# Skips (77) outside a git checkout, where there is nothing to ask.
set -eu
allowed='^(src/[a-z]+/fuzz/(seeds|corpus)/|src/[a-z]+/tests/data/|tests/data/|src/ui/resources/hicolor/)'
git rev-parse --is-inside-work-tree >/dev/null 2>&1 || exit 77
# grep -I takes a file with a NUL byte for binary and matches nothing in it;
# an empty file is text.
found=$(git ls-files | grep -vE "$allowed" | while IFS= read -r file; do
    if [ -s "$file" ] && ! grep -Iq '' "$file"; then
        echo "binary file outside the allowed folders: $file"
    fi
done)
[ -z "$found" ] || { echo "$found"; exit 1; }
