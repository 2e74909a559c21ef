#!/usr/bin/env bash
# Installs the build tree to a prefix other than the configured one and uses
# it from there: vexon.pc names that prefix, the README's C program (installed
# with the examples) compiles with it and runs on the simulated meter, and the
# installed vorel finds its driver library and help file.
#   install_test.sh CMAKE BUILD_DIR CC
set -euo pipefail
cmake=$1 build=$2 cc=$3
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name vexon.pc)
[ -n "$pc" ] || { echo "no vexon.pc installed" >&2; exit 1; }
grep -qx "prefix=$prefix" "$pc" || { echo "$pc does not name $prefix:" >&2; cat "$pc" >&2; exit 1; }
example=$prefix/share/doc/vorel/examples/identify.c
[ -f "$example" ] || { echo "identify.c is not installed" >&2; exit 1; }
export PKG_CONFIG_PATH=$(dirname "$pc")
# The build tree's own files must not be what makes it work.
case "$(pkg-config --cflags --libs vexon)" in *"$build"*) echo "vexon.pc points into the build tree" >&2; exit 1;; esac
"$cc" -o "$prefix/identify" "$example" $(pkg-config --cflags --libs vexon)
unset VOREL_BUS
export XDG_CONFIG_HOME=$prefix/config HOME=$prefix
id=$("$prefix/identify")
[ "$id" = "TARNWICK,SIM-DMM,0001,1.0" ] || { echo "identify printed '$id'" >&2; exit 1; }
out=$("$prefix/bin/vorel" -c 'ibfind dmm' -c 'ibwrt "*IDN?\n"' -c 'ibrd 100' -c 'help ibrsp' </dev/null)
grep -q "T A R N W I C K" <<<"$out" || { echo "the installed vorel did not read the meter:" >&2; echo "$out" >&2; exit 1; }
grep -qi "serial polls the current device" <<<"$out" || { echo "the installed vorel found no help file:" >&2; echo "$out" >&2; exit 1; }
"$prefix/bin/vorel-bus" >/dev/null
