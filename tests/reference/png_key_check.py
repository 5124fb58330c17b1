"""The colour-key decision of the PNG reader with gamma correction on, against Pillow's own
(Pillow applies no gamma: only which pixels are keyed is compared). `make FOLDER` writes the
files; `check FOLDER` compares codectool's decodes (NAME.bmp, decoded with display gamma 1000,
the file's background ignored and the background 1,254,3) with Pillow's RGBA conversion.
File gamma 0.5 against display gamma 1.0 squares the samples, so that 181 -> 128,
226 -> 200, 128 -> 64: the key would be missed, and a neighbour taken for it, were the key
matched after the correction."""
import os
import struct
import sys
import zlib

from PIL import Image

from png_model import read_bmp

BACKGROUND = (1, 254, 3)
GREY = [128, 181, 10, 128, 30, 226, 64, 200]
KEY_GREY = 128
RGB = [(200, 128, 64), (226, 181, 128), (10, 20, 30), (200, 128, 64), (64, 200, 128), (200, 128, 65)]
KEY_RGB = (200, 128, 64)


def chunk(kind, body):
    return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)


def png(width, height, depth, ctype, rows, trns):
    out = b'\x89PNG\r\n\x1a\n'
    out += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, depth, ctype, 0, 0, 0))
    out += chunk(b'gAMA', struct.pack('>I', 50000))
    out += chunk(b'tRNS', trns)
    out += chunk(b'IDAT', zlib.compress(b''.join(b'\0' + r for r in rows)))
    return out + chunk(b'IEND', b'')


def samples(values, depth):
    # 16-bit samples repeat their byte, so that the key's high byte (the reader's rule) and its
    # whole value (the format's rule, and Pillow's) select the same pixels.
    return bytes(v for v in values for _ in range(depth // 8))


def fixtures():
    for depth in (8, 16):
        flat = [v for p in RGB for v in p]
        rows = [samples(flat, depth), samples(flat[::-1], depth)]
        key = b''.join(struct.pack('>H', v * 257 if depth == 16 else v) for v in KEY_RGB)
        yield 'rgb%d' % depth, png(len(RGB), 2, depth, 2, rows, key)
    rows = [bytes(GREY), bytes(GREY[::-1])]
    yield 'grey8', png(len(GREY), 2, 8, 0, rows, struct.pack('>H', KEY_GREY))


def main():
    mode, folder = sys.argv[1], sys.argv[2]
    if mode == 'make':
        for name, data in fixtures():
            open(os.path.join(folder, name + '.png'), 'wb').write(data)
        return 0
    failures = 0
    for name, _ in fixtures():
        im = Image.open(os.path.join(folder, name + '.png'))
        pillow = [p[3] == 0 for p in im.convert('RGBA').getdata()]
        try:
            got = read_bmp(os.path.join(folder, name + '.bmp'))[2]
        except OSError:
            print('%s: no output' % name)
            failures += 1
            continue
        ours = [p == BACKGROUND for p in got]
        if not any(pillow) or ours != pillow:
            print('%s: keyed %s, Pillow %s' % (name, ours, pillow))
            failures += 1
    print('%d keyed files checked, %d failures' % (len(list(fixtures())), failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
