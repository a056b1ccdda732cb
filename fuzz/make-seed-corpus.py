#!/usr/bin/python3
"""Writes the seed corpus of fuzz_fbdata: a few real-looking files from fbgen and forged ones.

usage: make-seed-corpus.py FBGEN OUTPUT_DIR

Each input is 12 bytes of load parameters (see FBDataCase.h) followed by the FB file.
"""
import math
import os
import struct
import subprocess
import sys
import tempfile

CORRECT, ERROR, ALL = 1, 2, 4


def params(flags, point_size=4, limit=0xFFFF, min_offset=0, max_offset=0):
    return struct.pack('<BBHii', flags, point_size, limit, min_offset, max_offset)


def header(count, low, high):
    return struct.pack('<iiii', count, -7, low, high)


def record(offset, time, fb_class):
    return (b'\xee' * 8 + struct.pack('<i', offset) + b'\xee' * 48 +
            struct.pack('<fi', time, fb_class) + b'\xee' * 16)


def fbgen(tool, records, seed, *extra):
    with tempfile.TemporaryDirectory() as tmp:
        path = os.path.join(tmp, 'seed.fb')
        subprocess.run([tool, '-q', '-n', str(records), '-s', str(seed), *extra, path], check=True)
        with open(path, 'rb') as f:
            return f.read()


def main():
    tool, out = sys.argv[1], sys.argv[2]
    os.makedirs(out, exist_ok=True)
    some = b''.join(record(o, t, c) for o, t, c in
                    [(120, 80.5, 0), (-640, 310.2, 1), (2999, 900.0, 2), (0, -3.7, -3)])
    seeds = {
        'real-30-correct': params(CORRECT) + fbgen(tool, 30, 1),
        'real-30-error-limited': params(ERROR, 7, 0xFFFF, 500, 2000) + fbgen(tool, 30, 2),
        'real-40-all-window-narrower-than-point': params(ALL, 20, 0xFFFF, 0, 10) + fbgen(tool, 40, 3),
        'real-20-truncated-mid-record': (params(CORRECT | ERROR) +
                                         fbgen(tool, 20, 4)[:16 + 84 * 11 + 30]),
        'forged-count-2e9-no-records': params(CORRECT, 4, 100) + header(2000000000, 0, 3000),
        'forged-count-negative': params(ALL) + header(-1000, 0, 3000) + some,
        'forged-count-int-min': params(ALL) + header(-2**31, 0, 3000) + some,
        'forged-window-0-to-int-max': params(ALL) + header(4, 0, 2**31 - 1) + some,
        'forged-window-inverted': params(ALL) + header(4, 3000, 0) + some,
        'forged-window-negative-low': params(ALL, 1) + header(4, -100, 50) + some,
        'forged-limits-negative-min': params(CORRECT, 3, 0xFFFF, -500, 100) + header(4, 0, 3000) + some,
        'forged-offset-int-min': params(ALL) + header(3, 0, 2**31 - 1) + b''.join(
            record(o, 10.0, 0) for o in (-2**31, 2**31 - 1, -(2**31 - 1))),
        'forged-times-nonfinite-and-huge': params(ALL) + header(6, 0, 3000) + b''.join(
            record(100 + k, t, 0) for k, t in
            enumerate([math.nan, math.inf, -math.inf, 1e30, -1e30, 2147483520.0])),
        'forged-times-below-zero': params(ALL, 5) + header(3, 0, 100) + b''.join(
            record(o, t, 0) for o, t in [(5, -4.0), (9, -2.0), (99, -1e9)]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
