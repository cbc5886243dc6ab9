#!/usr/bin/env python3
"""Side-by-side figures for the geom buffer rows of geom_bench.cpp.

Builds the same inputs as the benchmark (the 40,000-vertex ellipse, the
province-like outline, the square with 10,000 holes, 5,000 points) and times
GEOS's own buffer of each through shapely (python3-shapely, installed by
./setup --test), one core, best of three. The outline is given to GEOS in
metres of a local equirectangular frame: close to the UTM metres the tool
buffers in, which is all a timing needs.

Usage: bench/geom_shapely.py
"""

import math
import time

from shapely.geometry import Point, Polygon

MASK = (1 << 64) - 1


def ellipse(n, cx, cy, r):
    # As geom_bench.cpp's ring(): std::to_string keeps six decimals.
    points = []
    for i in range(n + 1):
        t = 2 * 3.141592653589793 * (i % n) / n
        points.append((float(f"{cx + r * math.cos(t):.6f}"), float(f"{cy + 0.6 * r * math.sin(t):.6f}")))
    return points


def outline(n, cx, cy, r):
    # As geom_bench.cpp's outline(): the same generator and random walk.
    state = 12345
    wander = 0.0
    points = []
    for i in range(n):
        state = (state * 6364136223846793005 + 1442695040888963407) & MASK
        wander += ((state >> 11) / 9007199254740992.0 - 0.5) * 0.02
        wander *= 0.999
        t = 2 * 3.141592653589793 * i / n
        radius = r * (1 + wander)
        points.append((float(f"{cx + radius * math.cos(t):.6f}"), float(f"{cy + 0.6 * radius * math.sin(t):.6f}")))
    points.append(points[0])
    return points


def holed_square():
    holes = []
    for i in range(100):
        for j in range(100):
            x, y = 500 + 1000 * i, 500 + 1000 * j
            holes.append([(x, y), (x, y + 1), (x + 1, y + 1), (x + 1, y), (x, y)])
    return Polygon([(0, 0), (100000, 0), (100000, 100000), (0, 100000), (0, 0)], holes)


def best_of_three(f):
    best = math.inf
    for _ in range(3):
        start = time.perf_counter()
        f()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    lat0 = math.radians(50)
    metres = [((x - 10) * 111320 * math.cos(lat0), (y - 50) * 110574) for x, y in outline(40000, 10, 50, 1.5)]
    side = int(math.sqrt(5000))
    cases = [
        ("buffer_40000_planar", Polygon(ellipse(40000, 100000, 100000, 20000)), 10),
        ("buffer_40000_outline", Polygon(metres), 10),
        ("buffer_10000_holes", holed_square(), 100),
    ]
    points = [Point(10 + 0.01 * (i % side), 50 + 0.01 * (i // side)) for i in range(5000)]
    for name, geometry, radius in cases:
        # quad_segs 8: 32 sides to a full circle, as the tool's circles.
        seconds = best_of_three(lambda: geometry.buffer(radius, 8))
        print(f"{name:24s} {seconds * 1000:10.1f} ms")
    # The tool draws one circle per Point feature, so each is buffered alone.
    for name, radius in [("buffer_5000_points", 0.0009)]:
        seconds = best_of_three(lambda: [p.buffer(radius, 8) for p in points])
        print(f"{name:24s} {seconds * 1000:10.1f} ms")


if __name__ == "__main__":
    main()
