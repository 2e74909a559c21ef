#!/usr/bin/env bash
# Tab completes the command word in lower case, then the argument from the
# parser's tables; a second Tab lists the candidates; file names after "$";
# the answer to a prompt from the prompt's own table.
source "$(dirname "$0")/terminal.sh"
touch "$SCRATCH/work/script.txt"

start
expect ':'
keys 'IBFI' Tab
expect ': ibfind'
line 'dmm'
expect 'dmm:'
keys 'ibwr' Tab
expect 'dmm: ibwrt'
keys Tab
expect '.*ibwrtkey.*'
keys C-u 'buffer as' Tab
expect 'dmm: buffer ascii'
keys C-u 'ibask IbaTM' Tab
expect 'dmm: ibask IbaTMO'
keys C-u 'ibwait (ti' Tab
expect 'dmm: ibwait \(timo'
keys C-u 'set 48' Tab
expect 'dmm: set 488.2'
keys C-u 'senddatabytes "x" nl' Tab
expect 'dmm: senddatabytes "x" nlend'
keys C-u '$ scr' Tab
expect 'dmm: \$ script.txt'
keys C-u 'ibconfig' Enter
expect '    enter parameter to be configured:'
keys 'ibctm' Tab
expect '    enter parameter to be configured: ibctmo'
