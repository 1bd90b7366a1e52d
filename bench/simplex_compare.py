#!/usr/bin/env python3
"""Compares the program's simplex fits (options 3, 7 and 8) with the walk of
bench/simplex_walk.py on every series of every ring-width file of a folder.

For each series and option: the program's sum of squares is within 2% of the walk's, or
beyond, and "same end" within one part in a million (the program's sum is taken from its
curve, the walk's is its objective). The walk has no unique end where the same walk in
double precision ends more than 2% away from it: the rounding then decides the end. An
option-3 fit whose rate is not negative falls back to a line: there the walk's rate must
not be negative either.

Usage: bench/simplex_compare.py [BUILD] [FOLDER]   (defaults: build, ../shared/data/rwl)
Takes a few minutes: four walks run side by side.
"""
import collections
import glob
import os
import subprocess
import sys
from multiprocessing import Pool

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import simplex_walk  # noqa: E402

TOLERANCE = 0.02


def program_fits(driver, path):
    """(file, id, option, code after the fit, sum of squares, values) of every fit."""
    out = subprocess.run([driver, path], capture_output=True, text=True).stdout
    fits = []
    for line in out.splitlines():
        w = line.split()
        if w[0] == 'series':
            series, values = w[1], [float(v) for v in w[3:]]
        else:
            fits.append((os.path.basename(path), series, int(w[1]), int(w[2]), float(w[3]),
                         values))
    return fits


def walks(fit):
    option, values = fit[2], fit[5]
    return simplex_walk.fit(option, values), simplex_walk.fit(option, values, double=True)


def relative(a, b):
    return abs(a / b - 1) if b != 0 else abs(a - b)


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, 'build')
    folder = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, '..', 'shared', 'data', 'rwl')
    subprocess.run(['cmake', '--build', build, '--target', 'bench_simplex_fits'], check=True,
                   capture_output=True)
    driver = os.path.join(build, 'bench_simplex_fits')
    fits = [f for path in sorted(glob.glob(os.path.join(folder, '*.rwl')))
            for f in program_fits(driver, path)]
    with Pool(4) as pool:
        results = pool.map(walks, fits, chunksize=8)

    counts = collections.defaultdict(collections.Counter)
    listed = []
    for (name, series, option, code, ss, _), (single, double) in zip(fits, results):
        c = counts[option]
        c['series'] += 1
        if code != option:
            c['line, walk rate >= 0' if single[3][1] >= 0 else 'line, walk rate < 0'] += 1
            continue
        within = relative(ss, single[0]) <= TOLERANCE
        unique = relative(double[0], single[0]) <= TOLERANCE
        c['within 2%' if within else 'beyond 2%'] += 1
        if relative(ss, single[0]) <= 1.0e-6:
            c['same end'] += 1
        if not unique:
            c['no unique end'] += 1
        if not within:
            listed.append('%s %s option %d: program %.7g, walk %.7g, walk in double %.7g'
                          % (name, series, option, ss, single[0], double[0]))
    for option in sorted(counts):
        print('option %d: %s' % (option, ', '.join('%s %d' % kv for kv in counts[option].items())))
    for line in listed:
        print(line)


if __name__ == '__main__':
    main()
