#!/usr/bin/env bash
# Draws the pictures of velkor.exe's windows into docs/ under Wine on a
# virtual X server: the main window as it opens, the progress window in the
# middle of a run, the About box.
#   docs/make_windows_screenshots.sh [BUILD_DIR]     (default: build-windows)
#
# The Windows test program draws them (its disabled case
# DesktopProgramTest.DISABLED_DrawWindowPictures) as BMP files, which python3
# turns into PNG files. Wine runs in a prefix of its own beside the tests'
# (BUILD_DIR/wineprefix-pictures), set to its X11 driver and to a virtual
# desktop, in which Wine draws the windows' frames and captions itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The part that runs on the virtual X server: Wine and the drawing program.
if [[ ${1:-} == --draw ]]; then
  build=$2
  pictures=$3
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    wineboot -i </dev/null >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d x11 /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1
  wineserver -w
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  wineboot </dev/null >/dev/null 2>&1
  VELKOR_WINDOW_PICTURES="Z:${pictures//\//\\}" wine "$build/bin/velkor_win32ui_windows_tests.exe" \
    --gtest_also_run_disabled_tests --gtest_filter='*DrawWindowPictures'
  exit
fi

build=$(cd "${1:-$root/build-windows}" && pwd)
cmake --build "$build" --target velkor velkor_win32ui_windows_tests
/usr/bin/python3 "$root/tests/fixtures/make_fixtures.py" "$build/fixtures" >/dev/null

export WINEPREFIX=$build/wineprefix-pictures
export WINEDEBUG=-all
pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" "$0" --draw "$build" "$pictures"
# The documents of the drawn run are of no further use.
rm -rf "$build/tests/win32ui/windows/runs/DrawWindowPictures"

# BMP (24 bits, rows bottom-up) to PNG, with python3's zlib.
/usr/bin/python3 - "$pictures" "$root/docs" <<'EOF'
import os, struct, sys, zlib

source, target = sys.argv[1:3]
for name in sorted(os.listdir(source)):
    with open(os.path.join(source, name), 'rb') as bmp:
        data = bmp.read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height = struct.unpack_from('<ii', data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride: offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR to RGB
        rows.append(b'\0' + bytes(rgb))

    def chunk(kind, body):
        return (struct.pack('>I', len(body)) + kind + body +
                struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))

    png = (b'\x89PNG\r\n\x1a\n' +
           chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0)) +
           chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))
    out = os.path.join(target, os.path.splitext(name)[0] + '.png')
    with open(out, 'wb') as file:
        file.write(png)
    print(f'{out}: {width} x {height}')
EOF
