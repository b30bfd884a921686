#!/usr/bin/env bash
# Drives the real dunsk window on a virtual X server against the local search service:
# a search typed and started with Enter, then Close, must leave the licence key, the word history
# and the cache file behind; a second run left with Escape must not store the key typed in it; a
# third run, where pyatspi is at hand, searches through the controls' accessible names.
#   dunsk_under_xvfb.sh DUNSK TARVEX_SERVICE CORPUS TARVEX
# The screenshot (after-search.png) and the logs go to ./dunsk_under_xvfb/ (ctest runs this in
# the build folder). Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

if [ $# -ne 4 ]; then
    echo "use: $0 DUNSK TARVEX_SERVICE CORPUS TARVEX" >&2
    exit 2
fi
dunsk=$1
service=$2
corpus=$3
tarvex=$4
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/desktop/xvfb_session.sh
source "$here/xvfb_session.sh"
requireTools Xvfb xdotool
for program in "$dunsk" "$service" "$tarvex"; do
    [ -x "$program" ] || fail "$program is not an executable file"
done
[ -r "$corpus" ] || fail "cannot read the corpus $corpus"

beginSession dunsk_under_xvfb

startXvfb
start_local_service "$service" "$artefacts/service.log" --no-config --corpus "$corpus"

# First run: a search typed into the window and started with Enter, then Close.
firstKey="desk-key-4711"
startDunsk dunsk-first.log
clickLicenceKey
typeText "$firstKey"
clickQueryWord
typeText teletype
xdotool key Return
waitFor 30 searchStored teletype || {
    screenshot search-timeout.png
    fail "the search did not complete within 30 s (no word history in $settingsFile)"
}
# The result list is filled right after the history is written; let it paint.
sleep 1
screenshot after-search.png
clickClose
expectCleanExit Close

[ "$(settingValue Settings "License Key")" = "$firstKey" ] ||
    fail "License Key is '$(settingValue Settings "License Key" || true)', want '$firstKey'"
[ "$(settingValue "Search Words" 1)" = teletype ] || fail "Search Words 1 is not teletype"
cachePath=$(settingValue Settings "Cache Path") || fail "no Cache Path in $settingsFile"
[ "$cachePath" = "$expectedCache" ] || fail "Cache Path is '$cachePath', want '$expectedCache'"
[ -s "$cachePath" ] || fail "no cache file at $cachePath"
"$tarvex" cache dump "$cachePath" >"$artefacts/cache-dump.json" ||
    fail "tarvex cache dump failed on $cachePath"
urlCount=$(cachedUrlCount teletype "$artefacts/cache-dump.json")
[ "$urlCount" -gt 0 ] || fail "the cache dump has no teletype entry with URLs (see cache-dump.json)"
echo "first run: search stored, $urlCount URL(s) cached for teletype"

# Second run: another key typed, then Escape, which leaves without storing it.
startDunsk dunsk-escape.log
clickLicenceKey
xdotool key ctrl+a
typeText "other-key-0815"
xdotool key Escape
expectCleanExit Escape
[ "$(settingValue Settings "License Key")" = "$firstKey" ] ||
    fail "Escape stored the licence key: it is '$(settingValue Settings "License Key" || true)'"
echo "second run: Escape kept the stored licence key"

# Another run as an installed window starts: no TARVEX_ENDPOINT, only the system-wide settings
# fallback the package installs, its port made the test service's.
fallbackFolder="$scratch/xdg"
mkdir -p "$fallbackFolder/Brenmoor Technologies"
servicePort=${SERVICE_ENDPOINT##*:}
servicePort=${servicePort%%/*}
sed "s/@TARVEX_SERVICE_PORT@/$servicePort/" "$here/../../packaging/dunsk.conf.in" \
    >"$fallbackFolder/Brenmoor Technologies/dunsk.conf"
grep -q "^Service%20Endpoint=$SERVICE_ENDPOINT\$" "$fallbackFolder/Brenmoor Technologies/dunsk.conf" ||
    fail "the fallback file does not name $SERVICE_ENDPOINT"
startDunsk dunsk-fallback.log TARVEX_ENDPOINT= XDG_CONFIG_DIRS="$fallbackFolder"
clickQueryWord
xdotool key ctrl+a
typeText lisp
xdotool key Return
waitFor 30 searchStored lisp || {
    screenshot fallback-timeout.png
    fail "the window with only the settings fallback did not search the local service"
}
clickClose
expectCleanExit Close
echo "fallback run: the window found the service through the system-wide settings"

# Third run: the controls found by their accessible names over the accessibility bus, as a screen
# reader finds them. Needs Python with pyatspi and a D-Bus session daemon.
if ! findAtspiPython || ! command -v dbus-daemon >/dev/null 2>&1; then
    echo "NOTE: third run left out: it needs python3-pyatspi, at-spi2-core and dbus-daemon"
    echo "PASS"
    exit 0
fi
startSessionBus

thirdKey="by-name-key-42"
startDunsk dunsk-by-name.log QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
timeout 60 "$atspiPython" "$here/drive_by_name.py" --pid "$dunskPid" --key "$thirdKey" \
    --word shrdlu --timeout 20 >"$artefacts/drive-by-name.txt" 2>&1 ||
    fail "driving the window by accessible names failed: $(cat "$artefacts/drive-by-name.txt")"
grep -qxF "status=Double click on an entry to open it in browser. Right click for more options." \
    "$artefacts/drive-by-name.txt" ||
    fail "unexpected status read by name: $(cat "$artefacts/drive-by-name.txt")"
grep -qxF "search-number=3" "$artefacts/drive-by-name.txt" ||
    fail "the Search # read by name is not 3 (one search in each run but the Escape one): $(cat "$artefacts/drive-by-name.txt")"
[ "$(settingValue Settings "License Key")" = "$thirdKey" ] ||
    fail "the licence key set by name was not stored"
[ "$(settingValue "Search Words" 1)" = shrdlu ] || fail "Search Words 1 is not shrdlu"
clickClose
expectCleanExit Close
echo "third run: searched through the accessible names; the status read back"

echo "PASS"
