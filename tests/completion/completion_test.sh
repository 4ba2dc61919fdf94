#!/usr/bin/env bash
# The bash completion offers, word by word, what the program takes.
#   completion_test.sh COMPLETION_FILE SCRATCH_DIR
set -u
source "$1"
rm -rf "$2" && mkdir -p "$2/sub" "$2/my banks" && cd "$2" || exit 1
touch a.lxi b.LXI c.Lxi d.PPC e.ppc f.txt g.lxi.bak "my kit.lxi"

failed=0
# expect WANTED WORD...: completing the last WORD gives WANTED, the
# offers sorted and joined by "|".
expect() {
    local wanted=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    _qorvelix
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort -u | paste -sd '|')
    if [ "$got" != "$wanted" ]; then
        echo "completing [$*]: got [$got], wanted [$wanted]"
        failed=1
    fi
}

expect 'link|split|view' qorvelix ''
expect 'view' qorvelix v
expect 'split' qorvelix s
expect 'a.lxi|b.LXI|my banks|my kit.lxi|sub' qorvelix link ''
expect 'd.PPC|e.ppc|my banks|sub' qorvelix view ''
expect 'd.PPC|e.ppc|my banks|sub' qorvelix split ''
expect 'my banks|my kit.lxi' qorvelix link my
expect '' qorvelix Link ''
expect '' qorvelix link a.lxi ''
exit $failed
