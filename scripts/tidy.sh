#!/bin/bash
# Runs clang-tidy with the committed .clang-tidy over the project's own
# sources as a build folder compiles them; fails on any finding.
#   scripts/tidy.sh [BUILD_DIR [FILE...]]
# BUILD_DIR defaults to build/normal and must have been configured (its
# compile_commands.json) and built far enough that the window's uic and moc
# output exists. FILEs narrow the run to those sources (paths or regexes of
# paths); without them every .cpp under src/ and bench/ is checked.
# Exits 77 (CTest's skip) when clang-tidy is not installed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "${1:-$root/build/normal}" && pwd)"
[ $# -gt 0 ] && shift

tidy="$(command -v clang-tidy-14 || command -v clang-tidy || true)"
runner="$(command -v run-clang-tidy-14 || command -v run-clang-tidy || true)"
if [ -z "$tidy" ] || [ -z "$runner" ]; then
    echo "clang-tidy not found: bash scripts/install-deps.sh installs it; tidy check skipped" >&2
    exit 77
fi
if [ ! -f "$dir/compile_commands.json" ]; then
    echo "$dir/compile_commands.json missing: configure that build folder first" >&2
    exit 1
fi

patterns=()
for file in "$@"; do
    [ -e "$file" ] && file="$(realpath "$file")"
    patterns+=("$file")
done
[ ${#patterns[@]} -eq 0 ] && patterns=("^$root/(src|bench)/.*\.cpp$")

log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
# run-clang-tidy always asks for colours; the log is read by grep and people.
"$runner" -clang-tidy-binary "$tidy" -p "$dir" -quiet -j "$(nproc)" "${patterns[@]}" 2>&1 |
    sed 's/\x1b\[[0-9;]*m//g' >"$log" || status=$?
# clang-tidy's own counts ("N warnings generated", mostly in Qt's headers
# and suppressed) are noise; findings are the lines that name a file.
grep -v -e '^[0-9]* warnings\? \(and [0-9]* errors\? \)\?generated\.$' -e '^Suppressed ' \
    -e '^Use -header-filter' -e '^clang-tidy-14 ' -e '^clang-tidy ' "$log" || true
if [ "$status" -ne 0 ] || grep -q -e ': warning: ' -e ': error: ' "$log"; then
    echo "clang-tidy found something (above); fix it, or for a false positive add // NOLINT(check): reason" >&2
    exit 1
fi
echo "clang-tidy: no findings"
