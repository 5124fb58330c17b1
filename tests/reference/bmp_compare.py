"""Pixel comparisons for the BMP reference scripts, done by Pillow.

  rgb A B TOL           A and B decode to the same size and RGB values within TOL
  written OURS DUMP     OURS (a file our writer made) read by Pillow matches DUMP (our
                        reader's output of OURS): RGB values and, for palette files, the
                        indices and the palette entries
  reduced SRC OURS N    OURS (SRC written at fewer bits) holds SRC's pixels exactly; its
                        first N palette entries are SRC's colours sorted by blue+green+red
                        and every index is below N
  sorted OURS           the palette of OURS is in ascending order of blue+green+red
  cut OURS REF TOL CUT  OURS (our decode of CUT, an uncompressed bottom-up file cut short)
                        matches REF within TOL in every row CUT holds whole; every row above
                        the one the cut runs through is zero (index 0, or black at 24 bits)
"""
import struct
import sys

from PIL import Image


def rgb(path):
    im = Image.open(path)
    im.load()
    return im, im.convert("RGB")


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def max_diff(a, b):
    if a.size != b.size:
        fail("size %s != %s" % (a.size, b.size))
    worst = 0
    for pa, pb in zip(a.getdata(), b.getdata()):
        for ca, cb in zip(pa, pb):
            worst = max(worst, abs(ca - cb))
    return worst


def palette_entries(im):
    pal = im.getpalette() or []
    return [tuple(pal[i:i + 3]) for i in range(0, len(pal), 3)]


def check_sorted(im, count):
    entries = palette_entries(im)[:count]
    sums = [r + g + b for r, g, b in entries]
    if sums != sorted(sums):
        fail("palette not sorted by channel sum: %s ..." % entries[:8])


def main(argv):
    mode = argv[1]
    if mode == "rgb":
        _, a = rgb(argv[2])
        _, b = rgb(argv[3])
        d = max_diff(a, b)
        if d > int(argv[4]):
            fail("%s vs %s: difference %d" % (argv[2], argv[3], d))
    elif mode == "written":
        ours, ours_rgb = rgb(argv[2])
        dump, dump_rgb = rgb(argv[3])
        d = max_diff(ours_rgb, dump_rgb)
        if d:
            fail("%s: pixels differ by %d" % (argv[2], d))
        if ours.mode == "P":
            if list(ours.getdata()) != list(dump.getdata()):
                fail("%s: indices differ" % argv[2])
            n = len(palette_entries(ours))
            if palette_entries(ours)[:n] != palette_entries(dump)[:n]:
                fail("%s: palettes differ" % argv[2])
    elif mode == "reduced":
        _, src = rgb(argv[2])
        ours, ours_rgb = rgb(argv[3])
        n = int(argv[4])
        d = max_diff(src, ours_rgb)
        if d:
            fail("%s: reduction lost colours (difference %d)" % (argv[3], d))
        if ours.mode == "P":
            if max(ours.getdata()) >= n:
                fail("%s: index out of range" % argv[3])
            colours = sorted(set(src.getdata()))
            if sorted(palette_entries(ours)[:n]) != colours:
                fail("%s: palette is not the image's colours" % argv[3])
            check_sorted(ours, n)
    elif mode == "sorted":
        ours, _ = rgb(argv[2])
        check_sorted(ours, len(palette_entries(ours)))
    elif mode == "cut":
        ours, ours_rgb = rgb(argv[2])
        _, ref = rgb(argv[3])
        tol = int(argv[4])
        data = open(argv[5], "rb").read()
        offset = struct.unpack_from("<I", data, 10)[0]
        width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
        stride = (width * bits + 31) // 32 * 4
        whole = max(0, len(data) - offset) // stride
        if ours.size != ref.size or ours.size != (width, height):
            fail("size %s, reference %s, file %dx%d" % (ours.size, ref.size, width, height))
        raw = list(ours.getdata())
        got = list(ours_rgb.getdata())
        want = list(ref.getdata())
        zero = 0 if ours.mode in ("P", "L") else (0, 0, 0)
        for y in range(height):  # y = 0 is the top row, the last one stored
            stored = height - 1 - y
            row = slice(y * width, (y + 1) * width)
            if stored < whole:
                for g, w in zip(got[row], want[row]):
                    if max(abs(a - b) for a, b in zip(g, w)) > tol:
                        fail("%s: stored row %d: %s is not the reference's %s" % (argv[2], stored, g, w))
            elif stored > whole and any(v != zero for v in raw[row]):
                fail("%s: stored row %d is past the cut but not zero" % (argv[2], stored))
    else:
        fail("unknown mode " + mode)


main(sys.argv)
