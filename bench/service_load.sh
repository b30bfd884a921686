#!/usr/bin/env bash
# Load on the local search service: 64 concurrent clients for 10 seconds (wrk, an independent
# HTTP client), each sending doGoogleSearch requests for a mix of queries. Fails when any
# request fails or is answered with anything but 200.
#   bench/service_load.sh [CONNECTIONS] [SECONDS] [CORPUS]   (defaults: 64, 10, built-in corpus)
# With TARVEX_BUILD_DIR set it uses the programs built there instead of building the release.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/local_service.sh

connections=${1:-64}
seconds=${2:-10}
corpus=${3:-tools/service/corpus/computing-history.corpus}

release_build tarvex tarvex-service

work=$(mktemp -d)
start_local_service "$build/tools/service/tarvex-service" "$work/service.log" \
    --no-config --corpus "$corpus" --threads "$connections"
trap 'stop_local_service; rm -rf "$work"' EXIT

load_bodies "$build/tools/tarvex/tarvex" "$work"

echo "service_load: $connections connections for ${seconds}s against $SERVICE_ENDPOINT ($(sed -n 1p "$work/service.log"))"
report=$(TARVEX_LOAD_BODIES="$bodies" wrk -t2 -c"$connections" -d"${seconds}s" --timeout 5s \
    -s bench/service_load.lua "$SERVICE_ENDPOINT")
echo "$report" | sed -n '/^requests /,$p'
if ! echo "$report" | grep -q "errors          connect 0, read 0, write 0, status 0, timeout 0"; then
    echo "service_load: some requests failed" >&2
    exit 1
fi
