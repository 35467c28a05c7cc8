#!/usr/bin/env bash
# Every program answers --version with its name and the build's project version, exit 0,
# without a display, wherever the option stands and whatever else the line holds.
#   version_test.sh VERSION PROGRAM...
set -uo pipefail
version=$1
shift
status=0
for program in "$@"; do
  name=$(basename "$program")
  for args in "--version" "--lang ja --version" "no-such-file.sto --version --no-such-option"; do
    # shellcheck disable=SC2086
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" $args 2>&1)
    rc=$?
    if [ $rc -ne 0 ] || [ "$out" != "$name $version" ]; then
      echo "FAIL: '$name $args' gave status $rc and '$out', not '$name $version'"
      status=1
    fi
  done
done
exit $status
