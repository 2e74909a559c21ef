#!/usr/bin/env bash
# ~/.editrc applies: "bind -v" gives vi keys, and Tab still completes.
source "$(dirname "$0")/terminal.sh"
echo 'vorel:bind -v' >"$HOME/.editrc"

start
expect ':'
keys 'ibfi' Tab
expect ': ibfind'
keys -l 'dmmx'
keys Escape x Enter
expect 'dmm:.*' 1
