"""Expected decoder output for a PNG file, from Pillow's raw samples and the chunk rules of the
reader (which chunks count, 16-bit reduction to the high byte, gamma, flattening), and a reader
for the BMP files that codectool writes."""
import math
import struct
import zlib

from PIL import Image


def blend_table():
    t = bytearray(65536)
    for a in range(256):
        for v in range(256):
            if a == 0 or v == 0:
                x = 0
            elif a == 255:
                x = v
            elif v == 255:
                x = a
            else:
                lo, hi = min(a, v), max(a, v)
                f = lo * 65536 // 255
                x = (f * hi + 0x8000) >> 16
            t[256 * a + v] = x
    return t


T = blend_table()


def mix(a, v, b):
    return (T[256 * a + v] + T[256 * (255 - a) + b]) & 0xFF


def chunks(data):
    pos = 8
    while pos + 8 <= len(data):
        length, = struct.unpack('>I', data[pos:pos + 4])
        ctype = data[pos + 4:pos + 8]
        body = data[pos + 8:pos + 8 + length]
        crc = data[pos + 8 + length:pos + 12 + length]
        ok = len(crc) == 4 and struct.unpack('>I', crc)[0] == zlib.crc32(ctype + body) & 0xFFFFFFFF
        yield ctype, body, ok
        pos += 12 + length
        if ctype == b'IEND':
            return


class Header:
    pass


def read_chunks(data):
    h = Header()
    h.width, h.height, h.depth, h.ctype, _, _, h.interlace = struct.unpack('>IIBBBBB', data[16:29])
    h.palette = [(0, 0, 0)] * 256
    h.entries = 0
    h.plte = h.idat = False
    h.gamma = None
    h.bkgd = None
    h.trns = None
    limit = {1: 2, 2: 4, 4: 16, 8: 256}.get(h.depth, 0)
    for ctype, body, ok in chunks(data):
        if ctype == b'PLTE' and h.ctype == 3:
            n = min(len(body) // 3, limit)
            for i in range(n):
                h.palette[i] = tuple(body[3 * i:3 * i + 3])
            h.entries = n
            h.plte = True
        elif ctype == b'IDAT':
            h.idat = True
        elif ctype == b'gAMA':
            if h.gamma is None and not h.plte and not h.idat and len(body) == 4 and ok:
                v, = struct.unpack('>I', body)
                if 1 <= v < 2 ** 31:
                    h.gamma = v
        elif ctype == b'bKGD':
            if h.bkgd is None and not h.idat and ok:
                if h.ctype in (0, 4) and len(body) == 2:
                    g = {1: body[1] * 255, 2: body[1] * 85, 4: body[1] * 17, 8: body[1], 16: body[0]}[h.depth] & 0xFF
                    h.bkgd = (g, g, g)
                elif h.ctype == 3 and h.plte and len(body) == 1:
                    h.bkgd = h.palette[body[0]]
                elif h.ctype in (2, 6) and len(body) == 6:
                    o = 0 if h.depth == 16 else 1
                    h.bkgd = (body[o], body[2 + o], body[4 + o])
        elif ctype == b'tRNS':
            if h.trns is None and not h.idat and ok:
                if h.ctype == 0 and len(body) == 2:
                    h.trns = body[0] if h.depth == 16 else body[1]
                elif h.ctype == 2 and len(body) == 6:
                    o = 0 if h.depth == 16 else 1
                    h.trns = (body[o], body[2 + o], body[4 + o])
                elif h.ctype == 3 and h.plte and len(body) <= h.entries:
                    h.trns = list(body) + [255] * (256 - len(body))
    return h


def gamma_table(h, display_gamma):
    if h.gamma is None or not display_gamma:
        return None
    e = 1.0 / (h.gamma * display_gamma / 100000000.0)
    return [0] + [int(math.floor(255.0 * math.pow(i / 255.0, e) + 0.5)) for i in range(1, 256)]


def expected(path, display_gamma=0, transparency=True):
    """Rendered (red, green, blue) rows, top row first."""
    data = open(path, 'rb').read()
    h = read_chunks(data)
    im = Image.open(path)
    im.load()
    w, ht = im.size
    px = list(im.getdata())
    G = gamma_table(h, display_gamma)
    g = (lambda v: G[v]) if G else (lambda v: v)
    alpha = h.ctype in (4, 6)
    flatten = transparency and (h.trns is not None or alpha)
    bg = (255, 255, 255)
    if h.bkgd is not None:
        bg = h.bkgd
        if G:
            bg = tuple(G[c] for c in bg)
    out = []
    step = {1: 255, 2: 85, 4: 17}.get(h.depth, 1)
    for p in px:
        if h.ctype == 0:
            if h.depth == 16:
                idx = p >> 8
            elif h.depth < 8:
                idx = p // step
            else:
                idx = p
            if flatten and idx == h.trns:
                out.append(bg)
            else:
                v = g(idx * step)
                out.append((v, v, v))
        elif h.ctype == 4:
            idx, a = p[0], p[-1]
            if flatten:
                idx = mix(a, idx, bg[0])
            v = g(idx)
            out.append((v, v, v))
        elif h.ctype == 2:
            # The key names stored samples: it is matched before the gamma correction.
            if flatten and tuple(p[:3]) == h.trns:
                c = bg
            else:
                c = tuple(g(x) for x in p[:3])
            out.append(c)
        elif h.ctype == 6:
            c = tuple(g(x) for x in p[:3])
            if flatten:
                c = tuple(mix(p[3], c[i], bg[i]) for i in range(3))
            out.append(c)
        else:
            c = tuple(g(x) for x in h.palette[p])
            if flatten and h.trns is not None:
                a = h.trns[p]
                c = tuple(mix(a, c[i], bg[i]) for i in range(3))
            out.append(c)
    return w, ht, out


def key_decisions(path):
    """Which pixels the reader's key rule makes transparent, and which Pillow's own conversion
    to RGBA does, for the 8-bit files with a colour key (grey or RGB) and the 16-bit RGB files,
    where Pillow decides the key itself (it gives no usable decision for other grey depths);
    None for other files."""
    data = open(path, 'rb').read()
    h = read_chunks(data)
    if h.trns is None or h.ctype not in (0, 2) or (h.ctype == 0 and h.depth != 8):
        return None
    im = Image.open(path)
    im.load()
    ours = [(tuple(p[:3]) if h.ctype == 2 else p) == h.trns for p in im.getdata()]
    pillow = [p[3] == 0 for p in im.convert('RGBA').getdata()]
    return ours, pillow


def read_bmp(path):
    """Rendered (red, green, blue) rows, top row first, of a codectool dump."""
    d = open(path, 'rb').read()
    offset, = struct.unpack('<I', d[10:14])
    w, h, _, bits = struct.unpack('<iiHH', d[18:30])
    colours, = struct.unpack('<I', d[46:50])
    pal = [(d[54 + 4 * i + 2], d[54 + 4 * i + 1], d[54 + 4 * i]) for i in range(colours)]
    stride = ((w * bits + 31) // 32) * 4
    out = []
    for y in range(h - 1, -1, -1):
        row = d[offset + y * stride:offset + (y + 1) * stride]
        for x in range(w):
            if bits == 24:
                out.append((row[3 * x + 2], row[3 * x + 1], row[3 * x]))
            else:
                out.append(pal[row[x]])
    return w, h, out
