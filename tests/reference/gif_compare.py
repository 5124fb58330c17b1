"""Checks codectool's GIF results against references we did not write: Pillow's decoder,
giflib's .rgb renderings and gifsicle's --info. Exits 1 with a message on a mismatch.

usage: gif_compare.py rgb DUMP.bmp REF.rgb
       gif_compare.py first DUMP.bmp FILE.gif
       gif_compare.py info OURS.txt FILE.gif
       gif_compare.py composed DUMP.bmp UNOPTIMIZED.gif COUNT
       gif_compare.py written OURS.gif DUMP.bmp
"""
import re
import subprocess
import sys

from PIL import Image


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def ours_rgb(path):
    return Image.open(path).convert("RGB")


def frame_path(dump, k):
    return dump if k == 0 else re.sub(r"(\.[^.]*)$", "-%d\\1" % k, dump)


def first_difference(a, b, width):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return "pixel (%d,%d): ours %s, reference %s" % (i % width, i // width, x, y)
    return "sizes differ"


def cmd_rgb(dump, ref):
    ours = ours_rgb(dump)
    data = open(ref, "rb").read()
    if ours.tobytes() != data:
        theirs = Image.frombytes("RGB", ours.size, data[: ours.size[0] * ours.size[1] * 3])
        fail("%s: %s" % (ref, first_difference(list(ours.getdata()), list(theirs.getdata()), ours.size[0])))


def cmd_first(dump, gif):
    ours = ours_rgb(dump)
    im = Image.open(gif)
    theirs = im.convert("RGB")
    if ours.size != theirs.size:
        fail("%s: size %s, Pillow %s" % (gif, ours.size, theirs.size))
    # Pillow fills what the first image leaves uncovered in its own way; compare the image.
    left, top, right, bottom = im.tile[0][1] if im.tile else (0, 0) + theirs.size
    a = ours.crop((left, top, right, bottom))
    b = theirs.crop((left, top, right, bottom))
    if a.tobytes() != b.tobytes():
        fail("%s: %s" % (gif, first_difference(list(a.getdata()), list(b.getdata()), a.size[0])))


DISPOSALS = {"none": 0, "asis": 1, "background": 2, "previous": 3}


def gifsicle_info(gif):
    text = subprocess.run(["gifsicle", "--info", gif], capture_output=True, text=True).stdout
    count = int(re.search(r"(\d+) images?", text).group(1))
    loop = re.search(r"loop (forever|count (\d+))", text)
    loop = None if not loop else (0 if loop.group(1) == "forever" else int(loop.group(2)))
    frames = []
    for block in re.split(r"\n  \+ image #\d+", text)[1:]:
        d = re.search(r"disposal (\w+)", block)
        delay = re.search(r"delay ([\d.]+)s", block)
        frames.append(
            (DISPOSALS[d.group(1)] if d else 0, int(round(float(delay.group(1)) * 100)) if delay else 0)
        )
    return count, loop, frames


def cmd_info(ours_txt, gif):
    lines = open(ours_txt).read().split("\n")
    m = re.match(r"frames (\d+) loop (\S+)", lines[0])
    count = int(m.group(1))
    loop = None if m.group(2) == "none" else int(m.group(2))
    frames = []
    for line in lines[1:]:
        f = re.match(r"frame (\d+) delay (\d+) disposal (\d+)", line)
        if f:
            frames.append((int(f.group(3)), int(f.group(2))))
    ref_count, ref_loop, ref_frames = gifsicle_info(gif)
    if count != min(ref_count, 256) or loop != ref_loop:
        fail("%s: ours %d frames loop %s, gifsicle %d loop %s" % (gif, count, loop, ref_count, ref_loop))
    if count > 1 and frames != ref_frames[:256]:
        fail("%s: frames ours %s, gifsicle %s" % (gif, frames, ref_frames))


def cmd_composed(dump, unoptimized, count):
    im = Image.open(unoptimized)
    for k in range(int(count)):
        im.seek(k)
        theirs = im.convert("RGBA")
        ours = ours_rgb(frame_path(dump, k))
        a = list(ours.getdata())
        b = list(theirs.getdata())
        # Pixels the unoptimized frame leaves transparent show whatever lies beneath.
        for i, (x, y) in enumerate(zip(a, b)):
            if y[3] == 255 and x != y[:3]:
                fail(
                    "%s frame %d pixel (%d,%d): ours %s, reference %s"
                    % (unoptimized, k, i % ours.size[0], i // ours.size[0], x, y[:3])
                )


def cmd_written(gif, dump):
    theirs = Image.open(gif)
    ours = Image.open(dump)
    if theirs.mode != "P" or ours.mode != "P":
        fail("%s: modes %s and %s" % (gif, theirs.mode, ours.mode))
    if theirs.tobytes() != ours.tobytes():
        fail("%s: indices differ, %s" % (gif, first_difference(theirs.tobytes(), ours.tobytes(), ours.size[0])))
    used = set(ours.tobytes())
    tp = theirs.getpalette()
    op = ours.getpalette()
    for i in used:
        if tp[3 * i : 3 * i + 3] != op[3 * i : 3 * i + 3]:
            fail("%s: palette entry %d: Pillow %s, ours %s" % (gif, i, tp[3 * i : 3 * i + 3], op[3 * i : 3 * i + 3]))


if __name__ == "__main__":
    mode = sys.argv[1]
    {"rgb": cmd_rgb, "first": cmd_first, "info": cmd_info, "composed": cmd_composed, "written": cmd_written}[mode](
        *sys.argv[2:]
    )
