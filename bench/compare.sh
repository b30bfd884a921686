#!/usr/bin/env bash
# Each benchmark against its baseline, run alternately in separate processes RUNS times (5 by
# default); prints the median of each and the ratio of the medians, so that no figure rests on
# one noisy run. The window's figures are medians against their goals.
#   bench/compare.sh [--runs N] [--endpoint URL] [--response FILE] [--dir FOLDER] [--no-window]
# --endpoint: the server of the round trip (default: the local service, started here);
# --response: the response body parse_bench parses (default: its ten-result fixture);
# --dir: where the cache benchmark writes (default: the temporary folder).
# With TARVEX_BUILD_DIR set it uses the programs built there instead of building the release.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/local_service.sh

runs=5
endpoint=""
response=()
cacheDir=()
window=1
while [ $# -gt 0 ]; do
    case $1 in
    --runs) runs=$2; shift 2 ;;
    --endpoint) endpoint=$2; shift 2 ;;
    --response) response=("$2"); shift 2 ;;
    --dir) cacheDir=(--dir "$2"); shift 2 ;;
    --no-window) window=0; shift ;;
    *) echo "compare.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

release_build cache_file_bench parse_bench envelope_bench round_trip_bench window_bench \
    tarvex-service
bench=$build/bench

work=$(mktemp -d)
cleanup() {
    if [ -n "${SERVICE_PID:-}" ]; then stop_local_service; fi
    rm -rf "$work"
}
trap cleanup EXIT
if [ -z "$endpoint" ]; then
    start_local_service "$build/tools/service/tarvex-service" "$work/service.log" \
        --no-config --corpus tools/service/corpus/computing-history.corpus
    endpoint=$SERVICE_ENDPOINT
fi

# measure OUT PROGRAM ARGS... -- BENCHMARK METRIC: one run of one benchmark; appends its figure
# (real time per iteration in ms, or the named counter) to OUT.
measure() {
    local out=$1
    shift
    local args=()
    while [ "$1" != "--" ]; do args+=("$1"); shift; done
    local name=$2 metric=$3
    "${args[@]}" --benchmark_filter="^${name}(/real_time)?\$" --benchmark_format=json \
        >"$work/run.json" 2>"$work/run.err" || { cat "$work/run.err" >&2; exit 1; }
    python3 - "$work/run.json" "$name" "$metric" >>"$out" <<'EOF'
import json, sys
path, name, metric = sys.argv[1:]
scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
for run in json.load(open(path))["benchmarks"]:
    if run["name"].split("/real_time")[0] != name:
        continue
    if run.get("error_occurred"):
        sys.exit(f"{name}: {run.get('error_message')}")
    print(run[metric] if metric != "time" else run["real_time"] * scale[run["time_unit"]])
    break
else:
    sys.exit(f"{name}: not run")
EOF
}

figures() { awk '{printf "%s%.4g", (NR > 1 ? " " : ""), $1}' "$1"; }
median() { sort -g "$1" | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# pair LABEL GOAL PROGRAM ARGS... -- BENCHMARK BASELINE: alternate runs, medians and their ratio.
pair() {
    local label=$1 goal=$2
    shift 2
    local program=()
    while [ "$1" != "--" ]; do program+=("$1"); shift; done
    local name=$2 baseline=$3
    : >"$work/a" && : >"$work/b"
    for _ in $(seq "$runs"); do
        measure "$work/a" "${program[@]}" -- "$name" time
        measure "$work/b" "${program[@]}" -- "$baseline" time
    done
    local a b
    a=$(median "$work/a")
    b=$(median "$work/b")
    awk -v l="$label" -v a="$a" -v b="$b" -v g="$goal" -v as="$(figures "$work/a")" \
        -v bs="$(figures "$work/b")" 'BEGIN {
        printf "%-22s %12.4g ms %12.4g ms %8.2fx  %s\n", l, a, b, a / b, g
        printf "%-22s   runs: %s | baseline: %s\n", "", as, bs }'
}

# single LABEL GOAL_MS PROGRAM ARGS... -- BENCHMARK: median of the "ms" counter against a goal.
single() {
    local label=$1 goal=$2
    shift 2
    local program=()
    while [ "$1" != "--" ]; do program+=("$1"); shift; done
    : >"$work/a"
    for _ in $(seq "$runs"); do
        measure "$work/a" "${program[@]}" -- "$2" ms
    done
    local a
    a=$(median "$work/a")
    awk -v l="$label" -v a="$a" -v g="$goal" -v as="$(figures "$work/a")" 'BEGIN {
        printf "%-22s %12.4g ms %15s %8.2fx  goal %s ms\n", l, a, "", a / g, g
        printf "%-22s   runs: %s\n", "", as }'
}

echo "compare.sh: $runs alternate runs each; build $build; endpoint $endpoint"
printf "%-22s %15s %15s %9s  %s\n" "" "median" "baseline" "ratio" "goal"
pair "cache save" "<= 1.5x (write, fsync, rename)" \
    "$bench/cache_file_bench" "${cacheDir[@]}" -- saveCache plainWriteSyncRename
pair "cache load" "<= 5x (one read(), new buffer)" \
    "$bench/cache_file_bench" "${cacheDir[@]}" -- loadCache plainRead
pair "cache load, warm" "(one read(), buffer mapped in)" \
    "$bench/cache_file_bench" "${cacheDir[@]}" -- loadCache plainReadWarm
pair "parse response" "(bare libxml2 SAX pass)" \
    "$bench/parse_bench" "${response[@]}" -- wholeResponseSide bareLibxml2Pass
pair "write envelope" "(copy of the finished bytes)" \
    "$bench/envelope_bench" -- writeEnvelope copyFinishedEnvelope
pair "round trip" "(same bytes, plain socket)" \
    "$bench/round_trip_bench" --endpoint "$endpoint" --query computing -- \
    doGoogleSearchRoundTrip bareExchange
if [ "$window" = 1 ]; then
    single "window start, 10000" 300 "$bench/window_bench" -- "BM_StartToFirstPaint/entries:10000"
    single "window search" 20 "$bench/window_bench" -- "BM_SearchToRowsPainted"
fi
