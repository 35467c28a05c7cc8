#!/usr/bin/env bash
# End to end: a small generated survey through the batch command line, as the demo runs it,
# then checks that every output exists, reads back, and that the inversion lowered the misfit.
set -euo pipefail
example=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen
fail() { echo "FAIL: $*"; cat "$work/log" 2>/dev/null | tail -20; exit 1; }

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
