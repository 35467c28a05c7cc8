#!/usr/bin/env bash
# The layering check passes on the tree as it is and catches each kind of breach planted in a
# copy: a Qt header in a core folder, platform/ including a core folder, platform/ linking a
# core target, a core target linking Qt.
set -euo pipefail
src=$1
build=$2
"$src/scripts/check-layering" "$build" "$src" >/dev/null

t=$(mktemp -d)
trap 'rm -rf "$t"' EXIT
for entry in "$src"/*; do
  case $(basename "$entry") in build* | out | examples) continue ;; esac
  cp -r "$entry" "$t/"
done
echo '#include <QString>' >> "$t/analysis/numeric.h"
echo '#include "display/views.h"' >> "$t/platform/qt_canvas.h"
sed -i 's/PUBLIC gantrel::common Qt6::Core/PUBLIC gantrel::common gantrel::exchange Qt6::Core/' \
  "$t/platform/CMakeLists.txt"
sed -i 's/target_link_libraries(gantrel_sectionfiles PUBLIC/&  Qt6::Core/' \
  "$t/sectionfiles/CMakeLists.txt"
cmake -S "$t" -B "$t/build" -DGANTREL_BUILD_BENCH=OFF >/dev/null 2>&1
if out=$("$src/scripts/check-layering" "$t/build" "$t" 2>&1); then
  echo "check-layering passed a tree with four breaches"; exit 1
fi
status=0
for expected in "Qt header in the core folder analysis/" \
                "platform/ includes more of the suite than common/" \
                "target gantrel_platform links more of the suite than common/: gantrel_exchange" \
                "target gantrel_sectionfiles (under sectionfiles/) links a Qt library"; do
  if ! grep -qF "$expected" <<<"$out"; then
    echo "not reported: $expected"; status=1
  fi
done
[ $status -eq 0 ] || echo "$out"
exit $status
