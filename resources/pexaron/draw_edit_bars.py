#!/usr/bin/env python3
"""Draws the edit window's two button strips (bitmap 161: file list, save, undo, redo and the
view buttons; bitmap 162: the save options and the tool bar's confirm and cancel). Run from this
folder; the outputs are committed beside it."""
from draw_images import Canvas, FACE, write_bmp8

INK = (40, 40, 60)
BLUE = (40, 90, 200)
RED = (200, 40, 40)
GREEN = (30, 150, 60)
GREY = (150, 150, 160)


def file_list(c):
    for y in (3, 7, 11):
        c.rect(2, y, 3, y + 1, BLUE)
        c.rect(5, y, 13, y + 1, INK)


def save(c):
    c.frame(2, 2, 13, 13, INK)
    c.rect(5, 3, 10, 6, GREY)
    c.rect(4, 9, 11, 12, BLUE)


def arrow(left):
    def draw(c):
        xs = (12, 4) if left else (3, 11)
        c.line(xs[0], 9, xs[1], 9, BLUE, 2)
        tip = xs[1]
        step = 1 if left else -1
        for i in range(4):
            c.rect(tip + step * i, 9 - i, tip + step * i, 9 + i, BLUE)
    return draw


def panes(which):
    def draw(c):
        c.frame(1, 3, 14, 12, INK)
        if which == 0:
            c.rect(2, 4, 7, 11, GREY)
            c.rect(8, 4, 13, 11, BLUE)
        else:
            c.rect(2, 4, 13, 11, GREY if which == 1 else BLUE)
    return draw


def scroll_bars(c):
    c.frame(1, 1, 14, 14, INK)
    c.rect(11, 2, 13, 13, GREY)
    c.rect(2, 11, 13, 13, GREY)


def selection(c):
    for x in range(2, 14, 2):
        c.set(x, 2, INK)
        c.set(x, 13, INK)
    for y in range(2, 14, 2):
        c.set(2, y, INK)
        c.set(13, y, INK)


def magnifier(fit):
    def draw(c):
        c.ring(6, 6, 3, 5, INK)
        c.line(9, 9, 14, 14, INK, 2)
        if fit:
            c.rect(4, 6, 8, 6, BLUE)
        else:
            c.rect(6, 4, 6, 8, BLUE)
            c.rect(4, 6, 8, 6, BLUE)
    return draw


def letter_box(colour):
    def draw(c):
        c.rect(3, 3, 12, 12, colour)
    return draw


def turn(clockwise):
    def draw(c):
        c.ring(8, 8, 4, 5.6, BLUE, 20 if clockwise else 340, 200 if clockwise else 160)
        if clockwise:
            c.triangle([(11, 9), (15, 9), (13, 13)], BLUE)
        else:
            c.triangle([(1, 9), (5, 9), (3, 13)], BLUE)
    return draw


def fit(c):
    c.frame(1, 2, 14, 13, INK)
    c.rect(4, 5, 11, 10, BLUE)


def actual_size(c):
    c.line(3, 4, 3, 11, INK)
    c.rect(7, 6, 8, 6, INK)
    c.rect(7, 9, 8, 9, INK)
    c.line(12, 4, 12, 11, INK)


def step(direction):
    """First (-2), previous (-1), next (1) and last (2)."""
    def draw(c):
        if direction < 0:
            c.triangle([(12, 3), (5, 7.5), (12, 12)], INK)
        else:
            c.triangle([(4, 3), (11, 7.5), (4, 12)], INK)
        if direction == -2:
            c.rect(3, 3, 4, 12, INK)
        elif direction == 2:
            c.rect(11, 3, 12, 12, INK)
    return draw


def slide_show(c):
    c.frame(1, 2, 14, 13, INK)
    c.triangle([(6, 5), (11, 7.5), (6, 10)], GREEN)


def to_edit(c):
    c.line(3, 12, 11, 4, INK, 2)
    c.line(10, 3, 13, 6, RED, 2)
    c.rect(2, 13, 3, 13, INK)


def minimise(c):
    c.rect(4, 11, 11, 12, INK)


def window(c):
    c.frame(3, 4, 12, 12, INK)
    c.rect(3, 4, 12, 5, INK)


def check(c):
    c.line(3, 8, 6, 12, GREEN, 2)
    c.line(6, 12, 13, 3, GREEN, 2)


def cross(c):
    c.line(3, 3, 12, 12, RED, 2)
    c.line(12, 3, 3, 12, RED, 2)


def dots(n, colour):
    def draw(c):
        for i in range(n):
            c.disc(3 + 4 * (i % 3), 4 + 4 * (i // 3), 1, colour)
    return draw


# Bitmap 161, shared by the edit window and the single view's bar: 0 file list, 1/2 turn left
# and right, 3/4 fit and 100 %, 5/6 zoom in and out, 7-10 first, previous, next and last,
# 11 slide show, 12 to the edit window, 13 minimise, 14 full screen, 15 close, 16 save, 17/18
# undo/redo, 19 scroll bars, 20-22 the pane modes, 23 the selection display; 24 is spare.
EDIT = {0: file_list, 1: turn(False), 2: turn(True), 3: fit, 4: actual_size, 5: magnifier(False),
        6: magnifier(True), 7: step(-2), 8: step(-1), 9: step(1), 10: step(2), 11: slide_show, 12: to_edit,
        13: minimise, 14: window, 15: cross, 16: save, 17: arrow(True), 18: arrow(False), 19: scroll_bars,
        20: panes(0), 21: panes(1), 22: panes(2), 23: selection}
# Bitmap 162: 0 dither, 1 save preview, 2 interlace, 3 transparent colour, 4 gamma, 5 progressive,
# 6-8 sampling, 9-11 marker policy, 12 trim, 13 comment, 14 confirm, 15 cancel.
SAVE = {0: dots(6, INK), 1: magnifier(False), 2: dots(3, BLUE), 3: letter_box(GREY), 4: dots(2, RED),
        5: dots(5, BLUE), 6: dots(1, INK), 7: dots(2, INK), 8: dots(4, INK), 9: cross, 10: dots(1, GREEN),
        11: dots(3, GREEN), 12: selection, 13: file_list, 14: check, 15: cross}


def strip(count, drawings, path):
    out = Canvas((16 * count, 16), FACE)
    for i in range(count):
        image = Canvas((16, 16))
        if i in drawings:
            drawings[i](image)
        out.blit(image, 16 * i, 0)
    write_bmp8(path, out)


if __name__ == "__main__":
    strip(25, EDIT, "edit_bar.bmp")
    strip(16, SAVE, "save_bar.bmp")
