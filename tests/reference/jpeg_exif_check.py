"""Compares `codectool exif` output with `exiftool -n -j` for one file.

usage: jpeg_exif_check.py OURS.txt EXIFTOOL.json
"""
import json
import math
import sys


def fraction(text):
    n, d = text.split('/')
    return int(n), int(d)


def main():
    ours = {}
    for line in open(sys.argv[1], encoding='utf-8', errors='replace'):
        line = line.rstrip('\r\n')
        if ': ' in line:
            key, value = line.split(': ', 1)
            ours[key] = value
        elif line.endswith(':'):
            ours[line[:-1]] = ''
    ref = json.load(open(sys.argv[2]))[0]
    problems = []

    def same(name, got, want):
        if got != want:
            problems.append('%s: ours %r, exiftool %r' % (name, got, want))

    def near(name, got, want, tolerance):
        if abs(got - want) > tolerance * max(1.0, abs(want)):
            problems.append('%s: ours %r, exiftool %r' % (name, got, want))

    same('Make', ours['Make'], str(ref.get('Make', '')))
    same('Model', ours['Model'], str(ref.get('Model', '')))
    same('DateTimeOriginal', ours['DateTimeOriginal'], ref.get('DateTimeOriginal', ''))
    for key, ref_key in (('ExposureProgram', 'ExposureProgram'), ('ISO', 'ISO'),
                         ('MeteringMode', 'MeteringMode'), ('Flash', 'Flash')):
        same(key, int(ours[key]), int(ref.get(ref_key, 0)))

    n, d = fraction(ours['ExposureTime'])
    if 'ShutterSpeedValue' in ref:
        seconds = float(ref['ShutterSpeedValue'])
        if seconds <= 1:
            # 1/x with x the integer part of 2^Tv.
            same('ExposureTime from ShutterSpeedValue', (n, d), (1, int(math.floor(1 / seconds + 1e-9))))
        elif 'ExposureTime' in ref:
            near('ExposureTime', n / d, float(ref['ExposureTime']), 1e-6)
        else:
            same('ExposureTime from ShutterSpeedValue', (n, d), (int(round(seconds)), 1))
    elif 'ExposureTime' in ref:
        near('ExposureTime', n / d, float(ref['ExposureTime']), 1e-6)
    else:
        same('ExposureTime', (n, d), (0, 0))

    n, d = fraction(ours['FNumber'])
    if 'FNumber' in ref:
        near('FNumber', n / d, float(ref['FNumber']), 1e-6)
    elif 'ApertureValue' in ref:
        near('FNumber from ApertureValue', n / d, float(ref['ApertureValue']), 0.01)

    n, d = fraction(ours['ExposureBias'])
    if 'ExposureCompensation' in ref:
        near('ExposureBias', n / d, float(ref['ExposureCompensation']), 1e-6)
    n, d = fraction(ours['MaxApertureValue'])
    if 'MaxApertureValue' in ref:
        near('MaxApertureValue', 2 ** (n / d / 2), float(ref['MaxApertureValue']), 1e-6)
    n, d = fraction(ours['FocalLength'])
    if 'FocalLength' in ref:
        near('FocalLength', n / d, float(ref['FocalLength']), 1e-6)

    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
