#!/usr/bin/env bash
# Starts an installed velkor offscreen with the help probe loaded
# (help_probe.cpp) and checks that its Help button hands the installed help
# page to the desktop, and that the page is there.
#   installed_help_test.sh PLUGIN_DIR PROGRAM PAGE
#   installed_help_test.sh PLUGIN_DIR --install BUILD_DIR
#       installs BUILD_DIR into a temporary prefix first, then checks
#       PREFIX/bin/velkor against PREFIX/share/velkor/Velkor.htm
set -euo pipefail
plugins=$(realpath "$1")
if [[ $2 == --install ]]; then
  prefix=$(mktemp -d)
  trap 'rm -rf "$prefix"' EXIT
  cmake --install "$3" --prefix "$prefix" >/dev/null
  program=$prefix/bin/velkor
  page=$prefix/share/velkor/Velkor.htm
else
  program=$(realpath "$2")
  page=$3
fi
if [[ ! -f $plugins/generic/libvelkorhelpprobe.so ]]; then
  echo "FAIL: no help probe in $plugins/generic" >&2
  exit 1
fi

# Started from another folder, so that the current directory plays no part.
# The probe ends the program; the time limit only guards against a probe
# that was not loaded.
output=$(cd / && QT_QPA_PLATFORM=offscreen QT_PLUGIN_PATH=$plugins \
         QT_QPA_GENERIC_PLUGINS=velkorhelpprobe timeout 60 "$program" 2>&1) || {
  echo "$program failed: $output" >&2
  exit 1
}
echo "$output"
if ! grep -qxF "help page: $page" <<<"$output"; then
  echo "FAIL: Help did not open $page" >&2
  exit 1
fi
if [[ ! -f $page ]]; then
  echo "FAIL: $page is missing" >&2
  exit 1
fi
echo "PASS: $program opens $page"
