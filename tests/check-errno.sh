#!/bin/sh
# Keeps the error rule: errno is read in src/platform/fs alone, which turns it
# into a LoadFailure, a Refusal or an error number its functions answer. Any
# other source (tests aside) that names it fails here.
set -eu
found=$(grep -rnw errno src --include='*.cpp' --include='*.h' |
    grep -v -e '^src/platform/fs/' -e '^src/[a-z/]*/tests/' || true)
[ -z "$found" ] || {
    echo "errno outside src/platform/fs (use its functions' error numbers):"
    echo "$found"
    exit 1
}
