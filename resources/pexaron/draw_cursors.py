#!/usr/bin/env python3
"""Draws the image windows' cursors into the files the resource script names: the fifteen pan
cursors (the directions the view can still be moved in), the move cursor and the rotation
tool's cursor. Run from this folder; the outputs are committed beside it."""
import importlib.util
import os

from draw_images import BLACK, BLUE, WHITE, Canvas, write_cur

HERE = os.path.dirname(os.path.abspath(__file__))

# The stand-alone viewer draws the same pan marks; its numbering starts ten lower.
_spec = importlib.util.spec_from_file_location("viewer_images", os.path.join(HERE, "..", "qelvo",
                                                                           "draw_images.py"))
viewer_images = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(viewer_images)

# 120 down, 121 up, 122 left, 123 right, then the combinations, as the pan rule picks them.
PAN_CURSORS = [(number + 10, directions) for number, directions in viewer_images.PAN_CURSORS]


def rotation_cursor():
    """A cross for the pivot inside an open circle with an arrow head: turn by dragging."""
    c = Canvas((32, 32))
    for colour, grow in ((WHITE, 1), (BLACK, 0)):
        c.ring(16, 16, 8 - grow, 10 + grow, colour, 30, 330)
        c.rect(15 - grow, 11 - grow, 16 + grow, 20 + grow, colour)
        c.rect(11 - grow, 15 - grow, 20 + grow, 16 + grow, colour)
    c.triangle([(19, 8), (29, 8), (24, 14)], BLUE)
    return c


def main():
    for number, directions in PAN_CURSORS:
        write_cur("pan%d.cur" % number, viewer_images.pan_cursor(directions), (16, 16))
    write_cur("move.cur", viewer_images.pan_cursor(["left", "right", "up", "down"], centre_square=True),
              (16, 16))
    write_cur("rotate.cur", rotation_cursor(), (16, 16))


if __name__ == "__main__":
    main()
