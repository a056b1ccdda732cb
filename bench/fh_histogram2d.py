#!/usr/bin/python3
# Peer baseline: as np_histogram2d.py, with fast_histogram.histogram2d doing the binning.
import json
import numpy as np
from fast_histogram import histogram2d
import fbpicks

args = fbpicks.parse_args(__doc__)
count, low, high, offsets, times = fbpicks.load(args)
time_max, qbins, rbins = fbpicks.edges(low, high, times)
grid = histogram2d(offsets, times, bins=(qbins, rbins),
                   range=((low, low + 4 * qbins), (0, 4 * rbins)))
print(json.dumps({"recordCount": count, "pickCount": int(offsets.size), "timeMax": time_max,
                  "cellCount": qbins * rbins, "occupied": int(np.count_nonzero(grid)),
                  "maxCount": int(grid.max()) if grid.size else 0}))
