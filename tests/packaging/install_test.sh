#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and packs it with CPack, then checks that both
# hold the three programs, a valid desktop entry, the icons, the local service's systemd user
# units and the settings fallback that names its port; that the package declares what it
# depends on; that its scripts enable the socket for every user and disable it on removal; that
# it carries its copyright, changelog and manual pages; and that lintian finds no error or
# warning in it. Without lintian every other check runs and the test then reports a skip (77).
# Usage: install_test.sh BUILD_FOLDER [CMAKE] [CPACK] [SERVICE_PORT]
set -euo pipefail

build=$1
cmake=${2:-cmake}
cpack=${3:-cpack}
port=${4:-47213}
programs=(dunsk tarvex tarvex-service)
icon_sizes=(16 32 48 256)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "install_test: $*" >&2
    exit 1
}
command -v desktop-file-validate >/dev/null || fail "desktop-file-validate missing (scripts/bootstrap)"
command -v dpkg-deb >/dev/null || fail "dpkg-deb missing"
command -v dpkg-parsechangelog >/dev/null || fail "dpkg-parsechangelog missing (dpkg-dev, scripts/bootstrap)"

# The width and height of a PNG, from its IHDR chunk (bytes 16 to 23, big-endian).
png_size() {
    local b
    read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

# Checks an installed tree: ROOT holds bin/, lib/ and share/, SYSCONF is its /etc, and
# INSTALLED is the prefix the installed files name (default ROOT; /usr in the package).
check_tree() {
    local root=$1 sysconf=$2 installed=${3:-$1} program size icon entry units fallback
    for program in "${programs[@]}"; do
        [ -f "$root/bin/$program" ] && [ -x "$root/bin/$program" ] || fail "$root/bin/$program missing"
    done
    entry=$root/share/applications/tarvex.desktop
    [ -f "$entry" ] || fail "$entry missing"
    desktop-file-validate "$entry" || fail "$entry is not a valid desktop entry"
    grep -qx 'Exec=dunsk' "$entry" || fail "$entry does not start dunsk"
    grep -qx 'Icon=tarvex' "$entry" || fail "$entry does not name the icon tarvex"
    for size in "${icon_sizes[@]}"; do
        icon=$root/share/icons/hicolor/${size}x${size}/apps/tarvex.png
        [ -f "$icon" ] || fail "$icon missing"
        [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon")"
    done
    grep -q '<svg' "$root/share/icons/hicolor/scalable/apps/tarvex.svg" || fail "scalable icon missing"
    grep -qx 'StartupWMClass=dunsk' "$entry" || fail "$entry does not match the window's class"

    units=$root/lib/systemd/user
    grep -qx "ListenStream=127.0.0.1:$port" "$units/tarvex-service.socket" ||
        fail "$units/tarvex-service.socket does not listen on 127.0.0.1:$port"
    grep -qx 'WantedBy=sockets.target' "$units/tarvex-service.socket" ||
        fail "$units/tarvex-service.socket is not wanted by sockets.target"
    grep -qx "ExecStart=$installed/bin/tarvex-service" "$units/tarvex-service.service" ||
        fail "$units/tarvex-service.service does not start the installed program"
    # QSettings writes a blank in a key as %20.
    fallback="$sysconf/xdg/Brenmoor Technologies/dunsk.conf"
    [ -f "$fallback" ] || fail "$fallback missing"
    grep -qx '\[Settings\]' "$fallback" || fail "$fallback has no [Settings] section"
    grep -qx "Service%20Endpoint=http://127.0.0.1:$port/search/beta2" "$fallback" ||
        fail "$fallback does not name the local service"
}

# systemd-analyze verify on the installed units, which must say nothing. A user manager wants
# a runtime folder, which a root shell in a container lacks; the system manager's reading is
# the next best. Skipped when neither can start here.
verify_units() {
    local units=$1 output mode
    if ! command -v systemd-analyze >/dev/null; then
        echo "install_test: systemd-analyze missing, units not verified"
        return
    fi
    mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
    for mode in --user --system; do
        if output=$(cd "$units" && XDG_RUNTIME_DIR=$work/runtime systemd-analyze verify $mode \
            ./tarvex-service.socket ./tarvex-service.service 2>&1); then
            [ -z "$output" ] || fail "systemd-analyze verify $mode: $output"
            return
        fi
        grep -q 'Failed to initialize manager' <<<"$output" ||
            fail "systemd-analyze verify $mode: $output"
    done
    echo "install_test: systemd-analyze cannot start a manager here, units not verified"
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }
check_tree "$work/prefix" "$work/prefix/etc"
verify_units "$work/prefix/lib/systemd/user"

(cd "$work" && "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg") \
    >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
packages=("$work"/pkg/*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] || fail "expected one .deb, found: ${packages[*]}"
package=${packages[0]}

info=$(dpkg-deb -I "$package")
grep -qx ' Package: tarvex' <<<"$info" || fail "package name is not tarvex"
grep -qx ' Maintainer: Tarvex developers <tarvex@example.org>' <<<"$info" || fail "maintainer missing"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
[ -n "$depends" ] || fail "the package declares no Depends"
for dependency in libqt6widgets6 libqt6gui6 libqt6core6 libxml2 libsqlite3-0 \
    fonts-liberation fonts-dejavu-core; do
    grep -Eq "(^|, )$dependency( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

contents=$(dpkg-deb -c "$package")
grep -qx ' Recommends: xdg-utils' <<<"$info" || fail "the package does not recommend xdg-utils"
for path in "${programs[@]/#/./usr/bin/}" ./usr/share/applications/tarvex.desktop \
    ./usr/share/icons/hicolor/48x48/apps/tarvex.png \
    ./usr/lib/systemd/user/tarvex-service.socket ./usr/lib/systemd/user/tarvex-service.service \
    "./etc/xdg/Brenmoor Technologies/dunsk.conf"; do
    grep -q " $path\$" <<<"$contents" || fail "package lacks $path"
done
dpkg-deb -x "$package" "$work/unpacked"
check_tree "$work/unpacked/usr" "$work/unpacked/etc" /usr

# The documentation Debian asks of every package: the licence, the changelog (native package:
# changelog.gz) whose newest entry is this version, and a manual page for each program.
doc=$work/unpacked/usr/share/doc/tarvex
grep -qx 'License: Expat' "$doc/copyright" || fail "$doc/copyright does not give the licence"
zcat "$doc/changelog.gz" >"$work/changelog" || fail "$doc/changelog.gz does not decompress"
version=$(sed -n 's/^ Version: //p' <<<"$info")
logged=$(dpkg-parsechangelog -l "$work/changelog" -S Version) || fail "the changelog does not parse"
[ "$logged" = "$version" ] || fail "the changelog's newest entry is $logged, the package $version"
for program in "${programs[@]}"; do
    page=$work/unpacked/usr/share/man/man1/$program.1.gz
    zcat "$page" >"$work/page" || fail "$page does not decompress"
    grep -q "^\\.TH ${program^^} 1 " "$work/page" || fail "$page is not the manual page of $program"
done

# The maintainer scripts, run as dpkg runs them, with systemctl working on the unpacked tree.
dpkg-deb -e "$package" "$work/control"
grep -qx '/etc/xdg/Brenmoor Technologies/dunsk.conf' "$work/control/conffiles" ||
    fail "the settings fallback is not a conffile"
for script in postinst prerm; do
    [ -x "$work/control/$script" ] || fail "$script is not executable"
done
wanted="$work/unpacked/etc/systemd/user/sockets.target.wants/tarvex-service.socket"
if systemctl=$(command -v systemctl); then
    mkdir -p "$work/shim"
    printf '#!/bin/sh\nexec %s --root=%s "$@"\n' "$systemctl" "$work/unpacked" >"$work/shim/systemctl"
    chmod +x "$work/shim/systemctl"
    PATH=$work/shim:$PATH "$work/control/postinst" configure >/dev/null 2>&1 ||
        fail "postinst configure failed"
    [ -L "$wanted" ] || fail "postinst did not enable tarvex-service.socket for every user"
    PATH=$work/shim:$PATH "$work/control/prerm" remove >/dev/null 2>&1 || fail "prerm remove failed"
    [ ! -e "$wanted" ] && [ ! -L "$wanted" ] || fail "prerm did not disable tarvex-service.socket"
else
    echo "install_test: systemctl missing, the scripts' enabling not checked"
fi
# Without systemctl both scripts still succeed.
PATH=$work/no-such-folder "$work/control/postinst" configure || fail "postinst fails without systemctl"
PATH=$work/no-such-folder "$work/control/prerm" remove || fail "prerm fails without systemctl"
if ! command -v lintian >/dev/null; then
    echo "install_test: lintian missing (scripts/bootstrap), $(basename "$package") not checked by it"
    exit 77
fi
# Tags of level info and below are advice; an error or a warning fails.
lintian --fail-on error,warning "$package" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log" >&2; fail "lintian finds fault with $(basename "$package")"; }
echo "install_test: installed tree and $(basename "$package") are complete"
