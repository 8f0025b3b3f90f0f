#!/usr/bin/env python3
"""Builds the compact map files of python/tavero/maps/ from public map data.

Sources (see python/tavero/maps/README.md for licences):
  - GSHHG 2.3.7 shorelines, political borders and rivers, binned netCDF-4 files of the
    Debian package gmt-gshhg-low (/usr/share/gmt-gshhg), read with h5py;
  - Natural Earth 1:50m countries and US states, written as text by export_naturalearth.R
    from the Debian package r-cran-rnaturalearthdata.

Usage:
  Rscript tools/maps/export_naturalearth.R /tmp/ne
  python3 tools/maps/build_maps.py --gshhg /usr/share/gmt-gshhg --ne /tmp/ne \
      --out python/tavero/maps

The file format ("TVMAP1") is described in python/tavero/maps/README.md; write_tvm() below
is its reference writer.
"""
import argparse
import collections
import math
import os
import struct

UNIT = 10000  # coordinates are stored in 1/10000 degree

# Region codes of the shoreline polygons (level 1) and of the countries.
REGIONS = {"Antarctica": 1, "Africa": 2, "Asia": 3, "Oceania": 4, "Europe": 5,
           "North_America": 6, "South_America": 7, "Seven_seas_(open_ocean)": 8}

# FIPS numbers of the US states (and the District of Columbia) by postal code.
FIPS = {"AL": 1, "AK": 2, "AZ": 4, "AR": 5, "CA": 6, "CO": 8, "CT": 9, "DE": 10, "DC": 11,
        "FL": 12, "GA": 13, "HI": 15, "ID": 16, "IL": 17, "IN": 18, "IA": 19, "KS": 20,
        "KY": 21, "LA": 22, "ME": 23, "MD": 24, "MA": 25, "MI": 26, "MN": 27, "MS": 28,
        "MO": 29, "MT": 30, "NE": 31, "NV": 32, "NH": 33, "NJ": 34, "NM": 35, "NY": 36,
        "NC": 37, "ND": 38, "OH": 39, "OK": 40, "OR": 41, "PA": 42, "RI": 44, "SC": 45,
        "SD": 46, "TN": 47, "TX": 48, "UT": 49, "VT": 50, "VA": 51, "WA": 53, "WV": 54,
        "WI": 55, "WY": 56}


# ------------------------------------------------------------------------------------------
# The compact format

def varint(v, out):
    while True:
        b = v & 0x7F
        v >>= 7
        if v:
            out.append(b | 0x80)
        else:
            out.append(b)
            return


def zigzag(v):
    return (v << 1) ^ (v >> 63)


def write_tvm(path, lines):
    """lines: list of (points [(lon, lat)], level, code, closed)."""
    body = bytearray()
    total = 0
    kept = 0
    for pts, level, code, closed in lines:
        q = []
        for lon, lat in pts:
            p = (int(round(lon * UNIT)), int(round(lat * UNIT)))
            if not q or p != q[-1]:
                q.append(p)
        if closed and len(q) > 1 and q[0] == q[-1]:
            q.pop()
        if len(q) < 2:
            continue
        kept += 1
        total += len(q)
        varint(len(q), body)
        varint(level, body)
        varint(code, body)
        body.append(1 if closed else 0)
        px, py = 0, 0
        for x, y in q:
            varint(zigzag(x - px), body)
            varint(zigzag(y - py), body)
            px, py = x, y
    with open(path, "wb") as f:
        f.write(b"TVMAP1\n\x1a")
        f.write(struct.pack("<II", kept, total))
        f.write(body)
    print(f"{path}: {kept} lines, {total} points, {8 + 8 + len(body)} bytes")


# ------------------------------------------------------------------------------------------
# GSHHG binned files

def read_binned(path, coast):
    import h5py
    import numpy as np
    f = h5py.File(path, "r")
    g = lambda k: f[k][()]
    bs = g("Bin_size_in_minutes")[0] / 60.0
    nbx = int(g("N_bins_in_360_longitude_range")[0])
    first = g("Id_of_first_segment_in_a_bin")
    nseg = g("N_segments_in_a_bin").astype(int)
    p0 = g("Id_of_first_point_in_a_segment")
    rx = g("Relative_longitude_from_SW_corner_of_bin").astype(np.int64) & 0xFFFF
    ry = g("Relative_latitude_from_SW_corner_of_bin").astype(np.int64) & 0xFFFF
    if coast:
        info = g("Embedded_npts_levels_exit_entry_for_a_segment")
        npts, level = info >> 9, (info >> 6) & 7
        gid = g("Id_of_GSHHS_ID")
    else:
        npts = g("N_points_for_a_segment").astype(int)
        level = g("Hierarchial_level_of_a_segment").astype(int)
        gid = None
    pieces = []
    for b in range(len(first)):
        row, col = divmod(b, nbx)
        swlon, swlat = col * bs, 90 - (row + 1) * bs
        for s in range(first[b], first[b] + nseg[b]):
            i0, n = int(p0[s]), int(npts[s])
            lon = swlon + rx[i0:i0 + n] / 65535.0 * bs
            lat = swlat + ry[i0:i0 + n] / 65535.0 * bs
            pieces.append((list(zip(lon.tolist(), lat.tolist())), int(level[s]),
                           int(gid[s]) if gid is not None else -1))
    return pieces


def key(p):
    return (round(p[0] * 1000) % 360000, round(p[1] * 1000))


def chain(pieces):
    """Joins open pieces whose ends meet; returns lists of points."""
    starts = collections.defaultdict(list)
    for i, p in enumerate(pieces):
        starts[key(p[0])].append(i)
    used = [False] * len(pieces)
    out = []
    for i in range(len(pieces)):
        if used[i]:
            continue
        used[i] = True
        line = list(pieces[i])
        while True:
            nxt = None
            for j in starts.get(key(line[-1]), []):
                if not used[j]:
                    nxt = j
                    break
            if nxt is None:
                break
            used[nxt] = True
            line.extend(pieces[nxt][1:])
        out.append(line)
    return out


def unwrap(pts):
    """Makes longitudes continuous (no jumps of 360) starting within -180..180."""
    out = []
    lon0 = pts[0][0]
    shift = -360.0 if lon0 >= 180 else 0.0
    prev = None
    for lon, lat in pts:
        lon += shift
        if prev is not None:
            while lon - prev > 180:
                lon -= 360
                shift -= 360
            while lon - prev < -180:
                lon += 360
                shift += 360
        out.append((lon, lat))
        prev = lon
    return out


def close_round_pole(pts):
    """A ring round a pole (its longitudes turn once) is closed along the pole."""
    turn = pts[-1][0] - pts[0][0]
    if abs(abs(turn) - 360) > 1:
        return pts
    pole = -90.0 if sum(p[1] for p in pts) < 0 else 90.0
    return pts + [(pts[-1][0], pole), (pts[0][0], pole)]


def coast_lines(path, region_of):
    by_poly = collections.defaultdict(list)
    for pts, level, pid in read_binned(path, True):
        if level == 6:   # Antarctic grounding line: the ice front (level 1) is kept
            continue
        by_poly[(pid, level)].append(pts)
    lines = []
    open_ends = 0
    for (pid, level), pcs in by_poly.items():
        for ring in chain(pcs):
            if key(ring[0]) != key(ring[-1]):
                open_ends += 1
            ring = close_round_pole(unwrap(ring))
            lines.append((ring, level, region_of(ring) if level == 1 else 0, True))
    print(f"{path}: {len(lines)} polygons, {open_ends} not closed")
    return lines


def plain_lines(path, max_level=99):
    by_level = collections.defaultdict(list)
    for pts, level, _ in read_binned(path, False):
        if level <= max_level:
            by_level[level].append(pts)
    lines = []
    for level, pcs in sorted(by_level.items()):
        for line in chain(pcs):
            lines.append((unwrap(line), level, 0, False))
    return lines


# ------------------------------------------------------------------------------------------
# Natural Earth text export

def read_polygons(path):
    out = []
    with open(path) as f:
        rows = iter(f)
        for head in rows:
            tag, code, group, hole, n = head.split()
            pts = []
            for _ in range(int(n)):
                x, y = next(rows).split()
                pts.append((float(x), float(y)))
            out.append((code, group, int(hole), pts))
    return out


class RegionFinder:
    """Continent of a shoreline polygon: the country polygon containing its points."""

    def __init__(self, countries):
        self.polys = [(REGIONS.get(g, 0), pts, bbox(pts)) for code, g, hole, pts in countries
                      if not hole]

    def __call__(self, ring):
        votes = collections.Counter()
        step = max(1, len(ring) // 25)
        for lon, lat in ring[::step]:
            lon = (lon + 180) % 360 - 180
            best = None
            for reg, pts, bb in self.polys:
                if bb[0] - 1 <= lon <= bb[2] + 1 and bb[1] - 1 <= lat <= bb[3] + 1:
                    d = distance_to(pts, lon, lat)
                    if best is None or d < best[0]:
                        best = (d, reg)
            if best is not None and best[0] < 2:
                votes[best[1]] += 1
        if not votes:
            lat = sum(p[1] for p in ring) / len(ring)
            return 1 if lat < -60 else 0
        return votes.most_common(1)[0][0]


def bbox(pts):
    xs = [p[0] for p in pts]
    ys = [p[1] for p in pts]
    return (min(xs), min(ys), max(xs), max(ys))


def distance_to(pts, x, y):
    if inside(pts, x, y):
        return 0.0
    return min(math.hypot(px - x, py - y) for px, py in pts[::max(1, len(pts) // 200)])


def inside(pts, x, y):
    c = False
    n = len(pts)
    for i in range(n):
        x1, y1 = pts[i]
        x2, y2 = pts[i - 1]
        if (y1 > y) != (y2 > y) and x < (x2 - x1) * (y - y1) / (y2 - y1) + x1:
            c = not c
    return c


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--gshhg", default="/usr/share/gmt-gshhg")
    ap.add_argument("--ne", default="/tmp/ne")
    ap.add_argument("--out", default="python/tavero/maps")
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    countries = read_polygons(os.path.join(args.ne, "countries.txt"))
    regions = RegionFinder(countries)
    # rivers: the major ones (levels 0..2) with the crude and low shorelines, also the
    # additional ones (3) with the intermediate shorelines
    river_levels = {"c": 2, "l": 2, "i": 3}
    for res in "cli":
        write_tvm(os.path.join(args.out, f"coast_{res}.tvm"),
                  coast_lines(os.path.join(args.gshhg, f"binned_GSHHS_{res}.nc"), regions))
        write_tvm(os.path.join(args.out, f"border_{res}.tvm"),
                  plain_lines(os.path.join(args.gshhg, f"binned_border_{res}.nc")))
        write_tvm(os.path.join(args.out, f"river_{res}.tvm"),
                  plain_lines(os.path.join(args.gshhg, f"binned_river_{res}.nc"),
                              river_levels[res]))
    # countries: level = region, code = ISO 3166-1 numeric (0 for the few without one);
    # holes have level 0
    write_tvm(os.path.join(args.out, "countries.tvm"),
              [(pts, 0 if hole else REGIONS.get(g, 0), int(code) if code.isdigit() else 0, True)
               for code, g, hole, pts in countries])
    states = read_polygons(os.path.join(args.ne, "states.txt"))
    write_tvm(os.path.join(args.out, "states.tvm"),
              [(pts, 0 if hole else 1, FIPS[code], True) for code, g, hole, pts in states])


if __name__ == "__main__":
    main()
