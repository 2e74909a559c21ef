#!/usr/bin/env bash
# Runs a command against vorel-gateway in a private network namespace with a
# portmapper of its own (rpcbind, on a private /run), so that a test neither
# needs nor disturbs this machine's. Needs root; exits 77 (skipped) without.
#   netns.sh GATEWAY BUS -- COMMAND...   BUS: a bus file, or "default"
#   netns.sh --no-portmapper GATEWAY     the gateway must refuse to start
# COMMAND sees GATEWAY_PID and GATEWAY_LOG; the gateway must then stop
# cleanly on SIGTERM.
set -uo pipefail

if [ "${1:-}" != --inside ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the gateway's tests start rpcbind in a private network namespace, which needs root"
    exit 77
  fi
  if ! unshare --net --mount true 2>/dev/null; then
    echo "SKIPPED: unshare --net --mount is not permitted here (a container without CAP_SYS_ADMIN?)"
    exit 77
  fi
  exec unshare --net --mount bash "$0" --inside "$@"
fi
shift
ip link set lo up
mount -t tmpfs tmpfs /run

# In the AddressSanitizer build: what libtirpc itself never frees is not ours.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
if [ "$1" = --no-portmapper ]; then
  out=$("$2" 2>&1)
  status=$?
  echo "$out"
  [ "$status" -eq 1 ] && [ "$out" = "vorel-gateway: no portmapper on this machine: install and start rpcbind" ]
  exit
fi

gateway=$1 bus=$2
shift 3
rpcbind -f &
rpcbind_pid=$!
for _ in $(seq 50); do [ -S /run/rpcbind.sock ] && break; sleep 0.1; done

export GATEWAY_LOG=$(mktemp)
if [ "$bus" = default ]; then
  env -u VOREL_BUS XDG_CONFIG_HOME=/nonexistent HOME=/nonexistent "$gateway" ${GATEWAY_OPTIONS:-} 2>"$GATEWAY_LOG" &
else
  "$gateway" --bus "$bus" ${GATEWAY_OPTIONS:-} 2>"$GATEWAY_LOG" &
fi
export GATEWAY_PID=$!
for _ in $(seq 100); do grep -q "serving the bus" "$GATEWAY_LOG" && break; sleep 0.1; done

"$@"
status=$?

kill -TERM "$GATEWAY_PID"
wait "$GATEWAY_PID"
gateway_status=$?
kill "$rpcbind_pid"
wait "$rpcbind_pid" 2>/dev/null
if [ "$status" -ne 0 ] || [ "$gateway_status" -ne 0 ]; then
  echo "--- the gateway's log (it exited with $gateway_status):"
  cat "$GATEWAY_LOG"
  [ "$status" -ne 0 ] || status=1
fi
rm -f "$GATEWAY_LOG"
exit "$status"
