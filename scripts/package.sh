#!/usr/bin/env bash
# Builds the Debian package (cpack -G DEB) in the build directory that scripts/test.sh uses,
# unpacks it into a scratch root, checks the desktop entry and the AppStream data with their
# validators, and runs the unpacked program's --version. Prints the package's file list.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${TAVRIN_BUILD_DIR:-$top/build}
"$top/scripts/deps.sh" test
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TAVRIN_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j"$(nproc)"

(cd "$build" && rm -f tavrin_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tavrin_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"

echo "== $(basename "$deb")"
dpkg-deb -f "$deb" Package Version Depends Recommends
dpkg-deb -c "$deb"
# Loaded at run time, so only the packaging names it.
dpkg-deb -f "$deb" Depends | grep -q libhamlib4 || { echo "the package does not depend on libhamlib4" >&2; exit 1; }

echo "== desktop-file-validate"
desktop-file-validate "$root"/usr/share/applications/*.desktop
echo "== appstreamcli validate"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
echo "== man page"
man --warnings -l "$root/usr/share/man/man1/tavrin.1" >/dev/null

# Help opens the manual from the executable's directory, ../share/doc/tavrin/manual.
test -f "$root/usr/share/doc/tavrin/manual/index.html"

# The loggers' hooks, ready to be copied into place.
for hook in tlf/play_vk cqrlog/voice_keyer.sh; do
    test -x "$root/usr/share/tavrin/hooks/$hook" || { echo "the package has no executable hooks/$hook" >&2; exit 1; }
done

echo "== tavrin --version"
version=$(dpkg-deb -f "$deb" Version)
printed=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$root/usr/bin/tavrin" --version)
echo "$printed"
case "$printed" in
    "tavrin $version"*) ;;
    *) echo "expected \"tavrin $version\" from the packaged program" >&2; exit 1 ;;
esac
