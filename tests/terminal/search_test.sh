#!/usr/bin/env bash
# Ctrl-R searches the history backwards as the user types; Enter runs the
# line found.
source "$(dirname "$0")/terminal.sh"

start
expect ':'
line 'ibfind dmm'
expect 'dmm:.*' 1
line 'ibfind loop'
expect 'loop:.*' 1
line 'ibclr'
expect 'loop:.*' 2
keys C-r
keys -l 'dm'
expect 'loop: ibfind dmm'
keys Enter
expect 'dmm:.*' 2
