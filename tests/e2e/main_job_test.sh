#!/usr/bin/env bash
# End to end, as the demo runs it: the field logger records two lines of the two-layer
# demonstration with the GPS track, and the batch command line recovers the two-layer earth
# from the recorded file with GPS distances; then a small generated survey through the batch
# command line, checking that every output exists, reads back, and that the inversion lowered
# the misfit.
set -euo pipefail
example=$1 cli=$2 logger=$3 layers=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*"; cat "$work/log" 2>/dev/null | tail -20; exit 1; }

# The field: 80 readings and 80 fixes in two lines, every one in the file.
"$logger" --demo two-layer --gps-demo track --geometry 10:5:5 --speed 200 \
  --folder "$work/field" --prefix demo --file-id 1 \
  --script "1.5 m; 21 m; 41.5 e; 43.5 m; 63 m; 83.5 e; 84 q" </dev/null >"$work/log" \
  || fail "tessick-cli exited with $?"
grep -q '^Lines: 2  Readings: 80  Fixes: 80  Markers: 6$' "$work/log" || fail "tessick-cli summary"
[ "$(grep -c '^30 5 ' "$work/field/demo_0001.sto")" -eq 80 ] || fail "readings in the file"
[ "$(grep -c '^21 \$GPGGA' "$work/field/demo_0001.sto")" -eq 80 ] || fail "fixes in the file"
# The office: GPS distances, two layers with the boundary at 5 m.
"$cli" "$work/field/demo_0001.sto" --config 4 --grid 2 --initial-model 1:5:2 \
  --invert 20:0.5:0:0.001 --save-ovs "$work/field.ovs" 2>"$work/log" \
  || fail "brivane-cli on the recorded file exited with $?"
grep -q '^summary: lines 2, readings 80$' "$work/log" || fail "the recorded file read back"
"$layers" "$work/field.ovs" >"$work/layers" || fail "no model in field.ovs"
awk 'NR == 1 { top = $3 } NR == 2 { bottom = $3 } END {
       if (!(top > 475 && top < 525 && bottom > 47.5 && bottom < 52.5)) {
         printf "recovered %s over %s Ohm-m, not 500 over 50\n", top, bottom; exit 1 } }' \
  "$work/layers" || fail "the two-layer earth was not recovered"

"$example" --out "$work/data" --lines 1 --readings 150 >/dev/null
"$cli" "$work/data/line01.sto" --marker-spacing 10 --median 3 --grid 2 \
  --initial-model 1:3:6 --invert 6 --save-ovs "$work/out.ovs" --res2dinv "$work/out.dat" \
  --png gridded:"$work/gridded.png" --png model:"$work/model.png" 2>"$work/log" \
  || fail "brivane-cli exited with $?"

for f in out.ovs out.dat gridded.png model.png data/rms_error.txt; do
  [ -s "$work/$f" ] || fail "$f missing or empty"
done
# PNG size from the header: width and height must be those of a whole plot.
read -r w h < <(od -An -t u1 -j 16 -N 8 "$work/model.png" |
  awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
[ "$w" -ge 800 ] && [ "$h" -ge 500 ] || fail "model.png is ${w}x${h}"
# The section file reads back, and what is read is written again unchanged.
"$cli" --ovs "$work/out.ovs" --save-ovs "$work/again.ovs" 2>>"$work/log" || fail "reopening out.ovs"
"$cli" --ovs "$work/again.ovs" --save-ovs "$work/again2.ovs" 2>>"$work/log" || fail "reopening again.ovs"
# (The hundredths of the reading times may lose one on each reading: the seconds are read in
# single precision, as the file format has always been read.)
strip() { sed -E 's/:[0-9]{2}\.[0-9]{2} / /g' "$1"; }
cmp -s <(strip "$work/again.ovs") <(strip "$work/again2.ovs") ||
  fail "a section file changed when read and written again"
# Misfit per column: first iteration against last; the sum must fall.
awk '{ if (NF >= 3) { first += $2; last += $NF } } END {
       if (!(last < first)) { printf "misfit did not fall: %f -> %f\n", first, last; exit 1 } }' \
  "$work/data/rms_error.txt" || fail "inversion"
grep -q '^summary: final misfit' "$work/log" || fail "no summary"
echo "1 passed, 0 failed"
