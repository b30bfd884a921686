#!/usr/bin/env bash
# Drives the real dunsk window on a virtual X server against the local search service:
# a search typed and started with Enter, then Close, must leave the licence key, the word history
# and the cache file behind; a second run left with Escape must not store the key typed in it.
#   dunsk_under_xvfb.sh DUNSK TARVEX_SERVICE CORPUS TARVEX
# The screenshot and the logs go to ./dunsk_under_xvfb/ (ctest runs this in the build folder).
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "use: $0 DUNSK TARVEX_SERVICE CORPUS TARVEX" >&2
    exit 2
fi
dunsk=$1
service=$2
corpus=$3
tarvex=$4
for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done
here=$(cd "$(dirname "$0")" && pwd)

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

artefacts="$PWD/dunsk_under_xvfb"
rm -rf "$artefacts"
mkdir -p "$artefacts"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/dunsk-xvfb.XXXXXX")
xvfbPid=""
dunskPid=""
SERVICE_PID=""

cleanup() {
    local status=$?
    if [ -n "$dunskPid" ]; then
        kill -KILL "$dunskPid" 2>/dev/null || true
        wait "$dunskPid" 2>/dev/null || true
    fi
    if [ -n "$SERVICE_PID" ]; then
        stop_local_service
    fi
    if [ -n "$xvfbPid" ]; then
        kill -TERM "$xvfbPid" 2>/dev/null || true
        wait "$xvfbPid" 2>/dev/null || true
    fi
    # The settings file goes with the logs: it tells what the window stored.
    cp "${settingsFile:-}" "$artefacts/dunsk.conf" 2>/dev/null || true
    rm -rf "$scratch"
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
        echo "logs and screenshots: $artefacts" >&2
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# shellcheck source=../../scripts/local_service.sh
source "$here/../../scripts/local_service.sh"

# A home of its own: the settings, the cache file and the fonts' cache stay in the scratch folder.
export HOME="$scratch/home"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
settingsFile="$XDG_CONFIG_HOME/Brenmoor Technologies/dunsk.conf"
expectedCache="$XDG_DATA_HOME/Brenmoor Technologies/dunsk/quorlan.glr"

# Runs COMMAND... until it succeeds or SECONDS have passed (checked every 0.1 s).
waitFor() {
    local seconds=$1
    shift
    local tries=$((seconds * 10))
    for _ in $(seq "$tries"); do
        if "$@"; then
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Prints the value of KEY in [SECTION] of the settings file. QSettings writes names with %XX
# escapes ("License%20Key") and quotes values that hold special characters.
settingValue() {
    local section=$1 key=$2
    [ -f "$settingsFile" ] || return 1
    awk -v section="$section" -v key="$key" '
        function hex(digit) { return index("0123456789abcdef", tolower(digit)) - 1 }
        function unescape(text,    out, i, c) {
            out = ""
            for (i = 1; i <= length(text); ++i) {
                c = substr(text, i, 1)
                if (c == "%" && i + 2 <= length(text)) {
                    out = out sprintf("%c", hex(substr(text, i + 1, 1)) * 16 + \
                                            hex(substr(text, i + 2, 1)))
                    i += 2
                } else {
                    out = out c
                }
            }
            return out
        }
        /^\[.*\]$/ { current = unescape(substr($0, 2, length($0) - 2)); next }
        current == section {
            at = index($0, "=")
            if (at > 0 && unescape(substr($0, 1, at - 1)) == key) {
                value = substr($0, at + 1)
                if (value ~ /^".*"$/) {
                    value = substr(value, 2, length(value) - 2)
                }
                print value
                found = 1
                exit
            }
        }
        END { exit found ? 0 : 1 }
    ' "$settingsFile"
}

searchFinished() {
    [ "$(settingValue "Search Words" 1 2>/dev/null)" = "teletype" ] &&
        settingValue Settings "Search Count" >/dev/null 2>&1
}

running() {
    kill -0 "$1" 2>/dev/null
}

stopped() {
    ! running "$1"
}

startXvfb() {
    local displayFile="$scratch/display"
    : >"$displayFile"
    # -displayfd: the server picks a free display number and writes it to the descriptor.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$displayFile" \
        >"$artefacts/xvfb.log" 2>&1 &
    xvfbPid=$!
    displayKnown() { grep -q '^[0-9][0-9]*$' "$displayFile"; }
    waitFor 20 displayKnown || fail "Xvfb gave no display number within 20 s"
    export DISPLAY=":$(head -n 1 "$displayFile")"
    running "$xvfbPid" || fail "Xvfb exited at start (see $artefacts/xvfb.log)"
}

# Starts dunsk with log name LOG and sets dunskPid and window (its X window id).
startDunsk() {
    local log=$1
    # The ASan build reports leaks of Qt's and fontconfig's process-lifetime allocations at exit;
    # they are not the program's and would turn the exit code non-zero.
    env TARVEX_ENDPOINT="$SERVICE_ENDPOINT" QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 \
        "$dunsk" >"$artefacts/$log" 2>&1 &
    dunskPid=$!
    window=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$dunskPid" --name '^Tarvex' |
        head -n 1) || true
    [ -n "$window" ] || fail "no dunsk window within 30 s (see $artefacts/$log)"
    eval "$(xdotool getwindowgeometry --shell "$window")"
    windowWidth=$WIDTH
    windowHeight=$HEIGHT
}

# Clicks at dialog-template position (X, Y): the window is laid out in dialog units, the whole
# window being 421 x 255 of them.
clickAt() {
    local x=$1 y=$2
    xdotool mousemove --window "$window" $((x * windowWidth / 421)) $((y * windowHeight / 255)) \
        click 1
    sleep 0.3
}

clickLicenceKey() { clickAt 82 26; }
clickQueryWord() { clickAt 200 26; }
clickClose() { clickAt 392 239; }

typeText() {
    xdotool type --delay 30 "$1"
}

# Waits up to 10 s for dunsk to end and checks that it ended with 0.
expectCleanExit() {
    local what=$1 log=$2 status=0
    waitFor 10 stopped "$dunskPid" || fail "dunsk still running 10 s after $what"
    wait "$dunskPid" || status=$?
    dunskPid=""
    [ "$status" -eq 0 ] || fail "dunsk exited with $status after $what (see $artefacts/$log)"
}

startXvfb
start_local_service "$service" "$artefacts/service.log" --corpus "$corpus"

# First run: a search typed into the window and started with Enter, then Close.
firstKey="desk-key-4711"
startDunsk dunsk-first.log
clickLicenceKey
typeText "$firstKey"
clickQueryWord
typeText teletype
xdotool key Return
waitFor 30 searchFinished || {
    import -window root "$artefacts/search-timeout.png" 2>/dev/null || true
    fail "the search did not complete within 30 s (no word history in $settingsFile)"
}
# The result list is filled right after the history is written; let it paint.
sleep 1
if command -v import >/dev/null 2>&1; then
    import -window root "$artefacts/after-search.png" || echo "note: no screenshot taken" >&2
fi
clickClose
expectCleanExit Close dunsk-first.log

[ "$(settingValue Settings "License Key")" = "$firstKey" ] ||
    fail "License Key is '$(settingValue Settings "License Key" || true)', want '$firstKey'"
[ "$(settingValue "Search Words" 1)" = teletype ] || fail "Search Words 1 is not teletype"
cachePath=$(settingValue Settings "Cache Path") || fail "no Cache Path in $settingsFile"
[ "$cachePath" = "$expectedCache" ] || fail "Cache Path is '$cachePath', want '$expectedCache'"
[ -s "$cachePath" ] || fail "no cache file at $cachePath"
"$tarvex" cache dump "$cachePath" >"$artefacts/cache-dump.json" ||
    fail "tarvex cache dump failed on $cachePath"
# Counts the URLs of the "teletype" entry in the dump (two-space indented JSON).
urlCount=$(awk '
    /^    \{/ { word = ""; inUrls = 0 }
    /^      "queryWord": / { word = $0; sub(/^[^:]*: "/, "", word); sub(/",?$/, "", word) }
    /^      "urls": \[$/ { inUrls = (word == "teletype"); next }
    inUrls && /^      \]/ { inUrls = 0 }
    inUrls && /^        "/ { ++count }
    END { print count + 0 }
' "$artefacts/cache-dump.json")
[ "$urlCount" -gt 0 ] || fail "the cache dump has no teletype entry with URLs (see cache-dump.json)"
echo "first run: search stored, $urlCount URL(s) cached for teletype"

# Second run: another key typed, then Escape, which leaves without storing it.
startDunsk dunsk-escape.log
clickLicenceKey
xdotool key ctrl+a
typeText "other-key-0815"
xdotool key Escape
expectCleanExit Escape dunsk-escape.log
[ "$(settingValue Settings "License Key")" = "$firstKey" ] ||
    fail "Escape stored the licence key: it is '$(settingValue Settings "License Key" || true)'"
echo "second run: Escape kept the stored licence key"

echo "PASS"
