#!/usr/bin/env python3
"""Placeholder: writes blank artwork so the resources compile (real art to come)."""
import struct, sys, os

PAL16 = [(0,0,0),(128,0,0),(0,128,0),(128,128,0),(0,0,128),(128,0,128),(0,128,128),(192,192,192),
         (128,128,128),(255,0,0),(0,255,0),(255,255,0),(0,0,255),(255,0,255),(0,255,255),(255,255,255)]

def bmp4(path, w, h, fill):
    row = ((w * 4 + 31) // 32) * 4
    pixels = bytes([fill << 4 | fill]) * (row * h)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 4, 0, len(pixels), 2835, 2835, 16, 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PAL16)
    off = 14 + len(info) + len(pal)
    open(path, 'wb').write(b'BM' + struct.pack('<IHHI', off + len(pixels), 0, 0, off) + info + pal + pixels)

out = sys.argv[2]
os.makedirs(out, exist_ok=True)
bmp4(os.path.join(out, 'toolbar.bmp'), 64, 16, 7)
bmp4(os.path.join(out, 'types.bmp'), 272, 16, 6)
bmp4(os.path.join(out, 'sortmarks.bmp'), 36, 8, 10)

def ico(path, cursor=False, hotspot=(0, 0)):
    # One 32x32 image: 4bpp XOR bitmap of colour 0 and an all-opaque AND mask.
    w = h = 32
    xor = bytes(((w * 4 + 31) // 32) * 4 * h)
    andm = bytes(((w + 31) // 32) * 4 * h)
    info = struct.pack('<IiiHHIIiiII', 40, w, h * 2, 1, 4, 0, 0, 0, 0, 16, 0)
    pal = b''.join(struct.pack('BBBB', b, g, r, 0) for r, g, b in PAL16)
    data = info + pal + xor + andm
    kind = 2 if cursor else 1
    planes, bits = (hotspot if cursor else (1, 4))
    entry = struct.pack('<BBBBHHII', w, h, 16, 0, planes, bits, len(data), 6 + 16)
    open(path, 'wb').write(struct.pack('<HHH', 0, kind, 1) + entry + data)

ico(os.path.join(out, 'kagero.ico'))
ico(os.path.join(out, 'splitter.cur'), cursor=True, hotspot=(15, 11))
