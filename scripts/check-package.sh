#!/usr/bin/env bash
# Builds the Debian package in release mode and checks it as a user's machine would meet it: its
# files, lintian, the launcher entry, the AppStream data, the manual pages, and the programs it
# holds, run from the unpacked package without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh dpkg-dev file lintian desktop-file-utils appstream man-db

step() { printf '\n== %s\n' "$*"; }
fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

step "release build and package (cmake --build build/release --target package)"
rm -f build/release/vazovevoz_*.deb
cmake --preset release >/dev/null
cmake --build build/release -j "$(nproc)" --target package
debs=(build/release/vazovevoz_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one vazovevoz_*.deb, found: ${debs[*]}"
deb=${debs[0]}
echo "$deb"

step "the package holds the programs, launcher entry, icon, AppStream data, demo menu, manual pages, copyright, changelog and help page"
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in \
    ./usr/bin/vazovevoz \
    ./usr/bin/vrplmenu \
    ./usr/libexec/vazovevoz/vazo-dvdread \
    ./usr/share/applications/vazovevoz.desktop \
    ./usr/share/icons/hicolor/scalable/apps/vazovevoz.svg \
    ./usr/share/metainfo/io.github.vazovevoz.VazoVevoz.metainfo.xml \
    ./usr/share/vazovevoz/demo/demo.ini \
    ./usr/share/vazovevoz/demo/demo.walk \
    ./usr/share/vazovevoz/demo/menu/menu.avi \
    ./usr/share/man/man1/vazovevoz.1.gz \
    ./usr/share/man/man1/vrplmenu.1.gz \
    ./usr/share/doc/vazovevoz/copyright \
    ./usr/share/doc/vazovevoz/changelog.gz \
    ./usr/share/doc/vazovevoz/help.md; do
  grep -qxF "$path" <<<"$listing" || fail "$path is not in the package"
  echo "  $path"
done

step "its dependencies come from the linked libraries"
depends=$(dpkg-deb -f "$deb" Depends)
echo "  $depends"
for lib in libqt6widgets6 libavcodec libjpeg62-turbo libdvdread8 qt6-qpa-plugins libgvc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib"
done

step "lintian reports no error"
lintian --fail-on error --info "$deb"

unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"

step "the programs are stripped"
for program in vazovevoz vrplmenu; do
  file "$unpacked/usr/bin/$program" | grep -q ', stripped' || fail "$program is not stripped"
  echo "  $program"
done

step "desktop-file-validate on the launcher entry"
desktop-file-validate "$unpacked/usr/share/applications/vazovevoz.desktop"

step "appstreamcli validate --no-net on the AppStream data"
appstreamcli validate --no-net "$unpacked/usr/share/metainfo/io.github.vazovevoz.VazoVevoz.metainfo.xml"

step "the manual pages render without warnings"
for page in vazovevoz vrplmenu; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$unpacked/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man $page: $warnings"
  echo "  $page(1)"
done

step "the unpacked programs run without a display: vrplmenu --version, vrplmenu check on the packaged demo, vazovevoz --version"
run() { echo "  \$ $*"; env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$@" | sed 's/^/    /'; }
run "$unpacked/usr/bin/vrplmenu" --version
run "$unpacked/usr/bin/vrplmenu" check "$unpacked/usr/share/vazovevoz/demo/demo.ini"
run "$unpacked/usr/bin/vazovevoz" --version

step "package checks passed: $deb"
