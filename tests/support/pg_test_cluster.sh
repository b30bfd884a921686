#!/usr/bin/env bash
# The PostgreSQL cluster a ctest run shares: `start` before the tests that use it, `stop` after.
# Without a server installed there is nothing to start; the tests then skip.
set -euo pipefail
script=$1 verb=$2 folder=$3
case "$verb" in
start)
    "$script" remove "$folder" >/dev/null 2>&1 || true # left by an interrupted run
    if ! compgen -G '/usr/lib/postgresql/*/bin/initdb' >/dev/null; then
        echo "no PostgreSQL server installed"
        exit 0
    fi
    "$script" start "$folder"
    ;;
stop) "$script" remove "$folder" ;;
esac
