#!/usr/bin/env bash
# Shared by ./run and ./test: installs the Debian packages that are missing,
# then configures and builds into the given folder.
#   scripts/setup.sh BUILD_DIR [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=$1; shift

# VELKOR_PACKAGE_SECTION=TITLE takes only the list's section whose heading
# starts "# TITLE": "build" is what the build and the Debian package need
# (scripts/package.sh, without the test tools), "the Windows build" what the
# cross build and its tests under Wine need (./test --windows, without Qt).
# VELKOR_BUILD_PACKAGES_ONLY=1 is VELKOR_PACKAGE_SECTION=build.
section=${VELKOR_PACKAGE_SECTION:-}
[[ ${VELKOR_BUILD_PACKAGES_ONLY:-} == 1 ]] && section=build
packages=$(if [[ -n $section ]]; then
             awk -v heading="# $section" 'index($0, heading) == 1 { on = 1; next } /^# / { on = 0 } on' \
               "$root/scripts/packages.txt"
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

# A folder configured for another target (a Linux cache given the Windows
# toolchain file, or the other way round) cannot be switched over: cmake
# would keep the cached compiler. It is made afresh instead.
toolchain=
for arg in "$@"; do
  [[ $arg == -DCMAKE_TOOLCHAIN_FILE=* ]] && toolchain=${arg#*=}
done
cache=$root/$build_dir/CMakeCache.txt
if [[ -f $cache ]]; then
  cached=$(sed -n 's/^CMAKE_TOOLCHAIN_FILE:[A-Z]*=//p' "$cache")
  if [[ ${cached:+cross} != "${toolchain:+cross}" ]]; then
    echo "setup.sh: $build_dir was configured for another target; configuring it afresh"
    rm -rf "${cache:?}" "$root/$build_dir/CMakeFiles"
  fi
fi
cmake -S "$root" -B "$root/$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$root/$build_dir" -j "$(nproc)"
