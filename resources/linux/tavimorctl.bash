# SPDX-License-Identifier: GPL-3.0-or-later
# bash completion for tavimorctl: commands, options, section and entry names, settings files.

# Runs tavimorctl with the options already typed that choose the registry and catalogue; never
# asks for a password (stdin is closed, so a guarded catalogue gives no names).
_tavimorctl_run() {
    "${_tavimorctl_cmd[@]}" "$@" </dev/null 2>/dev/null
}

_tavimorctl_sections() {
    _tavimorctl_run list | sed -nE 's/^[0-9]+ +(.*[^ ]) +[0-9]+ entr(y|ies)$/\1/p'
}

_tavimorctl_entries() {
    local section
    while IFS= read -r section; do
        _tavimorctl_run list "$section" | sed -nE '2,$ s/^([^ ]+( [^ ]+)*)  .*$/'"${section//\//\\/}"'\/\1/p'
    done < <(_tavimorctl_sections)
}

# Names with spaces: "complete -o filenames" makes bash quote them as it does file names.
_tavimorctl_words() {
    local IFS=$'\n'
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$cur")
}

_tavimorctl() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion || return
    else
        cur=${COMP_WORDS[COMP_CWORD]}
        prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
    fi
    COMPREPLY=()
    local commands="list show set apply diff save export-xml import-xml export-pol import-pol gpo drives password"
    local options="--target --file --password-file --json --program-folder --settings-folder --from --delete-unset --gpo --sysvol --url --templates --help --version"

    case $prev in
        --target)
            COMPREPLY=($(compgen -W "memory: file: wine: hive: windows: win9x: pol: gpo:" -- "$cur"))
            [[ $cur == ?*:* && $cur != memory:* ]] && COMPREPLY=($(compgen -P "${cur%%:*}:" -f -- "${cur#*:}"))
            compopt -o nospace 2>/dev/null
            return ;;
        --file | --from) COMPREPLY=($(compgen -f -X '!*.rds' -- "$cur") $(compgen -d -- "$cur")); return ;;
        --sysvol | --templates) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        --gpo | --url) return ;;
        --password-file) COMPREPLY=($(compgen -f -- "$cur")); return ;;
        --program-folder | --settings-folder) COMPREPLY=($(compgen -d -- "$cur")); return ;;
    esac

    # The command and its arguments so far, and the options that choose where names come from.
    _tavimorctl_cmd=("${words[0]}")
    local command="" i argument=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --target | --file | --program-folder | --settings-folder)
                _tavimorctl_cmd+=("${words[i]}" "${words[i + 1]}"); ((i++)) ;;
            --password-file | --from | --gpo | --sysvol | --url | --templates) ((i++)) ;;
            -*) ;;
            *) if [[ -z $command ]]; then command=${words[i]}; else ((argument++)); fi ;;
        esac
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case $command in
        "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
        list) ((argument == 0)) && _tavimorctl_words "$(_tavimorctl_sections)" ;;
        show | set) ((argument == 0)) && _tavimorctl_words "$(_tavimorctl_entries)" ;;
        apply | diff | save | export-xml)
            ((argument == 0)) && COMPREPLY=($(compgen -f -X '!*.rds' -- "$cur") $(compgen -d -- "$cur")) ;;
        import-xml)
            local pattern='!*.xml'
            ((argument == 1)) && pattern='!*.rds'
            ((argument < 2)) && COMPREPLY=($(compgen -f -X "$pattern" -- "$cur") $(compgen -d -- "$cur")) ;;
        export-pol) ((argument == 0)) && COMPREPLY=($(compgen -d -- "$cur")) ;;
        import-pol)
            ((argument == 0)) && COMPREPLY=($(compgen -d -- "$cur"))
            ((argument == 1)) && COMPREPLY=($(compgen -f -X '!*.rds' -- "$cur") $(compgen -d -- "$cur")) ;;
        gpo)
            ((argument == 0)) && COMPREPLY=($(compgen -W "push pull" -- "$cur"))
            ((argument == 1)) && COMPREPLY=($(compgen -f -X '!*.rds' -- "$cur") $(compgen -d -- "$cur")) ;;
        drives) ((argument == 0)) && COMPREPLY=($(compgen -W "none" -- "$cur")) ;;
    esac
}
complete -o filenames -F _tavimorctl tavimorctl
