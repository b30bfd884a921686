#!/usr/bin/env bash
# Drives dunsk's tray icon on a virtual X server, with trayer as the notification area:
# - started with "Minimize" = 1, only the icon shows, embedded in trayer, and no window;
# - a double click on the icon brings the window back and takes the icon away;
# - Tray hides the window again, and the icon menu's Exit ends the program with 0, the licence key
#   and the cache file written;
# - a notification area that restarts gets the icon again, whether the window is hidden or shown,
#   and a double click on the new icon still restores the window;
# - without a notification area a start with "Minimize" = 1 leaves the window mapped, never
#   hidden with no icon to bring it back.
#   tray_under_xvfb.sh DUNSK TARVEX_SERVICE CORPUS TARVEX
# Screenshots and logs go to ./tray_under_xvfb/ (ctest runs this in the build folder). Exits 77
# (skipped) when Xvfb, xdotool, trayer, xwininfo or xprop is missing.
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
requireTools Xvfb xdotool trayer xwininfo xprop
for program in "$dunsk" "$service" "$tarvex"; do
    [ -x "$program" ] || fail "$program is not an executable file"
done
[ -r "$corpus" ] || fail "cannot read the corpus $corpus"

# Without a session bus Qt's icon on xcb speaks the XEmbed tray protocol to whichever window owns
# _NET_SYSTEM_TRAY_S0, which is what trayer does.
unset DBUS_SESSION_BUS_ADDRESS

trayerPid=""
endSessionExtras() {
    if [ -n "$trayerPid" ]; then
        kill -TERM "$trayerPid" 2>/dev/null || true
        wait "$trayerPid" 2>/dev/null || true
    fi
}
beginSession tray_under_xvfb

# Prints the id of trayer's panel, the window that holds the embedded icons.
panelWindow() {
    xwininfo -root -children | awk '/\("panel" "trayer"\)/ { print $1; exit }'
}

viewable() {
    xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# trayer maps its panel once its tray has taken the _NET_SYSTEM_TRAY_S0 selection.
panelShown() {
    local panel
    running "$trayerPid" || fail "trayer ended at start (see $artefacts/trayer.log)"
    panel=$(panelWindow)
    [ -n "$panel" ] && viewable "$panel"
}

startTrayer() {
    trayer --edge top --align right --widthtype request --height 24 >>"$artefacts/trayer.log" 2>&1 &
    trayerPid=$!
    waitFor 10 panelShown || fail "trayer showed no panel within 10 s"
}

stopTrayer() {
    kill -TERM "$trayerPid" 2>/dev/null || true
    wait "$trayerPid" 2>/dev/null || true
    trayerPid=""
}

# Sets icon to dunsk's icon window when it is embedded in trayer's panel and mapped, and iconX,
# iconY to its centre.
iconEmbedded() {
    local panel
    panel=$(panelWindow)
    [ -n "$panel" ] || return 1
    icon=$(xwininfo -tree -id "$panel" | awk '/\("dunsk" "dunsk"\)/ { print $1; exit }')
    [ -n "$icon" ] && viewable "$icon" || return 1
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    iconX=$((X + WIDTH / 2))
    iconY=$((Y + HEIGHT / 2))
}

iconGone() {
    ! iconEmbedded
}

# True while dunsk runs with its main window created but not mapped.
mainWindowHidden() {
    running "$dunskPid" || fail "dunsk ended (see $artefacts/$dunskLog)"
    [ -n "$(xdotool search --all --pid "$dunskPid" --name '^Tarvex' 2>/dev/null)" ] &&
        [ -z "$(xdotool search --onlyvisible --name '^Tarvex' 2>/dev/null)" ]
}

doubleClickIcon() {
    xdotool mousemove "$iconX" "$iconY" click --repeat 2 --delay 80 1
}

# Sets menu to the icon menu's pop-up: a mapped top-level window of dunsk's besides the main one.
menuShown() {
    local candidate popups
    popups=$(xwininfo -root -children | awk '/"dunsk": \("dunsk" "dunsk"\)/ { print $1 }')
    for candidate in $popups; do
        if viewable "$candidate"; then
            menu=$candidate
            return 0
        fi
    done
    return 1
}

# Waits until the window is hidden, with only the icon in the notification area.
expectOnlyIcon() {
    local what=$1
    waitFor 30 iconEmbedded || {
        screenshot no-icon.png
        fail "$what: no icon embedded in trayer within 30 s"
    }
    waitFor 10 mainWindowHidden || fail "$what: the main window is still shown"
    # The window must stay away, not come back once the start-up is over.
    sleep 1
    mainWindowHidden || fail "$what: the main window came back"
    iconEmbedded || fail "$what: the icon went away"
}

# Mapped, or iconic where a window manager iconified it; not withdrawn.
notWithdrawn() {
    viewable "$window" || xprop -id "$window" WM_STATE 2>/dev/null | grep -q 'Iconic'
}

expectWindowRestored() {
    local what=$1
    waitFor 10 mainWindowShown || fail "$what: the main window did not show"
    waitFor 5 iconGone || fail "$what: the icon stayed in the notification area"
}

startXvfb
start_local_service "$service" "$artefacts/service.log" --no-config --corpus "$corpus"
startTrayer
mkdir -p "$(dirname "$settingsFile")"
printf '[Settings]\nMinimize=1\n' >"$settingsFile"

# First run: start in the tray, restore by a double click, back to the tray, leave by Exit.
launchDunsk dunsk-tray.log
expectOnlyIcon "start with Minimize=1"
screenshot start-in-tray.png
echo "start: only the icon ($icon, centre $iconX,$iconY), no window"

doubleClickIcon
expectWindowRestored "double click on the icon"
echo "double click: window $window shown, icon removed"

trayKey="tray-key-2718"
clickLicenceKey
typeText "$trayKey"
clickQueryWord
typeText teletype
xdotool key Return
waitFor 30 searchStored teletype || {
    screenshot search-timeout.png
    fail "the search did not complete within 30 s (no word history in $settingsFile)"
}
clickTray
expectOnlyIcon "Tray"
xdotool mousemove "$iconX" "$iconY" click 3
waitFor 5 menuShown || {
    screenshot no-menu.png
    fail "a right click on the icon showed no menu"
}
# Up from the freshly opened menu wraps round to its last item, Exit.
xdotool key Up
sleep 0.3
screenshot tray-menu.png
echo "right click: icon menu $menu shown, Exit chosen by keyboard"
xdotool key Return
expectCleanExit "the icon menu's Exit"
[ "$(settingValue Settings "License Key")" = "$trayKey" ] ||
    fail "License Key is '$(settingValue Settings "License Key" || true)', want '$trayKey'"
[ -s "$expectedCache" ] || fail "Exit left no cache file at $expectedCache"
"$tarvex" cache dump "$expectedCache" >"$artefacts/cache-dump.json" ||
    fail "tarvex cache dump failed on $expectedCache"
urlCount=$(cachedUrlCount teletype "$artefacts/cache-dump.json")
[ "$urlCount" -gt 0 ] ||
    fail "the cache written at Exit has no teletype entry (see cache-dump.json)"
echo "Tray, then Exit from the icon menu: exit code 0, key stored, $urlCount URL(s) cached"

# Second run: the notification area restarts, first while the window hides, then while it shows.
launchDunsk dunsk-restart.log
expectOnlyIcon "second start with Minimize=1"
stopTrayer
iconGone || fail "the icon outlived the notification area"
# The panel stays away for a while, as a restarting one does; the program looks four times a
# second.
sleep 2
startTrayer
started=$SECONDS
waitFor 5 iconEmbedded || {
    screenshot restart-no-icon.png
    fail "the icon was not embedded again within 5 s of the notification area's return"
}
echo "notification area back: icon embedded again after $((SECONDS - started)) s"
screenshot after-restart.png
mainWindowHidden || fail "the window showed when the notification area came back"
# The program looks for a returning notification area four times a second; a person's double
# click comes later than that.
sleep 1
doubleClickIcon
expectWindowRestored "double click on the icon after the restart"
echo "double click on the new icon: window shown, icon removed"

stopTrayer
sleep 2
startTrayer
waitFor 5 iconEmbedded ||
    fail "the notification area restarted while the window showed, and got no icon"
mainWindowShown || fail "the window went away when the notification area came back"
echo "notification area back while the window shows: icon added again"

# The notification area goes and stays away: Tray must not hide the window with no icon to come
# back by. The program looks four times a second; a person's click comes later.
stopTrayer
sleep 1
clickTray
sleep 1
notWithdrawn || fail "Tray after the notification area went away withdrew the window"
echo "notification area gone: Tray kept the window (minimised), not withdrawn"
clickClose
expectCleanExit Close

# Third run: no notification area at all. The start-up goes on and Tray minimises instead of
# hiding, so the window stays mapped (with no window manager nothing iconifies it).
stopTrayer
launchDunsk dunsk-no-tray.log
windowCreated() {
    running "$dunskPid" || fail "dunsk ended at start (see $artefacts/$dunskLog)"
    window=$(xdotool search --all --pid "$dunskPid" --name '^Tarvex' 2>/dev/null | head -n 1) ||
        true
    [ -n "$window" ]
}
waitFor 30 windowCreated || fail "no dunsk window created within 30 s without a notification area"
waitFor 10 notWithdrawn || fail "without a notification area the window never showed"
# The posted Tray command has run by now; it must not have withdrawn the window.
sleep 2
notWithdrawn || fail "without a notification area the window was hidden with no icon"
xprop -id "$window" WM_HINTS WM_STATE _NET_WM_STATE >"$artefacts/no-tray-window.txt" 2>&1 || true
screenshot no-tray.png
initialState=$(sed -n 's/^[[:space:]]*Initial state is \(.*\)\.$/\1/p' \
    "$artefacts/no-tray-window.txt")
echo "no notification area: window mapped, initial state hint '${initialState:-none}'"
waitFor 10 mainWindowShown || fail "the window is not visible to xdotool"
clickTray
sleep 1
notWithdrawn || fail "Tray without a notification area withdrew the window"
clickClose
expectCleanExit "Close without a notification area"

echo "PASS"
