#!/usr/bin/env bash
# Load on one, two and four services sharing one PostgreSQL database, against the same number
# of services each with its own SQLite index over the same corpus: requests per second (all
# services together) and the worst 99th-percentile latency, by wrk (an independent HTTP client)
# with CONNECTIONS clients spread evenly over the services. Fails when any request fails.
#   bench/database_load.sh [CONNECTIONS] [SECONDS] [CORPUS]   (defaults: 32, 5, built-in corpus)
# With TARVEX_BUILD_DIR set it uses the programs built there instead of building the release.
# Everything runs on this machine: the database, the services and wrk share its cores, so the
# figures say how the layouts compare here, not what a fleet of machines would do.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/local_service.sh

connections=${1:-32}
seconds=${2:-5}
corpus=${3:-tools/service/corpus/computing-history.corpus}

release_build tarvex tarvex-service
service=$build/tools/service/tarvex-service

work=$(mktemp -d)
# The database server runs as its own user when this runs as root: it must reach the folder.
chmod 755 "$work"
pids=()
stopServices() {
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    pids=()
}
trap 'stopServices; scripts/db remove "$work/db" >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
database=$(scripts/db start "$work/db")

load_bodies "$build/tools/tarvex/tarvex" "$work"

# Starts a service with ARGUMENTS...; appends its endpoint to `endpoints`.
startService() {
    local output="$work/service-${#pids[@]}.out"
    "$service" --no-config --listen 127.0.0.1:0 --threads 8 "$@" >"$output" \
        2>"$output.log" &
    pids+=($!)
    for _ in $(seq 300); do
        if [ -s "$output" ]; then
            endpoints+=("$(head -n 1 "$output")")
            return
        fi
        sleep 0.1
    done
    echo "database_load: a service did not start (see $output.log)" >&2
    cat "$output.log" >&2
    exit 1
}

# Loads all services in `endpoints` at once; prints "REQUESTS_PER_SECOND P99_MS".
load() {
    local each=$((connections / ${#endpoints[@]})) reports=() loaders=() k=0
    for endpoint in "${endpoints[@]}"; do
        TARVEX_LOAD_BODIES="$bodies" wrk -t1 -c"$each" -d"${seconds}s" --timeout 5s \
            -s bench/service_load.lua "$endpoint" >"$work/wrk-$k.txt" &
        loaders+=($!)
        reports+=("$work/wrk-$k.txt")
        k=$((k + 1))
    done
    for loader in "${loaders[@]}"; do
        wait "$loader"
    done
    for report in "${reports[@]}"; do
        if ! grep -q "errors          connect 0, read 0, write 0, status 0, timeout 0" "$report"; then
            echo "database_load: some requests failed:" >&2
            cat "$report" >&2
            exit 1
        fi
    done
    awk '/^requests\/s/ { rate += $2 } /^latency p99/ { if ($3 > worst) worst = $3 }
         END { printf "%.0f %.2f\n", rate, worst }' "${reports[@]}"
}

echo "database_load: $connections clients for ${seconds}s per layout, corpus $corpus"
printf '%-12s %9s %14s %12s\n' backend services "requests/s" "p99 ms"
for backend in sqlite postgresql; do
    for count in 1 2 4; do
        endpoints=()
        for n in $(seq "$count"); do
            if [ "$backend" = sqlite ]; then
                startService --corpus "$corpus"
            elif [ "$n" -eq 1 ]; then
                startService --database "$database" --corpus "$corpus"
            else
                startService --database "$database"
            fi
        done
        load >"$work/result"
        read -r rate p99 <"$work/result"
        printf '%-12s %9d %14s %12s\n' "$backend" "$count" "$rate" "$p99"
        stopServices
    done
done
