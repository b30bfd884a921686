#!/usr/bin/env bash
# The service with its log on a pipe whose reader has gone before the first request: it answers
# that request and the next, and stops with 0 on SIGTERM (it used to die of SIGPIPE, exit 141).
#   closed_log_pipe.sh TARVEX_SERVICE CORPUS
set -euo pipefail
service=$1
corpus=$2
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT

# The log goes to a reader that ends at once.
"$service" --no-config --listen 127.0.0.1:0 --corpus "$corpus" >"$work/out" 2> >(exit 0) &
pid=$!
for _ in $(seq 300); do
    [ -s "$work/out" ] && break
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the service ended before it listened"; exit 1; }
    sleep 0.1
done
endpoint=$(head -n 1 "$work/out")
port=${endpoint##*:}
port=${port%%/*}
[ -n "$port" ] || { echo "FAIL: no endpoint"; exit 1; }
sleep 0.5 # the reader of the log is gone by now

for attempt in 1 2; do
    exec 5<>"/dev/tcp/127.0.0.1/$port"
    printf 'GET /apis HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n' >&5
    answer=$(timeout 10 cat <&5 || true)
    exec 5<&-
    case $answer in
    "HTTP/1.1 200"*) ;;
    *) echo "FAIL: request $attempt was not answered: ${answer:0:80}"; exit 1 ;;
    esac
done
kill -0 "$pid" 2>/dev/null || { wait "$pid" || status=$?; echo "FAIL: the service ended (status ${status:-0})"; exit 1; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "FAIL: SIGTERM ended it with $status"; exit 1; }
echo "PASS"
