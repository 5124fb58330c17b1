"""Compares codectool's decodes of PngSuite with the expected pixels. Arguments: suite folder,
output folder (NAME.bmp, NAME.g.bmp decoded with display gamma 2200, NAME.k.bmp decoded with
display gamma 1000, NAME.n.bmp decoded without transparency handling, NAME.status)."""
import os
import sys

from png_model import expected, key_decisions, read_bmp

# The code each corrupt file is refused with: files without a PNG signature are not taken for
# PNG by the type detection at all.
REFUSED = {
    'xc1n0g08': 14, 'xc9n2c08': 14, 'xcrn0g04': 2, 'xcsn0g01': 9, 'xd0n2c08': 15,
    'xd3n2c08': 15, 'xd9n2c08': 15, 'xdtn0g01': 21, 'xhdn0g08': 9, 'xlfn0g04': 2,
    'xs1n0g01': 2, 'xs2n0g01': 2, 'xs4n0g01': 2, 'xs7n0g01': 2,
}

suite, out = sys.argv[1], sys.argv[2]
failures = []
checked = 0
for name in sorted(os.listdir(suite)):
    if not name.endswith('.png'):
        continue
    stem = name[:-4]
    status = open(os.path.join(out, stem + '.status')).read().strip()
    if stem.startswith('x'):
        want = 'error %d:' % REFUSED.get(stem, -1)
        if not status.startswith(want):
            failures.append('%s: %r, expected %s' % (stem, status, want))
        checked += 1
        continue
    variants = [('', 0, True)]
    if os.path.exists(os.path.join(out, stem + '.g.bmp')):
        variants.append(('.g', 2200, True))
    if os.path.exists(os.path.join(out, stem + '.k.bmp')):
        variants.append(('.k', 1000, True))
    if os.path.exists(os.path.join(out, stem + '.n.bmp')):
        variants.append(('.n', 0, False))
    keys = key_decisions(os.path.join(suite, name))
    if keys is not None:
        checked += 1
        if keys[0] != keys[1] or not any(keys[0]):
            failures.append('%s: %d keyed pixels, Pillow makes %d transparent' % (
                stem, sum(keys[0]), sum(keys[1])))
    for suffix, gamma, transparency in variants:
        try:
            got = read_bmp(os.path.join(out, stem + suffix + '.bmp'))
        except OSError:
            failures.append('%s%s: no output (%s)' % (stem, suffix, status))
            continue
        want = expected(os.path.join(suite, name), display_gamma=gamma, transparency=transparency)
        checked += 1
        if got[:2] != want[:2]:
            failures.append('%s%s: size %s, expected %s' % (stem, suffix, got[:2], want[:2]))
            continue
        bad = [i for i, (a, b) in enumerate(zip(got[2], want[2])) if a != b]
        if bad:
            i = bad[0]
            failures.append('%s%s: %d pixels differ, first at (%d,%d): %s, expected %s' % (
                stem, suffix, len(bad), i % got[0], i // got[0], got[2][i], want[2][i]))
    if stem.startswith('basi'):
        twin = os.path.join(out, 'basn' + stem[4:] + '.bmp')
        if open(os.path.join(out, stem + '.bmp'), 'rb').read() != open(twin, 'rb').read():
            failures.append('%s differs from its non-interlaced twin' % stem)

for f in failures:
    print(f)
print('%d decodes checked, %d failures' % (checked, len(failures)))
sys.exit(1 if failures or checked == 0 else 0)
