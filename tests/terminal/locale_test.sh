#!/usr/bin/env bash
# In the C locale (no LANG, LC_ALL or LC_CTYPE) every byte typed reaches the
# command and the history, as the same bytes on a pipe do.
source "$(dirname "$0")/terminal.sh"

start env -u LANG -u LC_ALL -u LC_CTYPE "$VOREL"
expect ':'
line 'ibfind loop'
expect 'loop:.*' 1
line 'ibwrt "aé€b"'
expect 'count:  7'
line 'ibrd 7'
expect '61  c3  a9  e2  82  ac  62 .*'
line 'q'
ended
grep -qx 'ibwrt "aé€b"' "$XDG_STATE_HOME/vorel/history" || fail "history: $(cat "$XDG_STATE_HOME/vorel/history")"
