#!/usr/bin/python3
# Peer baseline: structured np.fromfile, the window and class filter, np.histogram2d on the
# same 4 m x 4 ms cells as the crossplot. Prints the figures that crossplot-render --stats does.
import json
import numpy as np
import fbpicks

args = fbpicks.parse_args(__doc__)
count, low, high, offsets, times = fbpicks.load(args)
time_max, qbins, rbins = fbpicks.edges(low, high, times)
grid, _, _ = np.histogram2d(offsets, times, bins=(qbins, rbins),
                            range=((low, low + 4 * qbins), (0, 4 * rbins)))
print(json.dumps({"recordCount": count, "pickCount": int(offsets.size), "timeMax": time_max,
                  "cellCount": qbins * rbins, "occupied": int(np.count_nonzero(grid)),
                  "maxCount": int(grid.max()) if grid.size else 0}))
