#!/usr/bin/env bash
# Whole-service load on loopback with wrk: starts the built pelloriand-server
# (unless URL points at one already running), then drives POST /v1/convert and
# GET /v1/tools through the shared harness and prints one line per run.
#   bench/http-load.sh [seconds=10] [connections=64]
# Env: BUILD_DIR (default build), PORT (default 18787), THREADS_LIST (server
#   worker-thread counts to try, default "default 4"), HARNESS (the shared
#   http-load.sh; default ../shared/bench/http-load.sh beside the worktree).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
secs="${1:-10}"
conns="${2:-64}"
build="${BUILD_DIR:-$root/build}"
port="${PORT:-18787}"
harness="${HARNESS:-/work/shared/bench/http-load.sh}"
server="$build/server/pelloriand-server"
[[ -x "$server" ]] || { echo "build first: $server missing" >&2; exit 1; }
[[ -x "$harness" ]] || { echo "harness not found: $harness" >&2; exit 1; }

for threads in ${THREADS_LIST:-default 4}; do
  if [[ "$threads" == default ]]; then
    PELLORIAND_PORT="$port" "$server" >/dev/null 2>&1 &
  else
    TOKIO_WORKER_THREADS="$threads" PELLORIAND_PORT="$port" "$server" >/dev/null 2>&1 &
  fi
  pid=$!
  trap 'kill "$pid" 2>/dev/null || true' EXIT
  sleep 0.5
  for mode in convert tools; do
    # Warm-up, then the measured run.
    "$harness" "http://127.0.0.1:$port" 2 "$conns" "$mode" >/dev/null
    printf 'threads=%s mode=%s conns=%s ' "$threads" "$mode" "$conns"
    SERVER_PIDS="$pid" "$harness" "http://127.0.0.1:$port" "$secs" "$conns" "$mode"
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  trap - EXIT
done
