#!/usr/bin/python3
# Shared by the peer baselines: reads an FB file the way a processor would with numpy, and
# applies the offset window and class filter of the crossplot (same defaults as the dialog).
import argparse
import numpy as np

RECORD = np.dtype([("skip0", "V8"), ("offset", "<i4"), ("skip1", "V48"),
                   ("time", "<f4"), ("cls", "<i4"), ("skip2", "V16")])


def parse_args(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("file")
    parser.add_argument("--min-offset", type=int, default=0)
    parser.add_argument("--max-offset", type=int, default=0)
    parser.add_argument("--type", choices=("correct", "error", "both"), default="correct")
    return parser.parse_args()


def load(args):
    header = np.fromfile(args.file, dtype="<i4", count=4)
    count, low, high = int(header[0]), int(header[2]), int(header[3])
    if args.max_offset > 0:
        low, high = max(low, args.min_offset), min(high, args.max_offset)
    records = np.fromfile(args.file, dtype=RECORD, count=count, offset=16)
    absolute = np.abs(records["offset"].astype(np.int64))
    keep = (absolute >= low) & (absolute < high)
    if args.type == "correct":
        keep &= records["cls"] < 2
    elif args.type == "error":
        keep &= records["cls"] >= 2
    times = np.trunc(records["time"][keep]).astype(np.int32)
    return count, low, high, absolute[keep], times


def edges(low, high, times):
    time_max = max(int(times.max()) if times.size else 0, 0) + 100
    offset_bins = (high - low) // 4
    time_bins = time_max // 4
    return time_max, offset_bins, time_bins
