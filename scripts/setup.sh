#!/usr/bin/env bash
# Shared by ./run and ./test: installs the Debian packages that are missing,
# then configures and builds into the given folder.
#   scripts/setup.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1; shift

# VELKOR_BUILD_PACKAGES_ONLY=1 (scripts/package.sh) takes only the list's
# "# build" section, what the build and the package need, and leaves out the
# test tools.
packages=$(if [[ ${VELKOR_BUILD_PACKAGES_ONLY:-} == 1 ]]; then
             awk '/^# build/ { on = 1; next } /^# / { on = 0 } on' "$root/scripts/packages.txt"
           else
             cat "$root/scripts/packages.txt"
           fi)
missing=()
while read -r pkg; do
  [[ -z $pkg || $pkg == \#* ]] && continue
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done <<<"$packages"

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$root/$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/$build_dir" -j "$(nproc)"
