#!/usr/bin/env python3
"""A walk of the simplex fits of curve options 3, 7 and 8, written apart from the C++ code
to check it: the start values (zeros, the Hugershoff and the general-exponential
regressions), the starting simplex from its fixed vertex table, and the downhill simplex
with its reflection, expansion, contraction and shrink steps, the age-offset bound and the
stopping test, step by step.

Single precision as the program keeps it: vertices, vertex sums, objective values and curve
values are rounded to single after every operation (exp and log are the C library's
single-precision functions); the objective's sum of squares is accumulated in double. The
start-value regressions run in double and are stored as single. --double runs every step
in double instead, to see whether the rounding decides where a walk ends.

Usage: simplex_walk.py OPTION [--double] [--trace] < values
Prints: sum of squares, evaluations, converged, then the parameters in the model's order
(3: a b k; 7: a d b c k; 8: a b c k) for the curve a*(t+c)^d*exp(b*(t+c)) + k.
"""
import ctypes
import math
import struct
import sys

_libm = ctypes.CDLL('libm.so.6')
_libm.expf.restype = _libm.logf.restype = ctypes.c_float
_libm.expf.argtypes = _libm.logf.argtypes = [ctypes.c_float]


class Arithmetic:
    def __init__(self, double):
        self.double = double

    def r(self, x):  # rounds to the working precision
        if self.double or not math.isfinite(x):
            return x
        try:
            return struct.unpack('f', struct.pack('f', x))[0]
        except OverflowError:
            return math.copysign(math.inf, x)

    def exp(self, x):
        if self.double:
            try:
                return math.exp(x)
            except OverflowError:
                return math.inf
        return _libm.expf(x)

    def log(self, x):
        return math.log(x) if self.double else _libm.logf(x)


DIMENSION = {1: 3, 2: 4, 3: 5}
# Vertices 2..ndim+1 of the starting simplex, as absolute values in the model's order.
VERTICES = {1: [[1, 0, 0], [0, -0.01, 0], [0, 0, 0.1]],
            2: [[1, 0, 0, 0], [0, -0.01, 0, 0], [0, 0, 1, 0], [0, 0, 0, 0.1]],
            3: [[1, 0, 0, 0, 0], [0, 1, 0, 0, 0], [0, 0, -0.01, 0, 0], [0, 0, 0, 1, 0],
                [0, 0, 0, 0, 0.1]]}
FTOL = 1.0e-5
ITMAX = 2000


def unpack(x, model):
    """a, d, b, c, k of a vertex."""
    if model == 2:
        return x[0], 1.0, x[1], x[2], x[3]
    if model == 3:
        return x[0], x[1], x[2], x[3], x[4]
    return x[0], 0.0, x[1], 0.0, x[2]


def curve_value(ar, q, tt):
    a, d, b, c, k = q
    r = ar.r
    return r(r(a * ar.exp(r(r(b * tt) + r(d * ar.log(tt))))) + k)


def objective(ar, x, model, t, y):
    q = unpack(x, model)
    total = 0.0
    for ti, yi in zip(t, y):
        tt = ar.r(ti + q[3])
        if tt < 0:
            raise SystemExit('negative age %g at t = %g' % (tt, ti))
        e = curve_value(ar, q, tt) - yi
        total += e * e
    return ar.r(total)


def walk(ar, start, model, t, y, trace=False):
    r = ar.r
    ndim = DIMENSION[model]
    mpts = ndim + 1
    p = [[r(v) for v in start[:ndim]]] + [[r(v) for v in row] for row in VERTICES[model]]
    fv = [objective(ar, row, model, t, y) for row in p]

    def vertex_sums():
        sums = []
        for j in range(ndim):
            s = 0.0
            for i in range(mpts):
                s = r(s + p[i][j])
            sums.append(s)
        return sums

    def trial(ihi, fac):
        fac1 = r(r(1.0 - fac) / ndim)
        fac2 = r(fac1 - fac)
        x = [r(r(psum[j] * fac1) - r(p[ihi][j] * fac2)) for j in range(ndim)]
        if model > 1 and x[ndim - 2] <= 0:  # the age offset stays at 0 or above
            x[ndim - 2] = 0.0
        ytry = objective(ar, x, model, t, y)
        if trace:
            print('  trial %4.1f %s -> %.7g' % (fac, ' '.join('%.7g' % v for v in x), ytry))
        if ytry < fv[ihi]:
            fv[ihi] = ytry
            for j in range(ndim):
                psum[j] = r(r(psum[j] + x[j]) - p[ihi][j])
                p[ihi][j] = x[j]
        return ytry

    evaluations = 0
    psum = vertex_sums()
    while True:
        ilo = 0
        ihi, inhi = (0, 1) if fv[0] > fv[1] else (1, 0)
        for i in range(mpts):
            if fv[i] <= fv[ilo]:
                ilo = i
            if fv[i] > fv[ihi]:
                inhi, ihi = ihi, i
            elif fv[i] > fv[inhi] and i != ihi:
                inhi = i
        if trace:
            print('%4d lo %d hi %d nhi %d: %s' % (evaluations, ilo + 1, ihi + 1, inhi + 1,
                                                 ' '.join('%.7g' % v for v in fv)))
        spread = r(abs(fv[ilo]) + abs(fv[ihi]))
        rtol = r(r(2.0 * abs(r(fv[ihi] - fv[ilo]))) / spread) if spread > 0 else math.nan
        if rtol < FTOL:
            return fv[ilo], evaluations, True, p[ilo]
        if evaluations >= ITMAX:  # ends at the best vertex, as the program does
            return fv[ilo], evaluations, False, p[ilo]
        evaluations += 2
        ytry = trial(ihi, -1.0)
        if ytry <= fv[ilo]:
            trial(ihi, 2.0)
        elif ytry >= fv[inhi]:
            ysave = fv[ihi]
            if trial(ihi, 0.5) >= ysave:
                for i in range(mpts):
                    if i != ilo:
                        p[i] = [r(0.5 * r(p[i][j] + p[ilo][j])) for j in range(ndim)]
                        fv[i] = objective(ar, p[i], model, t, y)
                evaluations += ndim
                psum = vertex_sums()
        else:
            evaluations -= 1


def general_exponential_start(ar, y):
    """a and -beta of ln y - ln t = ln a + beta*t over the positive values."""
    points = [(i + 1, math.log(v) - math.log(i + 1)) for i, v in enumerate(y) if v > 0]
    n = len(points)
    tbar = sum(t for t, _ in points) / n
    zbar = sum(z for _, z in points) / n
    stz = sum((t - tbar) * (z - zbar) for t, z in points)
    stt = sum((t - tbar) ** 2 for t, _ in points)
    beta = stz / stt
    return ar.r(math.exp(zbar - beta * tbar)), ar.r(-beta)


def hugershoff_start(ar, y):
    """a, b, c of ln y = ln a + b*ln t + c*t, a rescaled to the level of the data."""
    rows = [(1.0, math.log(i + 1), float(i + 1), math.log(v)) for i, v in enumerate(y) if v > 0]
    s = [[sum(w[j] * w[k] for w in rows) for k in range(3)] for j in range(3)]
    rhs = [sum(w[j] * w[3] for w in rows) for j in range(3)]

    def det3(q):
        return (q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1])
                - q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0])
                + q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]))

    det = det3(s)
    beta = [det3([[rhs[i] if k == j else s[i][k] for k in range(3)] for i in range(3)]) / det
            for j in range(3)]
    a = math.exp(beta[0])
    yc = [ar.r(a * (i + 1) ** beta[1] * math.exp(beta[2] * (i + 1))) for i in range(len(y))]
    ratio = sum(v - c for v, c in zip(y, yc) if v > 0) / sum(c for v, c in zip(y, yc) if v > 0)
    return ar.r(ar.r(a) * (ratio + 1.0)), ar.r(beta[1]), ar.r(beta[2])


def fit(option, y, double=False, trace=False):
    """(sum of squares, evaluations, converged, parameters) of the option's simplex fit."""
    ar = Arithmetic(double)
    y = [ar.r(v) for v in y]
    t = [float(i + 1) for i in range(len(y))]
    if option == 3:
        return walk(ar, [0, 0, 0], 1, t, y, trace)
    if option == 7:
        a, b, c = hugershoff_start(ar, y)
        return walk(ar, [a, b, c, 0, 0], 3, t, y, trace)
    a, b = general_exponential_start(ar, y)
    return walk(ar, [a, b, 0, 0], 2, t, y, trace)


if __name__ == '__main__':
    if len(sys.argv) < 2 or sys.argv[1] not in ('3', '7', '8'):
        raise SystemExit(__doc__)
    values = [float(v) for v in sys.stdin.read().split()]
    ss, evaluations, converged, x = fit(int(sys.argv[1]), values, '--double' in sys.argv,
                                        '--trace' in sys.argv)
    print('%.7g %d %s %s' % (ss, evaluations, converged, ' '.join('%.7g' % v for v in x)))
