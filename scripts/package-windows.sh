#!/usr/bin/env bash
# Builds the Windows zip file dist/velkor-<version>-windows-x64.zip: the
# desktop program velkor.exe and velkor-cli.exe (each one static executable,
# stripped, with nothing beside it), the help page Velkor.htm that the
# window's Help button opens from beside the program, the manual of
# velkor-cli as text (velkor-cli.txt) and the licence (LICENSE.txt), in a
# folder of the zip's own name.
#   scripts/package-windows.sh            installs what the cross build needs,
#                                         builds the two programs alone in
#                                         build-windows-package/ and zips it
#   scripts/package-windows.sh BUILD_DIR  zips from a folder configured with
#                                         cmake/toolchain-mingw64.cmake
#                                         (build-windows/ as ./test --windows
#                                         left it), after bringing it up to date
# VELKOR_DIST_DIR puts the zip file elsewhere than dist/ (the tests do).
# The executables must import system DLLs only: a C or C++ runtime DLL of
# mingw-w64 (libstdc++, libgcc, libwinpthread) would be missing on the
# machines the zip goes to, and the script fails instead of shipping it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
triple=x86_64-w64-mingw32

if (($#)); then
  build=$1
  [[ $build == /* ]] || build=$root/$build
  if ! grep -q '^CMAKE_TOOLCHAIN_FILE:.*toolchain-mingw64' "$build/CMakeCache.txt" 2>/dev/null; then
    echo "package-windows.sh: $1 is not a folder configured for the Windows build" >&2
    exit 2
  fi
  cmake --build "$build" -j "$(nproc)" --target velkor velkor-cli
else
  build=$root/build-windows-package
  VELKOR_PACKAGE_SECTION="the Windows build" "$root/scripts/setup.sh" build-windows-package \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DVELKOR_BUILD_TESTS=OFF
fi

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=velkor-$version-windows-x64
programs=(velkor.exe velkor-cli.exe)

# Windows' own DLLs (the C runtime and the common controls included);
# anything else is refused.
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|uxtheme|advapi32|shell32|ole32|shlwapi|ws2_32|ntdll|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'
for program in "${programs[@]}"; do
  mapfile -t imports < <("$triple-objdump" -p "$build/bin/$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
  for dll in "${imports[@]}"; do
    if ! grep -qiE "$allowed" <<<"$dll"; then
      echo "package-windows.sh: $program imports $dll, which Windows does not have;" \
        "it must be linked in (-static)" >&2
      exit 1
    fi
  done
done

stage=$build/zip/$name
rm -rf "$build/zip"
dist=${VELKOR_DIST_DIR:-$root/dist}
mkdir -p "$stage" "$dist"
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || echo 315532800)}
# strip writes the time of day into the PE header's TimeDateStamp (and a
# checksum over it): the header gets the files' fixed time and the checksum
# is made again.
for program in "${programs[@]}"; do
  "$triple-strip" -o "$stage/$program" "$build/bin/$program"
  python3 - "$stage/$program" "$epoch" <<'PY'
import struct, sys
with open(sys.argv[1], 'r+b') as exe:
    data = bytearray(exe.read())
    header = struct.unpack_from('<I', data, 0x3C)[0]
    if data[header:header + 4] != b'PE\0\0':
        sys.exit(sys.argv[1] + ': no PE header')
    struct.pack_into('<I', data, header + 8, int(sys.argv[2]) & 0xFFFFFFFF)
    at = header + 24 + 64  # the optional header's CheckSum
    struct.pack_into('<I', data, at, 0)
    padded = data + b'\0' * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack('<H', padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into('<I', data, at, (total + len(data)) & 0xFFFFFFFF)
    exe.seek(0)
    exe.write(data)
PY
done
cp "$root/resources/Velkor.htm" "$stage/Velkor.htm"
# Text files with Windows line ends, for Notepad.
groff -man -Tutf8 -P-cbou -rLL=78n "$root/docs/velkor-cli.1" 2>/dev/null | sed 's/$/\r/' \
  >"$stage/velkor-cli.txt"
sed 's/\r*$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

# The same sources give the same zip: fixed times (the last commit's, or
# SOURCE_DATE_EPOCH), a fixed order, no extra fields.
find "$build/zip" -exec touch -h -d "@$epoch" {} +
zip_file=$dist/$name.zip
rm -f "$zip_file"
(cd "$build/zip" && find "$name" -print | LC_ALL=C sort | TZ=UTC zip -q -X -D "$zip_file" -@)
echo "Built $zip_file"
