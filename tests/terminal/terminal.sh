# Drives vorel in a real terminal. A test script sources this file with the
# vorel binary as its argument: tmux runs vorel on a socket of the test's own,
# `keys` types, `expect` polls the screen. Every test has its own HOME and
# XDG_STATE_HOME in a scratch folder that goes away with the tmux server.
set -euo pipefail

VOREL=$1
SOCKET="vorel-$(basename "$0" .sh)-$$"
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/vorel-terminal.XXXXXX")
export HOME="$SCRATCH/home" XDG_STATE_HOME="$SCRATCH/state"
mkdir -p "$HOME" "$SCRATCH/work"
# Sanitizer builds start slowly.
WAIT=${VOREL_TERMINAL_WAIT:-20}

printf 'set -s exit-empty off\nset -g default-terminal screen\n' >"$SCRATCH/tmux.conf"
tm() { tmux -L "$SOCKET" -f "$SCRATCH/tmux.conf" "$@"; }
finish() {
  tm kill-server 2>/dev/null || true
  rm -rf "$SCRATCH"
}
trap finish EXIT

# The terminal the functions below work on: a tmux session's name.
S=main

# start [COMMAND...]: a fresh 100x30 terminal named $S, in $SCRATCH/work,
# running COMMAND (vorel when none is given). A shell runs it and shows its
# exit status when it ends.
start() {
  tm kill-session -t "=$S" 2>/dev/null || true
  if [ $# -eq 0 ]; then set -- "$VOREL"; fi
  tm new-session -d -s "$S" -x 100 -y 30 -c "$SCRATCH/work" \
    sh -c '"$@"; echo "[ended with status $?]"; exec sleep 1000' sh "$@"
}

# keys KEY...: types, as tmux send-keys does ("Enter", "Up", "C-r", "Tab"; -l for literal text).
keys() { tm send-keys -t "$S" "$@"; }
# line TEXT: types TEXT literally and Enter.
line() {
  tm send-keys -t "$S" -l "$1"
  tm send-keys -t "$S" Enter
}

screen() { tm capture-pane -p -t "$S"; }

fail() {
  echo "FAIL: $*"
  echo "--- screen:"
  screen
  exit 1
}

# expect REGEX [COUNT]: waits until COUNT lines (1 when not given) of the
# screen match REGEX, an extended regular expression on whole lines.
expect() {
  local want=${2:-1} deadline=$((SECONDS + WAIT))
  until [ "$(screen | grep -cE -- "^($1)\$" || true)" -eq "$want" ]; do
    [ $SECONDS -lt $deadline ] || fail "the screen did not show $want line(s) matching: $1"
    sleep 0.05
  done
}

# ended: waits for the program in the terminal to end with status 0 (a
# sanitizer's finding ends it with another).
ended() { expect '\[ended with status 0\]'; }
