#!/usr/bin/env bash
# Installs a built tree into a temporary prefix and packs it with CPack, then checks that both
# hold the three programs, a valid desktop entry and the icons, and that the package declares
# what it depends on.
# Usage: install_test.sh BUILD_FOLDER [CMAKE] [CPACK]
set -euo pipefail

build=$1
cmake=${2:-cmake}
cpack=${3:-cpack}
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

# The width and height of a PNG, from its IHDR chunk (bytes 16 to 23, big-endian).
png_size() {
    local b
    read -r -a b < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((b[0] << 24) | (b[1] << 16) | (b[2] << 8) | b[3]))x$(((b[4] << 24) | (b[5] << 16) | (b[6] << 8) | b[7]))"
}

# Checks an installed tree: ROOT holds bin/ and share/.
check_tree() {
    local root=$1 program size icon entry
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
}

"$cmake" --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 ||
    { cat "$work/install.log" >&2; fail "cmake --install failed"; }
check_tree "$work/prefix"

(cd "$work" && "$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg") \
    >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
packages=("$work"/pkg/*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] || fail "expected one .deb, found: ${packages[*]}"
package=${packages[0]}

info=$(dpkg-deb -I "$package")
grep -qx ' Package: tarvex' <<<"$info" || fail "package name is not tarvex"
grep -qx ' Maintainer: Tarvex developers' <<<"$info" || fail "maintainer missing"
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
[ -n "$depends" ] || fail "the package declares no Depends"
for dependency in libqt6widgets6 libqt6gui6 libqt6core6 libxml2 libsqlite3-0 \
    fonts-liberation fonts-dejavu-core; do
    grep -Eq "(^|, )$dependency( |,|$)" <<<"$depends" || fail "Depends lacks $dependency: $depends"
done

contents=$(dpkg-deb -c "$package")
for path in "${programs[@]/#/./usr/bin/}" ./usr/share/applications/tarvex.desktop \
    ./usr/share/icons/hicolor/48x48/apps/tarvex.png; do
    grep -q " $path\$" <<<"$contents" || fail "package lacks $path"
done
dpkg-deb -x "$package" "$work/unpacked"
check_tree "$work/unpacked/usr"
echo "install_test: installed tree and $(basename "$package") are complete"
