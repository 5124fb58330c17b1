"""Checks one written PNG: pngcheck -vv finds no error and reports the expected filter of
every row, and Pillow's decode equals codectool's decode of the same file (and, when given,
the source decode). Arguments: written.png our.bmp filter(-1 for any) [source.bmp]."""
import re
import subprocess
import sys

from png_model import expected, read_bmp

path, ours, want_filter = sys.argv[1], sys.argv[2], int(sys.argv[3])
source = sys.argv[4] if len(sys.argv) > 4 else None
report = subprocess.run(['pngcheck', '-vv', path], capture_output=True, text=True).stdout
problems = []
if 'No errors detected' not in report:
    problems.append('pngcheck: ' + report.strip().splitlines()[-1])
filters = []
in_filters = False
for line in report.splitlines():
    if 'row filters' in line:
        in_filters = True
        continue
    if in_filters:
        filters += [int(x) for x in re.sub(r'\(.*\)', '', line).split() if x.isdigit()]
        if '(' in line:
            in_filters = False
if want_filter >= 0 and (not filters or any(f != want_filter for f in filters)):
    problems.append('row filters %s, expected all %d' % (sorted(set(filters)), want_filter))
got = read_bmp(ours)
pillow = expected(path)
if got != pillow:
    problems.append('Pillow decodes other pixels than codectool')
if source and read_bmp(source)[2] != pillow[2]:
    problems.append('pixels differ from the source')
for p in problems:
    print('%s: %s' % (path, p))
sys.exit(1 if problems else 0)
