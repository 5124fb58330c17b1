"""Compares the pixels of two BMP files (size, depth, palette of 8-bit files, rows).

usage: jpeg_bmp_compare.py A.bmp B.bmp   -> exit 0 when they hold the same picture
"""
import struct
import sys


def load(path):
    with open(path, 'rb') as f:
        data = f.read()
    if data[:2] != b'BM':
        raise ValueError('%s: not a BMP' % path)
    offset = struct.unpack_from('<I', data, 10)[0]
    header = struct.unpack_from('<IiiHHIIiiII', data, 14)
    size, width, height, _, bits, _, _, _, _, used, _ = header
    stride = ((width * bits + 31) // 32) * 4
    palette = b''
    if bits <= 8:
        entries = used or (1 << bits)
        palette = bytes(b for i, b in enumerate(data[14 + size:14 + size + entries * 4]) if i % 4 != 3)
    rows = [data[offset + y * stride:offset + y * stride + (width * bits + 7) // 8] for y in range(abs(height))]
    if height < 0:
        rows.reverse()
    return width, abs(height), bits, palette, rows


def main():
    a = load(sys.argv[1])
    b = load(sys.argv[2])
    if a[:3] != b[:3]:
        print('size/depth differ: %s vs %s' % (a[:3], b[:3]))
        return 1
    if a[3] != b[3]:
        print('palettes differ')
        return 1
    for y, (ra, rb) in enumerate(zip(a[4], b[4])):
        if ra != rb:
            x = next(i for i in range(len(ra)) if ra[i] != rb[i])
            print('row %d (from the bottom) differs at byte %d' % (y, x))
            return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
