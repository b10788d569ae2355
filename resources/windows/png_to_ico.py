#!/usr/bin/env python3
#===- resources/windows/png_to_ico.py - Icon files from the PNG artwork ---===#
"""Writes a Windows icon file (.ico) holding the given PNG images.

Each image is stored as a 32-bit DIB (BGRA, bottom-up) with its 1-bit AND
mask, the form every Windows version and Wine read, rather than as embedded
PNG. Only the standard library is used: the PNGs are decoded here (8 or 16
bits per channel; grey, grey with alpha, RGB or RGBA; not interlaced).

    png_to_ico.py OUT.ico IN-16.png IN-32.png ...
"""

import struct
import sys
import zlib

PNG_SIGNATURE = b'\x89PNG\r\n\x1a\n'
# Colour type -> channels per pixel.
CHANNELS = {0: 1, 2: 3, 4: 2, 6: 4}


def read_png(path):
    """Answers (width, height, rows) with rows of (r, g, b, a) tuples, 8 bits each."""
    with open(path, 'rb') as png:
        data = png.read()
    if not data.startswith(PNG_SIGNATURE):
        sys.exit(f'{path}: not a PNG file')
    at = len(PNG_SIGNATURE)
    header = None
    compressed = b''
    while at < len(data):
        length, kind = struct.unpack('>I4s', data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b'IHDR':
            header = struct.unpack('>IIBBBBB', body)
        elif kind == b'IDAT':
            compressed += body
        elif kind == b'IEND':
            break
    width, height, depth, colour, _, _, interlace = header
    if colour not in CHANNELS or depth not in (8, 16) or interlace:
        sys.exit(f'{path}: colour type {colour}, depth {depth}, interlace {interlace} not handled')
    channels = CHANNELS[colour]
    bpp = channels * depth // 8
    stride = width * bpp
    raw = zlib.decompress(compressed)
    previous = bytearray(stride)
    rows = []
    for y in range(height):
        start = y * (stride + 1)
        kind = raw[start]
        line = bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            left = line[i - bpp] if i >= bpp else 0
            up = previous[i]
            corner = previous[i - bpp] if i >= bpp else 0
            if kind == 1:
                line[i] = (line[i] + left) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + up) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (left + up) // 2) & 0xFF
            elif kind == 4:
                guess = left + up - corner
                pa, pb, pc = abs(guess - left), abs(guess - up), abs(guess - corner)
                nearest = left if pa <= pb and pa <= pc else up if pb <= pc else corner
                line[i] = (line[i] + nearest) & 0xFF
        previous = line
        # The high byte of each 16-bit sample is its 8-bit value.
        samples = line[::2] if depth == 16 else line
        pixels = []
        for x in range(width):
            s = samples[x * channels:(x + 1) * channels]
            if channels == 1:
                pixels.append((s[0], s[0], s[0], 255))
            elif channels == 2:
                pixels.append((s[0], s[0], s[0], s[1]))
            elif channels == 3:
                pixels.append((s[0], s[1], s[2], 255))
            else:
                pixels.append((s[0], s[1], s[2], s[3]))
        rows.append(pixels)
    return width, height, rows


def dib(width, height, rows):
    """The icon image: BITMAPINFOHEADER (height doubled for the mask), the
    BGRA pixels bottom-up, then the AND mask, each mask row padded to 32 bits."""
    info = struct.pack('<IiiHHIIiiII', 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = (width + 31) // 32 * 4
    for pixel_row in reversed(rows):
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(pixel_row):
            pixels += bytes((b, g, r, a))
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    return info + bytes(pixels) + bytes(mask)


def main():
    if len(sys.argv) < 3:
        sys.exit('usage: png_to_ico.py OUT.ico IN.png...')
    images = [read_png(path) for path in sys.argv[2:]]
    images.sort(key=lambda image: image[0])
    blobs = [dib(*image) for image in images]
    out = struct.pack('<HHH', 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for (width, height, _), blob in zip(images, blobs):
        out += struct.pack('<BBBBHHII', width % 256, height % 256, 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    for blob in blobs:
        out += blob
    with open(sys.argv[1], 'wb') as ico:
        ico.write(out)


if __name__ == '__main__':
    main()
