# Sourced by scripts that need the local search service running:
#   start_local_service BINARY LOG [ARGUMENTS...]
# starts it on a free loopback port, waits for the endpoint it prints, and sets SERVICE_PID and
# SERVICE_ENDPOINT; stop_local_service stops it. Exits the calling script when it cannot start.
# release_build and load_bodies (below) serve the benchmarks.

start_local_service() {
    local binary=$1 log=$2
    shift 2
    SERVICE_OUTPUT=$(mktemp)
    "$binary" --listen 127.0.0.1:0 "$@" >"$SERVICE_OUTPUT" 2>"$log" &
    SERVICE_PID=$!
    SERVICE_ENDPOINT=""
    for _ in $(seq 300); do
        SERVICE_ENDPOINT=$(head -n 1 "$SERVICE_OUTPUT")
        [ -n "$SERVICE_ENDPOINT" ] && return 0
        if ! kill -0 "$SERVICE_PID" 2>/dev/null; then
            echo "tarvex-service did not start:" >&2
            cat "$log" >&2
            exit 1
        fi
        sleep 0.1
    done
    echo "tarvex-service gave no endpoint within 30 s (log: $log)" >&2
    exit 1
}

stop_local_service() {
    kill -TERM "$SERVICE_PID" 2>/dev/null || true
    wait "$SERVICE_PID" 2>/dev/null || true
    rm -f "$SERVICE_OUTPUT"
}

# release_build TARGET...: sets `build` to TARVEX_BUILD_DIR when given (programs built there, by
# the tests), or else builds TARGETs in the release preset (packages first) and uses that.
release_build() {
    build=${TARVEX_BUILD_DIR:-}
    if [ -z "$build" ]; then
        scripts/bootstrap
        cmake --preset release >/dev/null
        cmake --build --preset release --target "$@" >/dev/null
        build=build/release
    fi
}

# load_bodies TOOL FOLDER: writes the twelve doGoogleSearch requests the load benchmarks send in
# turn (six queries, two pages each) into FOLDER with TOOL, and lists them in `bodies`.
load_bodies() {
    local tool=$1 folder=$2 i=0 query start
    bodies=""
    for query in computing "lisp machines" teletype "shrdlu maclisp" "history -lisp" zyxwvut; do
        for start in 0 10; do
            "$tool" envelope --key load --query "$query" --start "$start" >"$folder/body$i.xml"
            bodies="$bodies $folder/body$i.xml"
            i=$((i + 1))
        done
    done
}
