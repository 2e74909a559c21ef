#!/usr/bin/env bash
# History: Up recalls a line and Enter runs it again; a line equal to the
# one before it and the answers to prompts stay out; the history outlives
# the session, and two vorels at once keep each other's lines. A file that
# cannot be used costs one warning.
source "$(dirname "$0")/terminal.sh"
file=$XDG_STATE_HOME/vorel/history

# A new prompt line shows that the line before it has run.
start
expect ':'
line 'ibfind dmm'
expect 'dmm:.*' 1
line 'ibfind dmm'
expect 'dmm:.*' 2
line 'ibrd'
expect '    enter byte count:'
line '4'
expect 'dmm:.*' 3
keys Up Up
expect 'dmm: ibfind dmm' 2
keys Enter
expect 'dmm:.*' 4
[ "$(cat "$file")" = $'ibfind dmm\nibrd\nibfind dmm' ] || fail "history file: $(cat "$file")"
line 'q'
ended

# The next session starts with those lines.
start
expect ':'
keys Up Up
expect ': ibfind dmm'
keys Enter
expect 'dmm:.*' 1

# Two sessions at once append to the same file.
S=other start
S=other expect ':'
line 'ibfind loop'
expect 'loop:.*' 1
S=other line 'ibfind seq'
S=other expect 'seq:.*' 1
line 'ibclr'
expect 'loop:.*' 2
[ "$(cat "$file")" = $'ibfind dmm\nibrd\nibfind dmm\nq\nibfind dmm\nibfind loop\nibfind seq\nibclr' ] ||
  fail "history file after two sessions: $(cat "$file")"

# A history file that cannot be written costs one warning, not the session.
touch "$SCRATCH/not-a-folder"
S=broken start env XDG_STATE_HOME="$SCRATCH/not-a-folder" "$VOREL"
S=broken expect 'vorel: history is not kept in a file: .*'
S=broken line 'ibfind dmm'
S=broken expect 'dmm:.*' 1
S=broken keys Up
S=broken expect 'dmm: ibfind dmm'
S=broken keys Enter
S=broken expect 'dmm:.*' 2
S=broken expect 'vorel: history is not kept in a file: .*' 1
