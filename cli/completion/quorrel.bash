# Bash completion for quorrel: its commands, each command's options, the values of --format and
# --interface, and file names where a command takes a file.

_quorrel() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local common="--timeout --interface --target --verbose --help"
    local command="" word
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in
            discover|set|apply|upload|watch|doctor) command=$word; break ;;
        esac
    done

    case $prev in
        --format)
            if [[ $command == discover ]]; then
                COMPREPLY=($(compgen -W "table json csv" -- "$cur"))
            else
                COMPREPLY=($(compgen -W "text json" -- "$cur"))
            fi
            return ;;
        --interface)
            COMPREPLY=($(compgen -W "$(ls /sys/class/net 2>/dev/null)" -- "$cur"))
            return ;;
        --timeout|--target|--static|--mask|--gateway|--unit|--jobs|--retries|--interval)
            COMPREPLY=()
            return ;;
    esac

    local options
    case $command in
        "")       options="--version $common" ;;
        discover) options="--format $common" ;;
        set)      options="--dhcp --static --mask --gateway --dry-run --no-verify --force --allow-duplicate-address --format $common" ;;
        apply)    options="--dry-run --skip-missing --allow-duplicate-address --format $common" ;;
        upload)   options="--all --jobs --retries --format $common" ;;
        watch)    options="--interval --format $common" ;;
        doctor)   options="--unit --format $common" ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "discover set apply upload watch doctor" -- "$cur"))
    elif [[ $command == apply || $command == upload ]]; then
        compopt -o filenames 2>/dev/null
        COMPREPLY=($(compgen -f -- "$cur"))
    else
        COMPREPLY=()
    fi
}
complete -F _quorrel quorrel
