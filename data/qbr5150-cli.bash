# SPDX-License-Identifier: GPL-3.0-or-later
# Bash completion of qbr5150-cli.
_qbr5150_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="chips chip chip-sum detect read write verify erase auto version serial selftest update-firmware link doctor programmers production"
    local options="-c --chip --emulate --emulate-image --emulate-fault --emulate-speed --trace --replay --lang --db --json -q --quiet --version --help --serialize --production --counter --station --emulate-count --programmer --all"

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
        --db | --emulate-image | --trace | --backup | --production | --csv | counter | export | read | write | verify | auto | update-firmware | chip-sum)
            _filedir
            return ;;
        --programmer)
            local ids
            ids=$(qbr5150-cli programmers 2>/dev/null | awk 'NF > 1 {print $1}')
            COMPREPLY=($(compgen -W "$ids" -- "$cur"))
            return ;;
        -c | --chip | chip)
            local names
            names=$(qbr5150-cli chips 2>/dev/null | awk 'NF > 1 && !/!$/ {print $1}')
            COMPREPLY=($(compgen -W "$names" -- "$cur"))
            return ;;
        --backup-dir)
            _filedir -d
            return ;;
        --emulate-fault)
            COMPREPLY=($(compgen -W "unplugged no-reply stray-replies reject busy-forever selftest-fail \
                unplug@ replug@ short@ stall@ write-fail@ flip@ protect@" -- "$cur"))
            return ;;
    esac

    # Options of the command given so far, beside the general ones.
    local word
    for word in "${words[@]:1:cword-1}"; do
        case $word in
            production) commands="counter export" ;;
            counter) options+=" --start --last --format" ;;
            export) options+=" --csv" ;;
            read) options+=" --offset --length --reads" ;;
            verify) options+=" --offset --length --diff --cut" ;;
            write) options+=" --offset --length --skip-blank --skip-blank=check --backup --backup-dir --cut --no-verify" ;;
            erase) options+=" --backup --backup-dir" ;;
            auto) options+=" --backup --backup-dir --cut" ;;
            update-firmware) options+=" --yes" ;;
        esac
    done

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
    fi
}
complete -F _qbr5150_cli qbr5150-cli
