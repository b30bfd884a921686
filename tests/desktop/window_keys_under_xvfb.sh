#!/usr/bin/env bash
# The window from the keyboard and through the accessibility bus, under a window manager
# (openbox) so that X gives the window the focus:
# - at the first start the status line is empty and "Spread Sheet Mode" unchecked;
# - after a search, Tab leaves the result list for the next control in one press, Shift+Tab
#   comes back to it in one;
# - "Spread Sheet Mode" toggled through its accessible action (not a click) writes its setting;
# - Help? opens the help page on the local service's origin, and the service serves it;
# - after a restart the box shows the stored mode.
#   window_keys_under_xvfb.sh DUNSK TARVEX_SERVICE CORPUS
# Screenshots and logs go to ./window_keys_under_xvfb/. Exits 77 (skipped) when a tool is
# missing.
set -euo pipefail

if [ $# -ne 3 ]; then
    echo "use: $0 DUNSK TARVEX_SERVICE CORPUS" >&2
    exit 2
fi
dunsk=$1
service=$2
corpus=$3
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/desktop/xvfb_session.sh
source "$here/xvfb_session.sh"
requireTools Xvfb xdotool openbox dbus-daemon
findAtspiPython || {
    echo "SKIP: no Python with pyatspi"
    exit 77
}

wmPid=""
endSessionExtras() {
    if [ -n "$wmPid" ]; then
        kill -TERM "$wmPid" 2>/dev/null || true
        wait "$wmPid" 2>/dev/null || true
    fi
}
beginSession window_keys_under_xvfb
startXvfb
openbox --sm-disable >"$artefacts/openbox.log" 2>&1 &
wmPid=$!
start_local_service "$service" "$artefacts/service.log" --no-config --corpus "$corpus"
startSessionBus

# The browser: records the address it was asked to open.
opened="$scratch/opened.txt"
browser="$scratch/browser"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"%s"\n' "$opened" >"$browser"
chmod +x "$browser"

reader() {
    timeout 60 "$atspiPython" "$here/keys_and_reader.py" --pid "$dunskPid" "$@"
}
# Prints what the reader says is focused now.
focusedControl() {
    reader focused | sed -n 's/^focused=//p'
}

startDunsk keys-first.log QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 BROWSER="$browser"
reader state >"$artefacts/first-state.txt" || fail "reading the first state failed"
grep -qx "status=" "$artefacts/first-state.txt" ||
    fail "the status line is not empty at start: $(cat "$artefacts/first-state.txt")"
grep -qx "spreadsheet=0" "$artefacts/first-state.txt" || fail "Spread Sheet Mode checked at start"
echo "first start: empty status line, Spread Sheet Mode unchecked"

reader search keys-key teletype >"$artefacts/search.txt" || fail "the search failed"
# True once the reader says the focus is on one of the given controls (ROLE:NAME each).
focusOn() {
    local now
    now=$(focusedControl) || return 1
    lastFocus=$now
    for wanted in "$@"; do
        [ "$now" = "$wanted" ] && return 0
    done
    return 1
}
lastFocus=""
# A click on the first row gives the list the focus.
clickAt 200 60
waitFor 3 focusOn "list:Results" "table:Results" ||
    fail "the result list is not focused: $lastFocus"
xdotool key Tab
waitFor 3 focusOn "push button:Reset" || fail "Tab from the list went to '$lastFocus', not Reset"
xdotool key shift+Tab
waitFor 3 focusOn "list:Results" "table:Results" ||
    fail "Shift+Tab from Reset went to '$lastFocus', not the result list"
screenshot keys-after-search.png
echo "Tab: the list is one tab stop (list -> Reset -> list)"

reader toggle "Spread Sheet Mode" || fail "the accessible Toggle failed"
# shellcheck disable=SC2317 # called through waitFor
toggled() { reader state | grep -qx "spreadsheet=1"; }
waitFor 3 toggled || fail "the box did not toggle"
reader press "Help?" || fail "pressing Help? failed"
# shellcheck disable=SC2317 # called through waitFor
helpOpened() { grep -q 'page=help' "$opened" 2>/dev/null; }
waitFor 10 helpOpened || fail "Help? opened nothing (BROWSER got: $(cat "$opened" 2>/dev/null))"
helpAddress=$(grep 'page=help' "$opened" | head -n 1)
case "$helpAddress" in
"${SERVICE_ENDPOINT%/search/beta2}"/*) ;;
*) fail "Help? opened '$helpAddress', not a page on $SERVICE_ENDPOINT's origin" ;;
esac
"$atspiPython" - "$helpAddress" >"$artefacts/help-page.html" <<'PY' || fail "the help page at $helpAddress was not served"
import sys, urllib.request
with urllib.request.urlopen(sys.argv[1], timeout=10) as answer:
    sys.stdout.write(answer.read().decode("utf-8"))
PY
grep -q "<title>" "$artefacts/help-page.html" || fail "the help page has no title"
clickClose
expectCleanExit Close
[ "$(settingValue Settings "Spread Sheet Mode")" = 1 ] ||
    fail "the accessible Toggle did not write Spread Sheet Mode"
echo "accessible Toggle wrote Spread Sheet Mode=1; Help? opened $helpAddress, served"

startDunsk keys-second.log QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 BROWSER="$browser"
reader state >"$artefacts/second-state.txt" || fail "reading the state after the restart failed"
grep -qx "spreadsheet=1" "$artefacts/second-state.txt" ||
    fail "after a restart Spread Sheet Mode is not shown checked"
grep -qx "status=" "$artefacts/second-state.txt" || fail "the status line is not empty at start"
sleep 0.5
screenshot keys-restart.png
clickClose
expectCleanExit Close
echo "restart: Spread Sheet Mode shown checked, status line empty"
echo "PASS"
