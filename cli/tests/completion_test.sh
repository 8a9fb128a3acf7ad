#!/usr/bin/env bash
# The bash completion offers the commands, each command's options exactly as its --help lists them,
# and the values of --format.
set -uo pipefail
program=$1
completion=$2
source "$completion"

failures=0
complete_line() {  # WORDS...: the words typed, the last one being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
    COMPREPLY=()
    _quorrel
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}
expect() {  # WHAT EXPECTED ACTUAL
    if [[ "$2" != "$3" ]]; then
        echo "FAIL: $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

expect "commands" "apply discover doctor set upload watch " "$(complete_line quorrel '')"
expect "a command begun" "discover " "$(complete_line quorrel di)"
expect "formats" "csv json table " "$(complete_line quorrel discover --format '')"
expect "doctor's formats" "json text " "$(complete_line quorrel doctor --format '')"
expect "upload's formats" "json text " "$(complete_line quorrel upload --format '')"
expect "watch's formats" "json text " "$(complete_line quorrel watch --format '')"
expect "set's formats" "json text " "$(complete_line quorrel set 1A2B3 --format '')"
for command in "" discover set apply upload watch doctor; do
    listed=$("$program" $command --help | grep -oE '^  (-h,)?--[a-z-]+' | sed 's/^ *-h,//; s/^ *//' | sort | tr '\n' ' ')
    expect "options of '${command:-quorrel}'" "$listed" "$(complete_line quorrel $command --)"
done

exit $(( failures > 0 ))
