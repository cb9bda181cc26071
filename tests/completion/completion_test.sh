#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The bash completion of qbr5150-cli, driven as bash drives it: for each command
# line of the table the words go into COMP_WORDS (split at '=' as bash splits
# them), the function `complete -p` names runs, and COMPREPLY is checked.
# Configured by CMake into the build directory as test_completion.
set -u
source "@QBR_BASH_COMPLETION@" || exit 1
source "@CMAKE_SOURCE_DIR@/data/qbr5150-cli.bash" || exit 1
export PATH="@QBR_RUNTIME_DIR@:$PATH"  # the chip names come from the tool
function=$(complete -p qbr5150-cli | sed -n 's/.*-F \([^ ]*\).*/\1/p')
[ -n "$function" ] || { echo "no completion function for qbr5150-cli"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" && touch image.bin notes.txt && mkdir sub
failures=0

# complete LINE: COMPREPLY for the cursor at the end of LINE.
complete_line() {
    local line=$1
    COMP_WORDS=()
    for word in $line; do
        while [[ $word == *=* ]]; do
            [[ -n ${word%%=*} ]] && COMP_WORDS+=("${word%%=*}")
            COMP_WORDS+=("=")
            word=${word#*=}
        done
        [[ -n $word ]] && COMP_WORDS+=("$word")
    done
    [[ $line == *" " || $line == *= ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    "$function" qbr5150-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
}

# check LINE [=] WORD...: COMPREPLY holds each WORD and no word "!WORD"; after
# "=", it holds exactly the WORDs.
check() {
    local line=$1 word wrong=false
    shift
    complete_line "$line"
    local got=" ${COMPREPLY[*]} "
    if [[ ${1:-} == "=" ]]; then
        shift
        [[ $(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs) == "$(printf '%s\n' "$@" | sort | xargs)" ]] || wrong=true
    fi
    for word in "$@"; do
        [[ $word == !* && $got == *" ${word#!} "* ]] && wrong=true
        [[ $word != !* && $got != *" $word "* ]] && wrong=true
    done
    $wrong || return 0
    echo "FAILED: '$line' offers [${COMPREPLY[*]}], expected $*"
    failures=$((failures + 1))
}

# Commands, and a command's options right after it, after its file and after options.
check "qbr5150-cli ve" = verify version
check "qbr5150-cli read --" --offset --length --reads --emulate --json '!--cut'
check "qbr5150-cli read image.bin --" --offset --reads
check "qbr5150-cli erase --b" = --backup --backup-dir
check "qbr5150-cli bl" = blank-check
check "qbr5150-cli blank-check --" --offset --length '!--cut'
check "qbr5150-cli production report --" --since --html '!--offset'
# Files after a command that takes one, also after options and their values.
check "qbr5150-cli read " = image.bin notes.txt sub
check "qbr5150-cli --emulate read --offset 0x10 i" = image.bin
check "qbr5150-cli --json write --cut --backup-dir sub i" = image.bin
check "qbr5150-cli chip-sum n" = notes.txt
check "qbr5150-cli production export s" = sub
check "qbr5150-cli erase " =
# An option's value is no command, and --emulate may take a chip's name.
check "qbr5150-cli --emulate-image read " chips auto '!image.bin'
check "qbr5150-cli --emulate W25Q64FV au" = auto
check "qbr5150-cli -c EN25T80 --emulate ver" = verify version
# Values of options.
check "qbr5150-cli --lang " = en zh
check "qbr5150-cli --lang=z" = zh
check "qbr5150-cli --emulate-image i" = image.bin
check "qbr5150-cli --emulate-fault st" = stall@ stray-replies stray-replies@
check "qbr5150-cli read --offset " =
check "qbr5150-cli -c EN25T8" = EN25T80
check "qbr5150-cli --emulate=EN25T8" = EN25T80
check "qbr5150-cli write --skip-blank=c" = check
check "qbr5150-cli chip EN25T8" = EN25T80
check "qbr5150-cli production " = counter export report

[ "$failures" -eq 0 ] || exit 1
echo "completion offers what each command line needs"
