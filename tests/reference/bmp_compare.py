"""Pixel comparisons for the BMP reference scripts, done by Pillow.

  rgb A B TOL           A and B decode to the same size and RGB values within TOL
  written OURS DUMP     OURS (a file our writer made) read by Pillow matches DUMP (our
                        reader's output of OURS): RGB values and, for palette files, the
                        indices and the palette entries
  reduced SRC OURS N    OURS (SRC written at fewer bits) holds SRC's pixels exactly; its
                        first N palette entries are SRC's colours sorted by blue+green+red
                        and every index is below N
  sorted OURS           the palette of OURS is in ascending order of blue+green+red
  partial OURS REF TOL  OURS (8-bit, from a cut-short file) matches REF within TOL wherever
                        its index is not 0 (pixels never decoded stay index 0); prints how
                        many pixels match REF
"""
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
    elif mode == "partial":
        ours, ours_rgb = rgb(argv[2])
        _, ref = rgb(argv[3])
        tol = int(argv[4])
        if ours.mode not in ("P", "L"):
            fail("%s: not a palette image" % argv[2])
        if ours.size != ref.size:
            fail("size %s != %s" % (ours.size, ref.size))
        matching = 0
        for index, got, want in zip(ours.getdata(), ours_rgb.getdata(), ref.getdata()):
            close = max(abs(g - w) for g, w in zip(got, want)) <= tol
            if index != 0 and not close:
                fail("%s: decoded pixel %s is not the reference's %s" % (argv[2], got, want))
            matching += close
        print(matching)
    else:
        fail("unknown mode " + mode)


main(sys.argv)
