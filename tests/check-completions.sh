#!/bin/sh
# Every command and option that `ovrin-cli --help` names is offered by each
# shell's completion, so a new option cannot be forgotten there.
#   tests/check-completions.sh OVRIN-CLI COMPLETION...
set -eu
cli=$1
shift
help=$("$cli" --help)
words=$(printf '%s\n' "$help" | sed -n 's/^ovrin-cli \([a-z]*\).*/\1/p; s/^ *ovrin-cli \([a-z]*\) .*/\1/p' | sort -u)
words="$words $(printf '%s\n' "$help" | grep -o -e '--[a-z][a-z-]*' | sort -u)"
status=0
for file in "$@"; do
    case $file in *.bash) bash -n "$file" ;; esac
    for word in $words; do
        name=${word#--}
        # fish names an option without its dashes (-l name)
        if ! grep -q -e "$word\b" -e "-l $name\b" -e "\b$name:" -e "-a $name\b" "$file"; then
            echo "$file: no completion for $word"
            status=1
        fi
    done
done
exit $status
