#!/usr/bin/env bash
# Run by netns.sh with the gateway listening on every address: a client from
# outside the allowed networks is refused and logged, one inside is served.
# usage: allow_test.sh ALLOWED|REFUSED
set -euo pipefail
ip addr add 10.9.9.9/32 dev lo
/usr/bin/python3 - "$1" <<'PY'
import sys
import pyvisa
rm = pyvisa.ResourceManager("@py")
try:
    dmm = rm.open_resource("TCPIP::10.9.9.9::gpib0,1::INSTR", read_termination="\n", open_timeout=2000)
    answer = dmm.query("*IDN?")
except Exception as e:
    answer = "failed: %s" % e
print(answer)
expected_served = sys.argv[1] == "ALLOWED"
sys.exit(0 if (answer == "TARNWICK,SIM-DMM,0001,1.0") == expected_served else 1)
PY
if [ "$1" = REFUSED ]; then
  grep -E "^vorel-gateway: 10\.9\.9\.9:[0-9]+ refused: not in the allowed networks \(--allow\)$" "$GATEWAY_LOG"
fi
