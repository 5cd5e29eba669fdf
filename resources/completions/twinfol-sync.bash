# bash completion for twinfol-sync: its options, the values some of them take, and for the rest
# folders and profile files (.twp). Installed as share/bash-completion/completions/twinfol-sync.

_twinfol_sync()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    local IFS=$'\n'
    case $prev in
    --direction)
        COMPREPLY=($(compgen -W $'1to2\n2to1' -- "$cur"))
        return
        ;;
    --max-delete | --trash-days | --jobs | -j | --ignore | --max-size | --min-size)
        COMPREPLY=()
        return
        ;;
    --schedule)
        COMPREPLY=($(compgen -W $'hourly\ndaily\nweekly\non-mount' -- "$cur"))
        return
        ;;
    --undo | --history | --source-at | --target-at)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    --exclude | --log-file | --ignore-file | --ssh-key)
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        local options='--no-add --delete --no-subfolders --confirm --yes --trash --trash-days
            --ignore-hour-shift --replace-read-only --undo --history --exclude --ignore --ignore-file --max-size --min-size
            --delete-ignored --direction --max-delete -j --jobs --allow-empty-source -n --dry-run --plan
            --no-plan --json -q --quiet -v --verbose --log-file --ssh-key --source-at --target-at --notify --notify-wait
            --schedule --unschedule --schedules --watch --help -h --version --'
        COMPREPLY=($(IFS=$' \n' compgen -W "$options" -- "$cur"))
        return
    fi
    compopt -o filenames 2>/dev/null
    COMPREPLY=($(compgen -d -- "$cur") $(compgen -f -X '!*.twp' -- "$cur"))
}

complete -F _twinfol_sync twinfol-sync
