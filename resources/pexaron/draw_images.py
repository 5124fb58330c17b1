#!/usr/bin/env python3
"""Draws the program's icons, the folder tree's drag cursors and the main toolbar's button strip
into the files the resource script names. Run from this folder; the outputs are committed beside it."""
import math
import struct

TRANSPARENT = None


class Canvas:
    def __init__(self, size, background=TRANSPARENT):
        self.w, self.h = size
        self.px = [[background] * self.w for _ in range(self.h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def frame(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c, width=1):
        n = max(abs(x1 - x0), abs(y1 - y0), 1)
        for i in range(n + 1):
            x = x0 + (x1 - x0) * i / n
            y = y0 + (y1 - y0) * i / n
            for dy in range(width):
                for dx in range(width):
                    self.set(int(round(x)) + dx - width // 2, int(round(y)) + dy - width // 2, c)

    def disc(self, cx, cy, r, c):
        for y in range(self.h):
            for x in range(self.w):
                if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r0, r1, c, start=0, end=360):
        for y in range(self.h):
            for x in range(self.w):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                a = math.degrees(math.atan2(cy - (y + 0.5), x + 0.5 - cx)) % 360
                inside = start <= a <= end if start <= end else (a >= start or a <= end)
                if r0 <= d <= r1 and inside:
                    self.set(x, y, c)

    def triangle(self, pts, c):
        (ax, ay), (bx, by), (cx_, cy_) = pts
        for y in range(self.h):
            for x in range(self.w):
                px, py = x + 0.5, y + 0.5
                d1 = (px - bx) * (ay - by) - (ax - bx) * (py - by)
                d2 = (px - cx_) * (by - cy_) - (bx - cx_) * (py - cy_)
                d3 = (px - ax) * (cy_ - ay) - (cx_ - ax) * (py - ay)
                neg = d1 < 0 or d2 < 0 or d3 < 0
                pos = d1 > 0 or d2 > 0 or d3 > 0
                if not (neg and pos):
                    self.set(x, y, c)

    def polygon(self, pts, c):
        """Fills the pixels whose centres lie inside the polygon (even-odd rule)."""
        for y in range(self.h):
            py = y + 0.5
            for x in range(self.w):
                px, inside = x + 0.5, False
                for (ax, ay), (bx, by) in zip(pts, pts[1:] + pts[:1]):
                    if (ay > py) != (by > py) and px < ax + (py - ay) * (bx - ax) / (by - ay):
                        inside = not inside
                if inside:
                    self.set(x, y, c)

    def rim(self, c):
        """Gives every transparent pixel beside a drawn one the colour c, so that a shape keeps
        its edge on any background."""
        drawn = [(x, y) for y in range(self.h) for x in range(self.w) if self.px[y][x] is not TRANSPARENT]
        for x, y in drawn:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                nx, ny = x + dx, y + dy
                if 0 <= nx < self.w and 0 <= ny < self.h and self.px[ny][nx] is TRANSPARENT:
                    self.px[ny][nx] = c

    def blit(self, other, ox, oy):
        for y in range(other.h):
            for x in range(other.w):
                if other.px[y][x] is not TRANSPARENT:
                    self.set(ox + x, oy + y, other.px[y][x])


BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
GREY = (128, 128, 128)
DARK = (64, 64, 64)
FACE = (192, 192, 192)  # becomes the button face: the strip's transparent colour
BLUE = (40, 90, 200)
SKY = (120, 180, 240)
GREEN = (40, 150, 60)
LEAF = (90, 190, 90)
YELLOW = (250, 210, 40)
ORANGE = (240, 140, 30)
RED = (210, 40, 40)
TEAL = (72, 144, 144)
FOLDER = (230, 190, 80)


# Program picture: a framed landscape, sun and hills, with a magnifier over the corner.
def program_picture(s):
    c = Canvas((s, s))
    k = s / 32.0

    def q(v):
        return int(round(v * k))
    c.rect(q(2), q(4), q(27), q(25), DARK)
    c.rect(q(3), q(5), q(26), q(24), SKY)
    c.disc(q(20), q(10), max(1.5, 3 * k), YELLOW)
    c.triangle([(q(3), q(24)), (q(12), q(11)), (q(21), q(24))], GREEN)
    c.triangle([(q(12), q(24)), (q(20), q(15)), (q(27), q(24))], LEAF)
    c.ring(q(21), q(21), 4.2 * k, 6.2 * k, BLACK)
    c.disc(q(21), q(21), 4.2 * k, (200, 230, 255))
    c.line(q(25), q(25), q(30), q(30), BLACK, max(1, q(2.5)))
    return c


# Image windows: a picture with a pencil across it.
def image_window_picture(s):
    c = Canvas((s, s))
    k = s / 32.0

    def q(v):
        return int(round(v * k))
    c.rect(q(2), q(6), q(25), q(27), DARK)
    c.rect(q(3), q(7), q(24), q(26), WHITE)
    c.triangle([(q(3), q(26)), (q(11), q(14)), (q(19), q(26))], GREEN)
    c.disc(q(18), q(12), max(1.5, 2.5 * k), ORANGE)
    c.line(q(12), q(22), q(28), q(4), (60, 60, 60), max(2, q(4)))
    c.line(q(13), q(21), q(27), q(5), YELLOW, max(1, q(2)))
    c.line(q(10), q(24), q(12), q(22), BLACK, max(1, q(2)))
    return c


# Sizing marks: a double arrow through the centre at the given angle, black with a white rim.
def sizing_arrow(s, angle):
    c = Canvas((s, s))
    mid = s / 2.0
    length = s * 0.40
    dx, dy = math.cos(math.radians(angle)), -math.sin(math.radians(angle))
    ends = [(mid + dx * length, mid + dy * length), (mid - dx * length, mid - dy * length)]

    def heads(colour, grow):
        for (ex, ey), sign in zip(ends, (1, -1)):
            bx, by = ex - sign * dx * (s * 0.22 + grow), ey - sign * dy * (s * 0.22 + grow)
            px, py = -dy * (s * 0.16 + grow), dx * (s * 0.16 + grow)
            tip = (ex + sign * dx * grow, ey + sign * dy * grow)
            c.triangle([tip, (bx + px, by + py), (bx - px, by - py)], colour)
    c.line(int(ends[0][0]), int(ends[0][1]), int(ends[1][0]), int(ends[1][1]), WHITE, 4)
    heads(WHITE, 1.5)
    c.line(int(ends[0][0]), int(ends[0][1]), int(ends[1][0]), int(ends[1][1]), BLACK, 2)
    heads(BLACK, 0)
    return c


# Drag cursors of the folder tree (32x32, hot spot at the arrow's tip): a white arrow with a black
# rim, and beside it what a drop would do.
ARROW = [(1, 1), (1, 17), (5, 13), (8, 20), (10, 19), (7, 12), (12, 12)]


def arrow_cursor(badge=None):
    c = Canvas((32, 32))
    c.polygon(ARROW, WHITE)
    c.rim(BLACK)
    if badge:
        mark = Canvas((16, 16))
        badge(mark)
        mark.rim(BLACK)
        c.blit(mark, 14, 14)
    return c


def sheets_badge(plus):
    """Two stacked sheets; the copy cursor adds a plus."""
    def draw(c):
        for x, y in ((3, 1), (1, 3)):
            c.rect(x, y, x + 8, y + 9, WHITE)
            c.frame(x, y, x + 8, y + 9, DARK)
        c.line(3, 6, 7, 6, GREY); c.line(3, 8, 7, 8, GREY); c.line(3, 10, 6, 10, GREY)
        if plus:
            c.rect(8, 8, 14, 14, GREEN)
            c.line(11, 9, 11, 13, WHITE); c.line(9, 11, 13, 11, WHITE)
    return draw


def folder_badge(c):
    c.rect(1, 3, 6, 5, FOLDER)
    c.rect(1, 5, 13, 12, FOLDER)
    c.frame(1, 5, 13, 12, DARK)
    c.line(1, 3, 6, 3, DARK); c.line(1, 3, 1, 5, DARK); c.line(6, 3, 7, 5, DARK)


def view_badge(number):
    """A view with its number, as on the toolbar's view buttons."""
    def draw(c):
        c.rect(0, 1, 13, 13, SKY)
        c.frame(0, 1, 13, 13, DARK)
        for y, row in enumerate(DIGITS[number]):
            for x, bit in enumerate(row):
                if bit == "#":
                    c.set(4 + x, 4 + y, DARK)
    return draw


def no_drop_cursor():
    c = Canvas((32, 32))
    c.ring(16, 16, 8, 11.5, RED)
    c.line(9, 9, 23, 23, RED, 3)
    c.rim(WHITE)
    return c


def write_cur(path, canvas, hotspot):
    """A 32-bit cursor: the icon layout with the hot spot in the directory entry."""
    write_ico(path, [canvas])
    with open(path, "rb") as f:
        data = bytearray(f.read())
    struct.pack_into("<H", data, 2, 2)  # resource type: cursor
    struct.pack_into("<HH", data, 6 + 4, hotspot[0], hotspot[1])
    with open(path, "wb") as f:
        f.write(data)


def write_ico(path, canvases):
    images = []
    for c in canvases:
        rows = []
        for y in reversed(range(c.h)):
            row = b""
            for x in range(c.w):
                p = c.px[y][x]
                row += bytes((0, 0, 0, 0)) if p is None else bytes((p[2], p[1], p[0], 255))
            rows.append(row)
        mask_stride = ((c.w + 31) // 32) * 4
        mask = b""
        for y in reversed(range(c.h)):
            bits = bytearray(mask_stride)
            for x in range(c.w):
                if c.px[y][x] is None:
                    bits[x // 8] |= 0x80 >> (x % 8)
            mask += bytes(bits)
        header = struct.pack("<IiiHHIIiiII", 40, c.w, c.h * 2, 1, 32, 0, len(rows) * c.w * 4 + len(mask), 0, 0, 0, 0)
        images.append((c.w, c.h, header + b"".join(rows) + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    for _, _, data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


def write_bmp8(path, c):
    colours = []
    for row in c.px:
        for p in row:
            p = FACE if p is None else p
            if p not in colours:
                colours.append(p)
    assert len(colours) <= 256
    stride = (c.w + 3) // 4 * 4
    pixels = b""
    for y in reversed(range(c.h)):
        row = bytes(colours.index(FACE if p is None else p) for p in c.px[y])
        pixels += row + bytes(stride - c.w)
    palette = b"".join(bytes((b, g, r, 0)) for (r, g, b) in colours)
    palette += bytes(4 * (256 - len(colours)))
    info = struct.pack("<IiiHHIIiiII", 40, c.w, c.h, 1, 8, 0, len(pixels), 2835, 2835, 256, 0)
    offset = 14 + 40 + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    with open(path, "wb") as f:
        f.write(head + info + palette + pixels)


# The eleven 16x16 button images of the main toolbar, in button order.
def tree_button(c):
    c.rect(1, 1, 6, 4, FOLDER); c.frame(1, 1, 6, 4, DARK)
    c.line(3, 5, 3, 12, DARK)
    c.line(3, 8, 7, 8, DARK); c.line(3, 12, 7, 12, DARK)
    c.rect(8, 6, 14, 9, FOLDER); c.frame(8, 6, 14, 9, DARK)
    c.rect(8, 11, 14, 14, FOLDER); c.frame(8, 11, 14, 14, DARK)


def info_button(c):
    c.rect(1, 1, 14, 14, WHITE); c.frame(1, 1, 14, 14, DARK)
    for y in (4, 7, 10):
        c.line(3, y, 5, y, BLUE); c.line(7, y, 12, y, DARK)
    c.line(3, 13, 12, 13, GREY)


DIGITS = {1: ["..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."],
          2: [".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"]}


def panes_button(which):
    """0: two panes side by side; 1 and 2: one wide pane with the view's number."""
    def draw(c):
        c.rect(0, 2, 15, 13, WHITE); c.frame(0, 2, 15, 13, DARK)
        if which == 0:
            c.line(7, 2, 7, 13, DARK); c.line(8, 2, 8, 13, DARK)
            c.rect(1, 3, 6, 12, SKY)
            c.rect(9, 3, 14, 12, SKY)
            return
        c.rect(1, 3, 14, 12, SKY)
        for y, row in enumerate(DIGITS[which]):
            for x, bit in enumerate(row):
                if bit == "#":
                    c.set(6 + x, 4 + y, DARK)
    return draw


def preview_button(c):
    c.ring(6, 6, 3.5, 5.5, DARK)
    c.disc(6, 6, 3.5, (200, 230, 255))
    c.line(10, 10, 14, 14, DARK, 2)


def caption_button(c):
    c.rect(2, 1, 13, 10, SKY); c.frame(2, 1, 13, 10, DARK)
    c.triangle([(3, 10), (7, 4), (11, 10)], GREEN)
    c.rect(2, 11, 13, 14, WHITE); c.frame(2, 11, 13, 14, DARK)
    c.line(4, 12.5, 11, 12.5, BLUE)


def caption_settings_button(c):
    c.rect(1, 9, 12, 14, WHITE); c.frame(1, 9, 12, 14, DARK)
    c.line(3, 11, 7, 11, BLUE); c.line(3, 12, 9, 12, BLUE)
    c.line(6, 8, 14, 0, DARK, 2); c.line(7, 7, 13, 1, YELLOW)
    c.set(5, 9, BLACK)


def stop_button(c):
    c.disc(8, 8, 7, RED)
    c.line(5, 5, 10, 10, WHITE, 2); c.line(10, 5, 5, 10, WHITE, 2)


def refresh_button(c):
    c.ring(8, 8, 3.5, 6, GREEN, 60, 340)
    c.triangle([(9, 0), (14, 3.5), (9, 7)], GREEN)


def columns_button(c):
    for i, x in enumerate((1, 6, 11)):
        for y in (1, 6, 11):
            c.rect(x, y, x + 3, y + 3, SKY)
            c.frame(x, y, x + 3, y + 3, DARK)


BUTTONS = [tree_button, info_button, panes_button(0), panes_button(1), panes_button(2), preview_button,
           caption_button, caption_settings_button, stop_button, refresh_button, columns_button]


def main():
    write_ico("program.ico", [program_picture(s) for s in (16, 32, 48)])
    write_ico("image_window.ico", [image_window_picture(s) for s in (16, 32)])
    for name, angle in (("size_we.ico", 0), ("size_ns.ico", 90), ("size_nwse.ico", 135), ("size_nesw.ico", 45)):
        write_ico(name, [sizing_arrow(32, angle)])
    write_cur("drag_move.cur", arrow_cursor(sheets_badge(False)), (1, 1))
    write_cur("drag_copy.cur", arrow_cursor(sheets_badge(True)), (1, 1))
    write_cur("drag_no_drop.cur", no_drop_cursor(), (16, 16))
    write_cur("drag_folder.cur", arrow_cursor(folder_badge), (1, 1))
    write_cur("view1.cur", arrow_cursor(view_badge(1)), (1, 1))
    write_cur("view2.cur", arrow_cursor(view_badge(2)), (1, 1))
    strip = Canvas((16 * len(BUTTONS), 16), FACE)
    for i, draw in enumerate(BUTTONS):
        image = Canvas((16, 16))
        draw(image)
        strip.blit(image, 16 * i, 0)
    write_bmp8("toolbar.bmp", strip)


if __name__ == "__main__":
    main()
