#!/usr/bin/env bash
# Builds the Debian package velkor_<version>_<arch>.deb into the top folder of
# the repository.
#   scripts/package.sh            installs what the build needs, builds the
#                                 programs alone in build-package/ and packages them
#   scripts/package.sh BUILD_DIR  packages a folder that is already configured
#                                 (build/ as ./test left it), after bringing it up to date;
#                                 a relative BUILD_DIR is taken from the top folder
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

if (($#)); then
  build=$1
  [[ $build == /* ]] || build=$root/$build
  if [[ ! -f $build/CPackConfig.cmake ]]; then
    echo "package.sh: $1 is not a configured build folder" >&2
    exit 2
  fi
  cmake --build "$build" -j "$(nproc)"
else
  build=$root/build-package
  VELKOR_BUILD_PACKAGES_ONLY=1 "$root/scripts/setup.sh" build-package \
    -DVELKOR_BUILD_TESTS=OFF
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
deb=velkor_${version}_$(dpkg --print-architecture).deb
rm -f "$build/package/$deb"
cpack --config "$build/CPackConfig.cmake" -B "$build/package"
cp "$build/package/$deb" "$root/$deb"
echo "Built $root/$deb"
