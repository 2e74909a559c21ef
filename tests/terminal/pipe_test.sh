#!/usr/bin/env bash
# Without a terminal on both ends, or with TERM=dumb, the byte reader runs
# as it always did: an arrow key's bytes are a bad command, and no history
# file is written.
source "$(dirname "$0")/terminal.sh"
file=$XDG_STATE_HOME/vorel/history

start bash -c "printf 'ibfind dmm\n\033[A\n' | '$VOREL'"
expect ".*Bad function\. Enter 'help' for help"
# The last prompt waits for no more input.
expect 'dmm: \[ended with status 0\]'

start env TERM=dumb "$VOREL"
expect ':'
line 'ibfind dmm'
expect 'dmm:.*' 1
keys Up Enter
expect ".*Bad function\. Enter 'help' for help"
[ ! -e "$file" ] || fail "a history file was written: $(cat "$file")"
