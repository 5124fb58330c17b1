"""Checks codectool's TIFF results against references we did not write: netpbm files from
libtiff's suite (read here, 16-bit samples by their high byte), PNGs and TIFFs read by Pillow.
Exits 1 with a message on a mismatch.

usage: tiff_compare.py ref DUMP.bmp REFERENCE.(pbm|pgm|ppm|png|tif)
       tiff_compare.py written OURS.tif DUMP.bmp
"""
import sys

from PIL import Image


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def netpbm(path):
    data = open(path, "rb").read()
    fields = []
    pos = 0
    while len(fields) < (3 if data[:2] == b"P4" else 4):
        while data[pos : pos + 1].isspace():
            pos += 1
        if data[pos : pos + 1] == b"#":
            while data[pos : pos + 1] not in (b"\n", b""):
                pos += 1
            continue
        start = pos
        while not data[pos : pos + 1].isspace():
            pos += 1
        fields.append(data[start:pos])
    pos += 1
    kind, width, height = fields[0], int(fields[1]), int(fields[2])
    pixels = data[pos:]
    if kind == b"P4":
        row = (width + 7) // 8
        out = bytearray()
        for y in range(height):
            for x in range(width):
                bit = (pixels[y * row + x // 8] >> (7 - x % 8)) & 1
                out += b"\x00\x00\x00" if bit else b"\xff\xff\xff"
        return Image.frombytes("RGB", (width, height), bytes(out))
    channels = 3 if kind == b"P6" else 1
    step = 2 if int(fields[3]) > 255 else 1
    high = bytes(pixels[i] for i in range(0, width * height * channels * step, step))
    return Image.frombytes("RGB" if channels == 3 else "L", (width, height), high).convert("RGB")


def reference(path):
    if path.endswith((".pbm", ".pgm", ".ppm")):
        return netpbm(path)
    return Image.open(path).convert("RGB")


def compare(a, b, what):
    if a.size != b.size:
        fail("%s: size %s, reference %s" % (what, a.size, b.size))
    if a.tobytes() != b.tobytes():
        for i, (x, y) in enumerate(zip(a.getdata(), b.getdata())):
            if x != y:
                fail("%s: pixel (%d,%d) ours %s, reference %s" % (what, i % a.size[0], i // a.size[0], x, y))


def cmd_ref(dump, ref):
    compare(Image.open(dump).convert("RGB"), reference(ref), ref)


def cmd_written(tif, dump):
    compare(Image.open(dump).convert("RGB"), Image.open(tif).convert("RGB"), tif)


if __name__ == "__main__":
    {"ref": cmd_ref, "written": cmd_written}[sys.argv[1]](*sys.argv[2:])
