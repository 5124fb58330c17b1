#!/usr/bin/env python3
"""Draws the viewer's icon, its pan and move cursors and its button strip into the files the
resource script names. Run from this folder; the outputs are committed beside it."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "pexaron"))
from draw_images import (BLACK, BLUE, DARK, GREEN, LEAF, RED, SKY, TRANSPARENT, WHITE,  # noqa: E402
                         YELLOW, Canvas, write_bmp8, write_ico)


def viewer_picture(s):
    c = Canvas((s, s))
    k = s / 32
    c.rect(int(2 * k), int(5 * k), int(29 * k), int(26 * k), DARK)
    c.rect(int(4 * k), int(7 * k), int(27 * k), int(24 * k), SKY)
    c.triangle([(4 * k, 24 * k), (13 * k, 13 * k), (22 * k, 24 * k)], GREEN)
    c.triangle([(14 * k, 24 * k), (21 * k, 16 * k), (28 * k, 24 * k)], LEAF)
    c.disc(22 * k, 11 * k, 2.5 * k, YELLOW)
    c.rect(int(2 * k), int(27 * k), int(29 * k), int(28 * k), BLUE)
    return c


def write_cur(path, canvas, hotspot):
    """A 32-bit cursor: the icon layout with the hot spot in the directory entry."""
    tmp = path + ".ico"
    write_ico(tmp, [canvas])
    with open(tmp, "rb") as f:
        data = bytearray(f.read())
    os.remove(tmp)
    struct.pack_into("<H", data, 2, 2)  # resource type: cursor
    struct.pack_into("<HH", data, 6 + 4, hotspot[0], hotspot[1])
    with open(path, "wb") as f:
        f.write(data)


def arrow_head(c, direction, colour):
    m = 16
    if direction == "up":
        c.triangle([(m - 5, 9), (m, 3), (m + 5, 9)], colour)
    elif direction == "down":
        c.triangle([(m - 5, 23), (m, 29), (m + 5, 23)], colour)
    elif direction == "left":
        c.triangle([(9, m - 5), (3, m), (9, m + 5)], colour)
    else:
        c.triangle([(23, m - 5), (29, m), (23, m + 5)], colour)


def pan_cursor(directions, centre_square=False):
    c = Canvas((32, 32))
    # A white outline under black marks keeps the cursor visible on any image.
    for colour, grow in ((WHITE, 1), (BLACK, 0)):
        c.rect(15 - grow, 15 - grow, 17 + grow, 17 + grow, colour)
        for d in directions:
            if d in ("up", "down"):
                y0, y1 = (8, 16) if d == "up" else (16, 24)
                c.rect(15 - grow, y0, 17 + grow, y1, colour)
            else:
                x0, x1 = (8, 16) if d == "left" else (16, 24)
                c.rect(x0, 15 - grow, x1, 17 + grow, colour)
        for d in directions:
            big = Canvas((32, 32))
            arrow_head(big, d, colour)
            if grow:
                for y in range(32):
                    for x in range(32):
                        if big.px[y][x] is not TRANSPARENT:
                            for dy in (-1, 0, 1):
                                for dx in (-1, 0, 1):
                                    c.set(x + dx, y + dy, colour)
            else:
                c.blit(big, 0, 0)
    if centre_square:
        c.rect(13, 13, 19, 19, WHITE)
        c.frame(13, 13, 19, 19, BLACK)
    return c


# By where the visible part stands: the directions it can still be moved.
PAN_CURSORS = [
    (110, ["down"]),
    (111, ["up"]),
    (112, ["left"]),
    (113, ["right"]),
    (114, ["up", "down"]),
    (115, ["left", "down"]),
    (116, ["right", "down"]),
    (117, ["left", "up"]),
    (118, ["right", "up"]),
    (119, ["left", "right"]),
    (120, ["left", "up", "down"]),
    (121, ["right", "up", "down"]),
    (122, ["left", "right", "down"]),
    (123, ["left", "right", "up"]),
    (124, ["left", "right", "up", "down"]),
]


def magnifier(c, sign):
    c.disc(6.5, 6.5, 5, DARK)
    c.disc(6.5, 6.5, 3.8, WHITE)
    c.line(10, 10, 14, 14, DARK, 2)
    c.line(5, 6, 8, 6, BLACK)
    if sign == "+":
        c.line(6, 5, 6, 8, BLACK)


def turn(c, clockwise):
    c.ring(8, 8, 4, 5.6, BLUE, 20 if clockwise else 340, 200 if clockwise else 160)
    if clockwise:
        c.triangle([(11, 9), (15, 9), (13, 13)], BLUE)
    else:
        c.triangle([(1, 9), (5, 9), (3, 13)], BLUE)


def strip():
    images = []

    def add(draw):
        c = Canvas((16, 16))
        draw(c)
        images.append(c)

    add(lambda c: (c.line(3, 3, 12, 12, RED, 2), c.line(12, 3, 3, 12, RED, 2)))  # delete
    add(lambda c: turn(c, False))
    add(lambda c: turn(c, True))
    add(lambda c: (c.frame(2, 3, 13, 12, DARK), c.rect(4, 5, 11, 10, SKY)))  # fit
    add(lambda c: (c.line(3, 4, 3, 11, BLACK), c.rect(7, 6, 8, 6, BLACK), c.rect(7, 9, 8, 9, BLACK),
                   c.line(12, 4, 12, 11, BLACK)))  # 1:1
    add(lambda c: magnifier(c, "+"))
    add(lambda c: magnifier(c, "-"))
    add(lambda c: (c.rect(3, 3, 4, 12, BLACK), c.triangle([(12, 3), (5, 7.5), (12, 12)], BLACK)))  # first
    add(lambda c: c.triangle([(11, 3), (4, 7.5), (11, 12)], BLACK))  # previous
    add(lambda c: c.triangle([(4, 3), (11, 7.5), (4, 12)], BLACK))  # next
    add(lambda c: (c.triangle([(3, 3), (10, 7.5), (3, 12)], BLACK), c.rect(11, 3, 12, 12, BLACK)))  # last
    add(lambda c: c.rect(4, 11, 11, 12, BLACK))  # minimise
    add(lambda c: (c.frame(3, 4, 12, 12, BLACK), c.rect(3, 4, 12, 5, BLACK)))  # window
    add(lambda c: (c.line(4, 4, 11, 11, BLACK, 2), c.line(11, 4, 4, 11, BLACK, 2)))  # close
    while len(images) < 25:
        images.append(Canvas((16, 16)))
    out = Canvas((16 * len(images), 16))
    for i, image in enumerate(images):
        out.blit(image, 16 * i, 0)
    return out


def main():
    write_ico("viewer.ico", [viewer_picture(16), viewer_picture(32), viewer_picture(48)])
    for number, directions in PAN_CURSORS:
        write_cur("pan%d.cur" % number, pan_cursor(directions), (16, 16))
    write_cur("move.cur", pan_cursor(["left", "right", "up", "down"], centre_square=True), (16, 16))
    write_bmp8("buttons.bmp", strip())


if __name__ == "__main__":
    main()
