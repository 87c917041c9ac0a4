# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for ovrin-cli

_ovrin_cli()
{
    local cur prev words cword
    _init_completion -s || return

    if ((cword == 1)); then
        COMPREPLY=($(compgen -W 'search index check groups --help --version' -- "$cur"))
        return
    fi

    case $prev in
        --dir | --prefer | --protect)
            _filedir -d
            return
            ;;
        --index)
            _filedir
            return
            ;;
        --similarity)
            COMPREPLY=($(compgen -W 'strict normal loose' -- "$cur"))
            return
            ;;
        --keep)
            COMPREPLY=($(compgen -W 'pixels size oldest newest path' -- "$cur"))
            return
            ;;
        --format)
            COMPREPLY=($(compgen -W 'tsv csv json' -- "$cur"))
            return
            ;;
        --bits | --match-rate | --pixel-number | --jobs | --exclude)
            return
            ;;
    esac
    $split && return

    local options
    case ${words[1]} in
        search)
            options='--dir --index --bits --match-rate --pixel-number --jobs --verbose --sort
                --format --null --any-orientation --exclude --help'
            ;;
        index) options='--pixel-number --jobs --rebuild --verbose --exclude --help' ;;
        check) options='--help' ;;
        groups)
            options='--dir --index --bits --match-rate --pixel-number --jobs --format --exclude
                --similarity --keep --prefer --protect --any-orientation --help'
            ;;
        *) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${COMPREPLY-} == *= ]] && compopt -o nospace
        return
    fi
    [[ ${words[1]} != groups ]] && _filedir
}
complete -F _ovrin_cli ovrin-cli
