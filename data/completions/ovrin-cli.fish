# SPDX-License-Identifier: GPL-3.0-or-later
# fish completion for ovrin-cli

set -l commands search index check groups
complete -c ovrin-cli -f
complete -c ovrin-cli -n "not __fish_seen_subcommand_from $commands" -a search -d 'List the pictures that look like a target picture'
complete -c ovrin-cli -n "not __fish_seen_subcommand_from $commands" -a index -d 'Write the signatures of a folder tree into an index file'
complete -c ovrin-cli -n "not __fish_seen_subcommand_from $commands" -a check -d 'Print the pixel number and size of an index file'
complete -c ovrin-cli -n "not __fish_seen_subcommand_from $commands" -a groups -d 'List the sets of look-alike pictures'
complete -c ovrin-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c ovrin-cli -s h -l help -d 'Print the usage'

complete -c ovrin-cli -n "__fish_seen_subcommand_from search index check" -F
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l dir -x -a '(__fish_complete_directories)' -d 'Folder tree'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l index -r -F -d 'Index file'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l bits -x -a '1 2 3 4' -d 'Colour bits compared per channel'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l match-rate -x -d 'Least share of agreeing pixels in percent'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search index groups" -l pixel-number -x -d 'Side of the thumbnail grid'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search index groups" -l jobs -x -d 'Decoding threads'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search index groups" -l exclude -r -d 'Leave out a folder or the names matching a pattern'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search index" -s v -l verbose -d 'List every skipped file with its reason'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l format -x -a 'tsv csv json' -d 'Output format'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search" -l sort -d 'Best hits first, printed at the end'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search" -s 0 -l null -d 'Records ended by NUL'
complete -c ovrin-cli -n "__fish_seen_subcommand_from search groups" -l any-orientation -d 'Also find turned and mirrored copies'
complete -c ovrin-cli -n "__fish_seen_subcommand_from index" -l rebuild -d 'Decode every picture again'
complete -c ovrin-cli -n "__fish_seen_subcommand_from groups" -l similarity -x -a 'strict normal loose' -d 'How alike in structure members must be'
complete -c ovrin-cli -n "__fish_seen_subcommand_from groups" -l keep -x -a 'pixels size oldest newest path' -d 'Which copy leads a group'
complete -c ovrin-cli -n "__fish_seen_subcommand_from groups" -l prefer -x -a '(__fish_complete_directories)' -d 'Copies under this folder lead first'
complete -c ovrin-cli -n "__fish_seen_subcommand_from groups" -l protect -x -a '(__fish_complete_directories)' -d 'Copies under this folder are never removed'
