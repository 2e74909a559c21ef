#!/usr/bin/env bash
# A line being edited is drawn again as soon as the terminal changes its
# size, from its first row: no stale copy of it stays on the screen, and
# editing goes on at the cursor.
source "$(dirname "$0")/terminal.sh"
xs=$(printf 'x%.0s' $(seq 150))

# The rows from the prompt on, joined.
line_shown() { screen | sed -n '/^: print/,$p' | tr -d '\n' | sed 's/ *$//'; }

start
expect ':'
keys -l "print \"$xs"
expect '.*xxxxxxxxxx' 2
for i in $(seq 60); do keys Left; done
want=": print \"$xs"
at=$((${#want} - 60))
for width in 60 120 45; do
  tm resize-window -t "$S" -x $width -y 30
  sleep 0.5
  keys -l 'Z'
  want="${want:0:at}Z${want:at}"
  at=$((at + 1))
  sleep 0.5
  [ "$(screen | grep -c '^: print')" -eq 1 ] || fail "at $width columns a stale copy of the line stays"
  [ "$(line_shown)" = "$want" ] || fail "at $width columns the screen shows: $(line_shown)"
done
