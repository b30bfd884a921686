#!/usr/bin/env bash
# Load on the local search service: 64 concurrent clients for 10 seconds (wrk, an independent
# HTTP client), each sending doGoogleSearch requests for a mix of queries. Fails when any
# request fails or is answered with anything but 200.
#   bench/service_load.sh [CONNECTIONS] [SECONDS] [CORPUS]   (defaults: 64, 10, built-in corpus)
set -euo pipefail
cd "$(dirname "$0")/.."

connections=${1:-64}
seconds=${2:-10}
corpus=${3:-tools/service/corpus/computing-history.corpus}

scripts/bootstrap
cmake --preset release >/dev/null
cmake --build --preset release --target tarvex tarvex-service >/dev/null

build=build/release
work=$(mktemp -d)
"$build/tools/service/tarvex-service" --corpus "$corpus" --threads "$connections" \
    >"$work/endpoint" 2>"$work/service.log" &
service=$!
trap 'kill -TERM $service 2>/dev/null; wait $service 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 300); do
    [ -s "$work/endpoint" ] && break
    sleep 0.1
done
endpoint=$(head -n 1 "$work/endpoint")
[ -n "$endpoint" ] || { echo "service_load: the service did not start" >&2; cat "$work/service.log" >&2; exit 1; }

bodies=""
i=0
for query in computing "lisp machines" teletype "shrdlu maclisp" "history -lisp" zyxwvut; do
    for start in 0 10; do
        "$build/tools/tarvex/tarvex" envelope --key load --query "$query" --start "$start" \
            >"$work/body$i.xml"
        bodies="$bodies $work/body$i.xml"
        i=$((i + 1))
    done
done

echo "service_load: $connections connections for ${seconds}s against $endpoint ($(sed -n 1p "$work/service.log"))"
report=$(TARVEX_LOAD_BODIES="$bodies" wrk -t2 -c"$connections" -d"${seconds}s" --timeout 5s \
    -s bench/service_load.lua "$endpoint")
echo "$report" | sed -n '/^requests /,$p'
if ! echo "$report" | grep -q "errors          connect 0, read 0, write 0, status 0, timeout 0"; then
    echo "service_load: some requests failed" >&2
    exit 1
fi
