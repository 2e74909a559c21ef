#!/usr/bin/env bash
# Checks a manual page against what the code has:
#   page_test.sh lint MANDOC PAGE          mandoc reports no warning or error
#   page_test.sh words MAN_WORDS PAGE      every command word of the catalogue is
#                                          an Ic, every ibconfig and ibask option
#                                          name an Li of the page
#   page_test.sh keys VOREL_BUS PAGE       every key the bus-file reader accepts,
#                                          every back end and model is a Cm or Li
#   page_test.sh calls LIBRARY PAGE        every function the library exports is
#                                          an Fn
# The lists come from the code: the catalogue program, the reader's own
# "(expected ...)" lists for an unknown key in each place of a bus file, the
# library's exported functions.
set -uo pipefail
mode=$1 tool=$2 page=$3
here=$(dirname "$0")
fail=0

# The words that follow any of the macros named in $1 on the page's macro lines.
macro_words() {
  awk -v want=" $1 " '
    /^\./ {
      on = 0
      for (i = 1; i <= NF; ++i) {
        w = $i
        if (i == 1) sub(/^\./, "", w)
        if (w ~ /^[A-Z][a-z][a-z]?$/) { on = index(want, " " w " ") > 0; continue }
        gsub(/\\&/, "", w); gsub(/"/, "", w)
        if (on && w != "") print w
      }
    }' "$page" | sort -u
}

# Reports every word of stdin missing from the word list in $2 ($1 names
# them); fails when one is missing.
require() {
  local what=$1 missing
  missing=$(comm -23 <(grep -v '^$' | sort -u) <(sort -u <<<"$2"))
  [ -z "$missing" ] && return 0
  sed "s/.*/$(basename "$page"): $what '&' is not described/" <<<"$missing" >&2
  return 1
}

case $mode in
  lint)
    out=$("$tool" -T lint -W warning "$page" 2>&1)
    if [ -n "$out" ]; then echo "$out" >&2; fail=1; fi
    ;;
  words)
    words=$("$tool") || exit 1
    [ -n "$words" ] || { echo "no words from $tool" >&2; exit 1; }
    awk '$1 == "command" { print $2 }' <<<"$words" | require "command" "$(macro_words Ic)" || fail=1
    awk '$1 != "command" { print $2 }' <<<"$words" | require "option" "$(macro_words Li)" || fail=1
    ;;
  keys)
    dir=$(mktemp -d) || exit 1
    trap 'rm -rf "$dir"' EXIT
    # The list the reader gives for the unknown key (or value) zz in a file.
    expected() {
      printf '%s\n' "$1" >"$dir/bus.yaml"
      "$tool" "$dir/bus.yaml" 2>&1 >/dev/null | sed -n 's/.*(expected \(.*\))$/\1/p' | tr ',' '\n' | tr -d ' '
      return 0  # vorel-bus fails on the file, as it should
    }
    backends=$(expected 'boards: {gpib0: {backend: zz}}')
    [ -n "$backends" ] || { echo "vorel-bus names no back end" >&2; exit 1; }
    keys=""
    while read -r probe; do
      [ -z "$probe" ] || [ "${probe:0:1}" = "#" ] && continue
      list=$(expected "$probe")
      [ -n "$list" ] || { echo "vorel-bus gives no list of keys for: $probe" >&2; fail=1; }
      keys+=$list$'\n'
    done <"$here/bus_key_probes.txt"
    for b in $backends; do keys+=$(expected "boards: {gpib0: {backend: $b, zz: 1}}")$'\n'; done
    sort -u <<<"$keys" | require "bus-file key" "$(macro_words Cm)" || fail=1
    { echo "$backends"; expected 'devices: {d: {model: zz}}'; } | require "value" "$(macro_words "Cm Li")" || fail=1
    ;;
  calls)
    calls=$(nm -D --defined-only "$tool" | awk '$2 == "T" { print $3 }')
    [ -n "$calls" ] || { echo "no functions exported by $tool" >&2; exit 1; }
    require "function" "$(macro_words "Fn Fo")" <<<"$calls" || fail=1
    ;;
  *)
    echo "usage: page_test.sh lint|words|keys|calls TOOL PAGE" >&2
    exit 2
    ;;
esac
exit $fail
