# shellcheck shell=bash
# Sourced by the desktop tests: a virtual X server, a home of its own, the local search service
# and dunsk started on them, with what the tests need to wait, read the settings, click and type.
#   requireTools TOOL...      exits 77 (skipped) when one is missing
#   beginSession NAME         artefacts folder ./NAME (logs, screenshots), scratch home, exit trap
#   startXvfb                 sets DISPLAY
#   start_local_service BINARY LOG [ARGUMENTS...]   (scripts/local_service.sh)
#   startDunsk LOG [VARIABLE=VALUE...]   waits for the window; launchDunsk does not
#   findAtspiPython          sets atspiPython to a Python with pyatspi; false when there is none
#   startSessionBus          a D-Bus session bus of its own (the accessibility bus starts on it)
# The caller sets `dunsk` to the program's path. A function `endSessionExtras`, where the caller
# defines one, runs at exit before the service and the X server stop.

sessionDirectory=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=scripts/local_service.sh
source "$sessionDirectory/../../scripts/local_service.sh"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

requireTools() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            echo "SKIP: $tool is not installed"
            exit 77
        fi
    done
}

xvfbPid=""
dunskPid=""
busPid=""
SERVICE_PID=""

endSession() {
    local status=$?
    if [ -n "$dunskPid" ]; then
        kill -KILL "$dunskPid" 2>/dev/null || true
        wait "$dunskPid" 2>/dev/null || true
    fi
    if declare -F endSessionExtras >/dev/null; then
        endSessionExtras || true
    fi
    if [ -n "$busPid" ]; then
        # The accessibility bus and its registry, started on demand, end with the session bus.
        kill -TERM "$busPid" 2>/dev/null || true
        wait "$busPid" 2>/dev/null || true
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

beginSession() {
    artefacts="$PWD/$1"
    rm -rf "$artefacts"
    mkdir -p "$artefacts"
    scratch=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    trap endSession EXIT
    trap 'exit 130' INT TERM

    # A home of its own: the settings, the cache file and the fonts' cache stay in the scratch
    # folder.
    export HOME="$scratch/home"
    export XDG_CONFIG_HOME="$scratch/config"
    export XDG_DATA_HOME="$scratch/data"
    export XDG_CACHE_HOME="$scratch/cache"
    export XDG_RUNTIME_DIR="$scratch/runtime"
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    settingsFile="$XDG_CONFIG_HOME/Brenmoor Technologies/dunsk.conf"
    # shellcheck disable=SC2034 # read by the scripts that source this file
    expectedCache="$XDG_DATA_HOME/Brenmoor Technologies/dunsk/quorlan.glr"
}

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

running() {
    kill -0 "$1" 2>/dev/null
}

stopped() {
    ! running "$1"
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

# True once a search for WORD has been stored: it heads the word history and the count is set.
searchStored() {
    [ "$(settingValue "Search Words" 1 2>/dev/null)" = "$1" ] &&
        settingValue Settings "Search Count" >/dev/null 2>&1
}

# Prints how many URLs the entry for WORD has in a `tarvex cache dump` (two-space indented JSON).
cachedUrlCount() {
    local word=$1 dump=$2
    awk -v wanted="$word" '
        /^    \{/ { word = ""; inUrls = 0 }
        /^      "queryWord": / { word = $0; sub(/^[^:]*: "/, "", word); sub(/",?$/, "", word) }
        /^      "urls": \[$/ { inUrls = (word == wanted); next }
        inUrls && /^      \]/ { inUrls = 0 }
        inUrls && /^        "/ { ++count }
        END { print count + 0 }
    ' "$dump"
}

startXvfb() {
    local displayFile="$scratch/display"
    : >"$displayFile"
    # -displayfd: the server picks a free display number and writes it to the descriptor.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$displayFile" \
        >"$artefacts/xvfb.log" 2>&1 &
    xvfbPid=$!
    # shellcheck disable=SC2317 # called through waitFor
    displayKnown() { grep -q '^[0-9][0-9]*$' "$displayFile"; }
    waitFor 20 displayKnown || fail "Xvfb gave no display number within 20 s"
    DISPLAY=":$(head -n 1 "$displayFile")"
    export DISPLAY
    running "$xvfbPid" || fail "Xvfb exited at start (see $artefacts/xvfb.log)"
}

screenshot() {
    if command -v import >/dev/null 2>&1; then
        import -window root "$artefacts/$1" 2>/dev/null || echo "note: no screenshot $1" >&2
    fi
}

# Starts dunsk with log name LOG and further VARIABLE=VALUE settings, and sets dunskPid.
launchDunsk() {
    local log=$1
    shift
    # The ASan build reports leaks of Qt's and fontconfig's process-lifetime allocations at exit;
    # they are not the program's and would turn the exit code non-zero.
    # shellcheck disable=SC2154 # dunsk is set by the sourcing script
    env TARVEX_ENDPOINT="$SERVICE_ENDPOINT" QT_QPA_PLATFORM=xcb ASAN_OPTIONS=detect_leaks=0 "$@" \
        "$dunsk" >"$artefacts/$log" 2>&1 &
    dunskPid=$!
    dunskLog=$log
    window=""
}

# Sets window to dunsk's main window when it is mapped, and reads its size.
mainWindowShown() {
    running "$dunskPid" || fail "dunsk ended (see $artefacts/$dunskLog)"
    window=$(timeout 5 xdotool search --all --onlyvisible --pid "$dunskPid" --name '^Tarvex' |
        head -n 1) || true
    [ -n "$window" ] || return 1
    eval "$(xdotool getwindowgeometry --shell "$window")"
    windowWidth=$WIDTH
    windowHeight=$HEIGHT
}

# As launchDunsk, then waits up to 30 s for the window and sets window (its X window id).
startDunsk() {
    launchDunsk "$@"
    waitFor 30 mainWindowShown || fail "no dunsk window within 30 s (see $artefacts/$dunskLog)"
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
clickTray() { clickAt 357 239; }
clickClose() { clickAt 392 239; }

typeText() {
    xdotool type --delay 30 "$1"
}

# Waits up to 10 s for dunsk to end and checks that it ended with 0.
expectCleanExit() {
    local what=$1 status=0
    waitFor 10 stopped "$dunskPid" || fail "dunsk still running 10 s after $what"
    wait "$dunskPid" || status=$?
    dunskPid=""
    [ "$status" -eq 0 ] || fail "dunsk exited with $status after $what (see $artefacts/$dunskLog)"
}

findAtspiPython() {
    local candidate
    atspiPython=""
    for candidate in python3 /usr/bin/python3; do
        if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c "import pyatspi" 2>/dev/null
        then
            atspiPython=$(command -v "$candidate")
            return 0
        fi
    done
    return 1
}

startSessionBus() {
    local busFile="$scratch/bus-address"
    dbus-daemon --session --nofork --print-address=1 >"$busFile" 2>"$artefacts/dbus.log" &
    busPid=$!
    # shellcheck disable=SC2317 # called through waitFor
    busKnown() { grep -q . "$busFile"; }
    waitFor 10 busKnown || fail "no D-Bus session address within 10 s (see $artefacts/dbus.log)"
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$busFile")
    export DBUS_SESSION_BUS_ADDRESS
}
