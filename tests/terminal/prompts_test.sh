#!/usr/bin/env bash
# An argument prompt is shown by the editor and answered; Ctrl-C abandons
# the line at the command prompt and the command at an argument prompt;
# Ctrl-D on an empty line ends the input, at an argument prompt too.
source "$(dirname "$0")/terminal.sh"

start
expect ':'
line 'ibfind dmm'
expect 'dmm:.*' 1
line 'ibwrt'
expect '    enter string:'
line '"*IDN?\n"'
expect 'count:  6'
line 'ibfind loop'
expect 'loop:.*' 1
keys 'ibclr' C-c
expect 'loop: ibclr\^C'
expect 'loop:' 1
line 'ibrd'
expect '    enter byte count:'
keys '12' C-c
expect '    enter byte count: 12\^C'
expect '    abort'
expect 'loop:' 1
line 'ibrd'
expect '    enter byte count:' 1
keys C-d
expect '    abort' 2
ended
