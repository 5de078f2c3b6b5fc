#!/usr/bin/env bash
# Builds the Debian package (scripts/package.sh) and checks it:
#   scripts/check-package.sh            what any clone can check: the files it holds,
#                                       its dependencies, the menu entry and the icons
#   scripts/check-package.sh --install  then installs it with apt-get and starts the installed
#                                       program; for a throwaway root only, since it first
#                                       removes the Qt development packages that the build
#                                       installed:
#       fresh-machine.sh CHECKOUT 'bash scripts/check-package.sh --install'
# Fails with "check-package: FAIL" and a non-zero exit at the first fault.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/ensure-packages.sh

fail() { echo "check-package: FAIL: $*" >&2; exit 1; }
pass() { echo "check-package: ok: $*"; }

install_check=0
case "${1:-}" in
    "") ;;
    --install) install_check=1 ;;
    *) fail "unknown option $1 (only --install)" ;;
esac
if [ "$install_check" = 1 ] && ! ischroot; then
    fail "--install removes the Qt development packages: run it in a throwaway root (fresh-machine.sh)"
fi

ensure_packages desktop-file-utils systemd
deb=$(bash scripts/package.sh | tail -n 1) || fail "scripts/package.sh could not build the package"
[ -f "$deb" ] || fail "scripts/package.sh made no package"
version=$(sed -n 's/^project(MarlowDesk VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[[ "$(basename "$deb")" == "marlowdesk_${version}_$(dpkg --print-architecture).deb" ]] \
    || fail "package file $deb is not marlowdesk_${version}_<arch>.deb"
pass "$deb"

# The icon sizes of the hicolor theme that the menus and window lists ask for.
icon_sizes=(16 22 24 32 48 64 128 256)
expected=(./usr/bin/marlowdesk ./usr/bin/marlowdesk-collect ./usr/bin/marlowdesk-station-sim
    ./usr/lib/systemd/user/marlowdesk-collect@.service ./usr/lib/systemd/user/marlowdesk-collect@.timer
    ./usr/share/applications/marlowdesk.desktop ./usr/share/doc/marlowdesk/README.md)
for size in "${icon_sizes[@]}"; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/marlowdesk.png")
done
files=$(dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ {print $NF}' | sort)
difference=$(diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$files") | grep '^[<>]' || true)
[ -z "$difference" ] || fail "the package's files differ from the expected ones (< missing, > extra):
$difference"
dpkg-deb --contents "$deb" | awk '$NF ~ /\/usr\/bin\/./ && $1 != "-rwxr-xr-x" {exit 1}' \
    || fail "a program in usr/bin is not executable"
pass "files: ${#expected[@]}, exactly the expected ones"

# Depends: the Qt run-time libraries it links, zlib's (the platform's gzip and
# deflate answers) and the C and C++ run-times; anything else, a -dev package
# above all, is a fault.
qt_libraries=(libqt5core5a libqt5gui5 libqt5widgets5 libqt5network5 libqt5serialport5)
depends=$(dpkg-deb --field "$deb" Depends)
names=$(echo "$depends" | tr ',|' '\n\n' | awk '{print $1}' | sort -u)
for library in "${qt_libraries[@]}"; do
    grep -qx "$library" <<<"$names" || fail "Depends lacks $library: $depends"
done
strays=$(grep -Evx 'libqt5[a-z0-9]+(-gles)?|zlib1g|libc6|libgcc-s1|libstdc\+\+6' <<<"$names" || true)
[ -z "$strays" ] || fail "Depends names more than the Qt, zlib and C/C++ run-times: $strays"
for field in Maintainer Description Section Priority; do
    [ -n "$(dpkg-deb --field "$deb" "$field")" ] || fail "the package has no $field"
done
pass "Depends: $depends"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb --extract "$deb" "$unpacked"
entry="$unpacked/usr/share/applications/marlowdesk.desktop"
report=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
grep -qx 'Exec=marlowdesk' "$entry" || fail "the menu entry does not start marlowdesk"
grep -qx 'Icon=marlowdesk' "$entry" || fail "the menu entry does not name the installed icon"
pass "menu entry accepted by desktop-file-validate"

# The collection's units as a user enables them, for an instance; ExecStart names the installed program.
units="$unpacked/units"
mkdir -p "$units"
for kind in service timer; do
    cp "$unpacked/usr/lib/systemd/user/marlowdesk-collect@.$kind" "$units/marlowdesk-collect@st1.$kind"
done
grep -q '^ExecStart=/usr/bin/marlowdesk-collect ' "$units/marlowdesk-collect@st1.service" \
    || fail "the collection's service does not start /usr/bin/marlowdesk-collect"
sed -i "s|^ExecStart=/usr/bin/marlowdesk-collect|ExecStart=$unpacked/usr/bin/marlowdesk-collect|" "$units/marlowdesk-collect@st1.service"
mkdir -p -m 700 "$unpacked/runtime"
report=$(XDG_RUNTIME_DIR="$unpacked/runtime" systemd-analyze --user verify \
    "$units/marlowdesk-collect@st1.service" "$units/marlowdesk-collect@st1.timer" 2>&1) \
    || fail "systemd-analyze verify: $report"
pass "the collection's service and timer pass systemd-analyze verify"

# A PNG's width and height are the big-endian words at bytes 16 and 20.
for size in "${icon_sizes[@]}"; do
    png="$unpacked/usr/share/icons/hicolor/${size}x${size}/apps/marlowdesk.png"
    read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
    [ "$width x $height" = "$size x $size" ] || fail "icon ${size}x${size} is ${width}x${height}"
done
pass "icons: ${icon_sizes[*]} px"

[ "$install_check" = 1 ] || exit 0

# From here on, as on an operator's machine: no Qt at all until the package brings it.
qt_build_packages=$(printf '%s\n' "${BUILD_PACKAGES[@]}" | grep qt)
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $qt_build_packages >/dev/null
DEBIAN_FRONTEND=noninteractive apt-get autoremove --purge -y -qq >/dev/null
installed() { dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort; }
before=$(installed)
grep -q '^libqt5' <<<"$before" && fail "a Qt library is still installed before the package: $(grep '^libqt5' <<<"$before" | xargs)"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null
pulled=$(comm -13 <(echo "$before") <(installed))
for library in marlowdesk "${qt_libraries[@]}"; do
    grep -qx "$library" <<<"$pulled" || fail "apt-get install did not install $library"
done
development=$(installed | grep -E -- '-dev$|-dev-tools$|qmake|qtchooser' | grep -i qt || true)
[ -z "$development" ] || fail "Qt development packages are installed: $(echo $development)"
pass "apt-get install pulled $(wc -l <<<"$pulled") packages, Qt's run-time libraries and none of its development packages"

# The program has no way to quit by itself: it must still be running when the timeout ends it.
status=0
QT_QPA_PLATFORM=offscreen timeout 5 marlowdesk >/dev/null 2>"$unpacked/offscreen.log" || status=$?
[ "$status" = 124 ] || fail "marlowdesk ended with $status before the timeout: $(cat "$unpacked/offscreen.log")"
pass "marlowdesk runs offscreen until ended"

status=0
simulator=$(timeout --preserve-status 2 marlowdesk-station-sim --tcp 0 --quiet) || status=$?
grep -q '^TCP: 127\.0\.0\.1:[0-9]' <<<"$simulator" && grep -qx 'station-sim stopped' <<<"$simulator" \
    && [ "$status" = 0 ] || fail "marlowdesk-station-sim did not serve and stop (exit $status): $simulator"
pass "marlowdesk-station-sim serves TCP on 127.0.0.1 and stops on TERM"

# On an X server the window shows with its title, and with the installed icon.
ensure_packages xvfb xauth x11-utils
title="MarlowWifiDesk Configuration Tool - Version $version"
window=$(xvfb-run -a bash -c '
    marlowdesk 2>/dev/null & program=$!
    for _ in $(seq 100); do
        line=$(xwininfo -root -tree | grep -F -m 1 "\"$0\"") && break
        sleep 0.1
    done
    read -r id _ <<<"$line" && echo "$line" && xprop -id "$id" _NET_WM_ICON | head -c 80
    kill $program' "$title" || true)
grep -qF "\"$title\"" <<<"$window" || fail "no window titled \"$title\" under Xvfb"
grep -q '^_NET_WM_ICON(CARDINAL) = ' <<<"$window" || fail "the window has no icon: $window"
pass "window and its icon under Xvfb:$(head -n 1 <<<"$window")"
