#!/usr/bin/env bash
# End to end: the plan-view map of a small generated survey through the batch command line,
# as the demo draws it: the interpolation, a contoured map picture and the KML overlay, whose
# image must lie beside it under the name it gives.
set -euo pipefail
example=$1
cli=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*"; tail -20 "$work/log" 2>/dev/null; exit 1; }

"$example" --out "$work/data" --lines 3 --readings 150 >/dev/null
(cd "$work" && "$cli" data/line01.sto data/line02.sto data/line03.sto --marker-spacing 10 \
  --interpolate --map-color contour --png map-interp:1:interp.png --png map-gps:gps.png \
  --kml-map overlay.kml 2>log) || fail "brivane-cli exited with $?"

for f in interp.png gps.png overlay.kml DataInterpolation.txt; do
  [ -s "$work/$f" ] || fail "$f missing or empty"
done
grep -q '^summary: map grid ' "$work/log" || fail "no map summary"
grep -q '^message: Interpolation completed.$' "$work/log" || fail "interpolation not completed"
# The overlay names its image after the data (the last file opened, as the window titles it),
# the image exists beside it, and its box lies round the survey.
href=$(sed -n 's:.*<href>\(.*\)</href>.*:\1:p' "$work/overlay.kml")
[ "$href" = "line03.sto.png" ] || fail "overlay image is \"$href\""
[ -s "$work/$href" ] || fail "the overlay's image $href is missing"
south=$(sed -n 's:.*<south>\(.*\)</south>.*:\1:p' "$work/overlay.kml")
north=$(sed -n 's:.*<north>\(.*\)</north>.*:\1:p' "$work/overlay.kml")
awk -v s="$south" -v n="$north" 'BEGIN { exit !(s < n && s > 35.1 && n < 35.3) }' ||
  fail "box from $south to $north"
echo "1 passed, 0 failed"
