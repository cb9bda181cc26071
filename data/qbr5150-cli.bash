# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion of qbr5150-cli. At every position: the value of the option
# before the cursor when it takes one, options when the word starts with '-',
# otherwise the command, then what the command takes (files, a chip name, the
# production commands).
_qbr5150_cli() {
    local cur prev words cword split
    _init_completion -s || return

    local commands="chips chip chip-sum detect read write verify erase auto blank-check version serial selftest update-firmware link doctor programmers production"
    local options="-c --chip --emulate --emulate-image --emulate-fault --emulate-speed --emulate-count --trace --replay --programmer --all --lang --db --json -q --quiet --version --help --production --serialize --counter --station"
    # Options that take a value: the word after one is its value, no command.
    local valued="-c --chip --emulate-image --emulate-fault --emulate-speed --emulate-count --trace --replay --programmer --lang --db --production --serialize --counter --station --offset --length --reads --backup --backup-dir --start --last --format --csv --since --html"

    case $prev in
        --lang)
            COMPREPLY=($(compgen -W "en zh" -- "$cur"))
            return ;;
        --emulate-speed)
            COMPREPLY=($(compgen -W "unlimited full" -- "$cur"))
            return ;;
        --replay)
            _filedir jsonl
            return ;;
        --db | --emulate-image | --trace | --backup | --production | --csv | --html)
            _filedir
            return ;;
        --backup-dir)
            _filedir -d
            return ;;
        --programmer)
            local ids
            ids=$(qbr5150-cli programmers 2>/dev/null | awk 'NF > 1 {print $1}')
            COMPREPLY=($(compgen -W "$ids" -- "$cur"))
            return ;;
        -c | --chip)
            _qbr5150_cli_chips
            return ;;
        --emulate)  # --emulate=CHIP; after a space the commands are offered below
            $split && { _qbr5150_cli_chips; return; } ;;
        --skip-blank)
            $split && { COMPREPLY=($(compgen -W "check" -- "$cur")); return; } ;;
        --emulate-fault)
            COMPREPLY=($(compgen -W "unplugged no-reply stray-replies stray-replies@ reject busy-forever selftest-fail \
                unplug@ replug@ short@ stall@ write-fail@ flip@ protect@" -- "$cur"))
            [[ ${#COMPREPLY[@]} -eq 1 && $COMPREPLY == *@ ]] && compopt -o nospace
            return ;;
        --offset | --length | --reads | --start | --last | --format | --since | --serialize | --counter | \
            --station | --emulate-count)
            return ;;
    esac
    $split && return

    # The command (and production's own command) given so far, skipping option values.
    local i word command="" sub=""
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ " $valued " == *" $word "* ]]; then
            ((i++))
        elif [[ $word == --emulate && " $commands " != *" ${words[i + 1]} "* ]]; then
            ((i++))  # the emulated chip's name, which --emulate may take
        elif [[ $word != -* ]]; then
            if [[ -z $command ]]; then
                command=$word
            elif [[ $command == production && -z $sub ]]; then
                sub=$word
            fi
        fi
    done

    if [[ $cur == -* ]]; then
        case ${sub:-$command} in
            counter) options+=" --start --last --format" ;;
            export) options+=" --csv" ;;
            report) options+=" --since --html" ;;
            read) options+=" --offset --length --reads" ;;
            verify) options+=" --offset --length --diff --cut" ;;
            write) options+=" --offset --length --skip-blank --skip-blank=check --backup --backup-dir --cut --no-verify" ;;
            erase) options+=" --backup --backup-dir" ;;
            auto) options+=" --backup --backup-dir --cut" ;;
            update-firmware) options+=" --yes" ;;
            blank-check) options+=" --offset --length" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    case ${sub:-$command} in
        "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
        production) COMPREPLY=($(compgen -W "counter export report" -- "$cur")) ;;
        chip) _qbr5150_cli_chips ;;
        read | write | verify | auto | update-firmware | chip-sum | counter | export | report) _filedir ;;
    esac
}

# The chip names of the database.
_qbr5150_cli_chips() {
    local names
    names=$(qbr5150-cli chips 2>/dev/null | awk 'NF > 1 && !/!$/ {print $1}')
    COMPREPLY=($(compgen -W "$names" -- "$cur"))
}
complete -F _qbr5150_cli qbr5150-cli
