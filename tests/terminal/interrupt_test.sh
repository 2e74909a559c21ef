#!/usr/bin/env bash
# Ctrl-C stops the running command, never vorel: a long repeat ends after
# the call that runs, a long display stops, a read waiting in the driver ends
# through ibstop, and the handles stay open.
source "$(dirname "$0")/terminal.sh"
BUILD=$(cd "$(dirname "$VOREL")/.." && pwd)
# Ctrl-C reaches the shell around vorel too: this one outlives it.
start_vorel() { start bash -c 'trap : INT; "$@"; echo "[ended with status $?]"; exec sleep 1000' bash "$@"; }

start_vorel "$VOREL"
expect ':'
line 'ibfind loop'
expect 'loop:.*' 1
line '-'
line '2000000000 * ibclr'
sleep 1
keys C-c
expect 'loop:' 1
line '+'
line 'ibwrt "still open"'
expect 'count:  10'

# A display of 50 MB stops at once.
line 'ibfind seq'
expect 'seq:.*' 1
line 'ibrd 50000000'
sleep 2
keys C-c
expect 'seq:' 1
line 'ibwrt "x"'
expect 'count:  1'

# The hostile driver's ibrd waits until ibstop comes from another thread.
start_vorel env LD_LIBRARY_PATH="$BUILD/tests/hostile" VOREL_HOSTILE_MODE=rd=wait "$VOREL"
expect ':'
line 'ibdev 0 1 0 17 1 0'
expect 'ud0:.*' 1
line 'ibrd 10'
sleep 1
keys C-c
expect 'error: EABO'
expect 'ud0:' 1
line 'q'
ended
