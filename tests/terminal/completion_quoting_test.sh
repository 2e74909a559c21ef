#!/usr/bin/env bash
# File names with blanks are completed as quoted strings, also inside a
# quote already typed; the list of candidates is sorted and holds no expert
# command while expert mode is off.
source "$(dirname "$0")/terminal.sh"
printf 'print "ran my script"\n' >"$SCRATCH/work/my script.txt"

start
expect ':'
keys '$ my' Tab
expect ': \$ "my script\.txt" ?'
keys Enter
expect 'ran my script'
keys '$ "my s' Tab
expect ': \$ "my script\.txt" ?' 2
keys C-u 'ib' Tab Tab
expect 'ibask +.*'
screen | grep -qE '(^| )(ibwrtn|ibrdan|findalllstn)( |$)' && fail "expert commands are listed"
# The list, read down its columns, is in order.
listed=$(screen | sed -n '/^ibask /,/^:/p' | sed '$d' | awk '{ for (i = 1; i <= NF; ++i) col[i] = col[i] " " $i } END { for (i = 1; i <= length(col); ++i) printf "%s", col[i] }' | tr ' ' '\n' | sed '/^$/d')
[ "$listed" = "$(printf '%s\n' "$listed" | LC_ALL=C sort)" ] || fail "the list is not sorted: $(echo $listed)"
