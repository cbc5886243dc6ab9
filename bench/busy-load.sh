#!/usr/bin/env bash
# Other clients' latency while heavy requests run: starts the built
# pelloriand-server, drives POST /v1/convert through the shared wrk harness,
# and meanwhile sends heavy geom buffer requests at once, as many as the
# server has worker threads and one more, so that one of them waits for the
# compute pool. Prints each heavy request's time and wrk's p50, p99 and max
# latency. Loopback only, bounded in time.
#   bench/busy-load.sh [seconds=8] [connections=16] [vertices=30000]
# Env: BUILD_DIR (default build), PORT (default 18788), HARNESS (the shared
#   http-load.sh), THREADS (TOKIO_WORKER_THREADS; default the processor
#   count), HEAVY (heavy requests; default THREADS + 1).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
secs="${1:-8}"
conns="${2:-16}"
vertices="${3:-30000}"
build="${BUILD_DIR:-$root/build}"
port="${PORT:-18788}"
harness="${HARNESS:-/work/shared/bench/http-load.sh}"
threads="${THREADS:-$(nproc)}"
heavy="${HEAVY:-$((threads + 1))}"
server="$build/server/pelloriand-server"
[[ -x "$server" ]] || { echo "build first: $server missing" >&2; exit 1; }
work="$(mktemp -d)"
log="$work/wrk.txt"

# The heavy body: buffering an ellipse of `vertices` vertices by 5 units.
python3 - "$vertices" >"$work/heavy.json" <<'PY'
import json, math, sys
n = int(sys.argv[1])
ring = [[1000 + 500 * math.cos(2 * math.pi * (i % n) / n), 1000 + 300 * math.sin(2 * math.pi * (i % n) / n)]
        for i in range(n + 1)]
geometry = json.dumps({"type": "Polygon", "coordinates": [ring]}, separators=(",", ":"))
print(json.dumps({"tool": "geom", "input": geometry + " 5", "options": {"target": "buffer"}}))
PY

TOKIO_WORKER_THREADS="$threads" PELLORIAND_PORT="$port" "$server" >/dev/null 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
sleep 0.5
LOG="$log" "$harness" "http://127.0.0.1:$port" "$secs" "$conns" convert >"$work/line.txt" &
load=$!
sleep 1
url="http://127.0.0.1:$port/v1/convert"
heavies=()
for i in $(seq "$heavy"); do
  curl -sS -o /dev/null -w "heavy $i: %{http_code} in %{time_total} s\n" --max-time 60 \
    -H 'content-type: application/json' --data-binary @"$work/heavy.json" "$url" &
  heavies+=($!)
done
wait "${heavies[@]}"
wait "$load"
printf 'threads=%s heavy=%s others (%s connections, %s s): %s max_ms=%s\n' "$threads" "$heavy" "$conns" "$secs" "$(cat "$work/line.txt")" \
  "$(awk '/^ *Latency/ { v = $4; if (v ~ /us$/) v = v / 1000; else if (v ~ /ms$/) v = v + 0; else if (v ~ /s$/) v = v * 1000; print v; exit }' "$log")"
