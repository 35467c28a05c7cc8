#!/usr/bin/env bash
# cmake --install puts the programs, desktop entries, icons, metainfo, manual pages and
# documents in their places under a fresh prefix; the desktop entries and metainfo pass the
# freedesktop validators and name programs and icons that were installed, and the installed
# programs run from there.
#   installed_tree_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$1 version=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log"; fail "cmake --install"; }
rm -f "$prefix.log"

for f in bin/brivane bin/brivane-cli bin/tessick bin/tessick-cli \
         share/applications/org.gantrel.Brivane.desktop \
         share/applications/org.gantrel.Tessick.desktop \
         share/icons/hicolor/scalable/apps/org.gantrel.Brivane.svg \
         share/icons/hicolor/scalable/apps/org.gantrel.Tessick.svg \
         share/metainfo/org.gantrel.Brivane.metainfo.xml \
         share/metainfo/org.gantrel.Tessick.metainfo.xml \
         share/man/man1/brivane-cli.1 share/man/man1/tessick-cli.1 \
         share/doc/gantrel/README.md share/doc/gantrel/examples/line01.sto; do
  [ -s "$prefix/$f" ] || fail "$f not installed"
done
for p in brivane brivane-cli tessick tessick-cli; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p is not executable"
  [ "$(env -u DISPLAY "$prefix/bin/$p" --version)" = "$p $version" ] || fail "installed $p --version"
done
# Nothing of the build (libraries, tests, benchmarks, headers) comes along.
extra=$(cd "$prefix" && find . -type f | grep -Ev '^\./(bin|share/(applications|icons|metainfo|man|doc))/' || true)
[ -z "$extra" ] || fail "installed beyond the suite's files: $extra"

for id in org.gantrel.Brivane org.gantrel.Tessick; do
  entry=$prefix/share/applications/$id.desktop
  desktop-file-validate "$entry" || fail "$id.desktop does not validate"
  program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$entry")
  [ -x "$prefix/bin/$program" ] || fail "$id.desktop starts '$program', which is not installed"
  icon=$(sed -n 's/^Icon=//p' "$entry")
  [ -s "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "$id.desktop shows icon '$icon', not installed"
  xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" || fail "$icon.svg is not well-formed"
  metainfo=$prefix/share/metainfo/$id.metainfo.xml
  appstreamcli validate --no-net "$metainfo" >/dev/null || {
    appstreamcli validate --no-net "$metainfo"; fail "$id.metainfo.xml does not validate"; }
  grep -q "<release version=\"$version\"" "$metainfo" || fail "$id.metainfo.xml does not carry version $version"
done
grep -q "^\.TH .* \"Gantrel suite $version\"" "$prefix/share/man/man1/brivane-cli.1" ||
  fail "brivane-cli.1 does not carry version $version"
