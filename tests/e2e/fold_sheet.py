#!/usr/bin/env python3
"""Fold a hakomiru sheet (BMP) in 3D and tell which slot pictures come out whole.

  fold_sheet.py SHEET.bmp A.bmp B.bmp C.bmp   faces of the three box states, pictures found
  fold_sheet.py --net                         self-check of the net: cubes, tabs, states
Cells are (row, col), rows 1..6 top to bottom, columns 1..8 left to right.
Flat sheet coordinates: x = column units to the right, y = row units upwards
(y = -row), z = out of the printed side.  The printed side ends up outside.
"""
import math, struct, sys

CELL, X0, Y0 = 200, 51, 1                       # cell size, top-left pixel of cell (1,1)
NET = {(r, c) for r in (2, 5) for c in range(1, 9)} | {(r, c) for r in range(1, 7) for c in (3, 6)}
CROSS = [(2, 3), (2, 6), (5, 3), (5, 6)]        # cube 1..4: top-left, top-right, bottom-left, bottom-right
HINGES = [((2, 4), (2, 5)), ((5, 4), (5, 5)), ((3, 3), (4, 3)), ((3, 6), (4, 6))]
TABS = {((r, c), s) for r in (2, 5) for c in (1, 2, 4, 5, 7, 8) for s in 'TB'} | \
       {((2, 1), 'L'), ((2, 8), 'R'), ((5, 1), 'L'), ((5, 8), 'R')}
SIDES = {'T': (-1, 0), 'B': (1, 0), 'L': (0, -1), 'R': (0, 1)}

# ---- small vector algebra: a rigid motion is (R, t), p -> R p + t ----
def mv(R, p): return tuple(sum(R[i][j] * p[j] for j in range(3)) for i in range(3))
def mm(A, B): return [[sum(A[i][k] * B[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
def add(a, b): return tuple(x + y for x, y in zip(a, b))
def sub(a, b): return tuple(x - y for x, y in zip(a, b))
def dot(a, b): return sum(x * y for x, y in zip(a, b))
def cross(a, b): return (a[1]*b[2]-a[2]*b[1], a[2]*b[0]-a[0]*b[2], a[0]*b[1]-a[1]*b[0])
def rnd(p): return tuple(round(v, 6) + 0.0 for v in p)
def apply(T, p): return add(mv(T[0], p), T[1])
def compose(A, B): return (mm(A[0], B[0]), add(mv(A[0], B[1]), A[1]))   # A after B
ID = ([[1, 0, 0], [0, 1, 0], [0, 0, 1]], (0, 0, 0))

def rotation(p, d, ang):
    """Rotation by ang degrees about the line through p along unit d (right-hand rule);
    right angles exact."""
    c, s = {90: (0, 1), -90: (0, -1), 180: (-1, 0), -180: (-1, 0)}.get(ang) or (math.cos(math.radians(ang)), math.sin(math.radians(ang)))
    K = [[0, -d[2], d[1]], [d[2], 0, -d[0]], [-d[1], d[0], 0]]
    K2 = mm(K, K)
    R = [[(i == j) + s * K[i][j] + (1 - c) * K2[i][j] for j in range(3)] for i in range(3)]
    return (R, sub(p, mv(R, p)))

def corners(cell):
    r, c = cell
    return {'TL': (c - 1, 1 - r, 0), 'TR': (c, 1 - r, 0), 'BL': (c - 1, -r, 0), 'BR': (c, -r, 0)}
def centre(cell): return (cell[1] - 0.5, 0.5 - cell[0], 0)
def edge(cell, side):
    k = corners(cell)
    return {'T': (k['TL'], k['TR']), 'B': (k['BL'], k['BR']), 'L': (k['TL'], k['BL']), 'R': (k['TR'], k['BR'])}[side]

# ---- the cubes ----
def cube_cells(cr):
    r, c = cr
    side = -1 if c == 3 else 1                          # direction to the band's near end
    return [cr, (r, c - side), (r, c + side), (r, c + 2 * side), (r - 1, c), (r + 1, c)]   # crossing first

def fold_cube(cells):
    """Each cell's motion from the flat sheet onto its cube; the crossing cell stays put,
    every fold turns the far cell 90 degrees behind the printed side."""
    T, todo = {cells[0]: ID}, [cells[0]]
    while todo:
        a = todo.pop()
        for s, (dr, dc) in SIDES.items():
            b = (a[0] + dr, a[1] + dc)
            if b in cells and b not in T:
                e0, e1 = edge(a, s)
                d = sub(e1, e0)
                F = rotation(e0, d, 90)
                if apply(F, centre(b))[2] > 0: F = rotation(e0, d, -90)
                T[b] = compose(T[a], F); todo.append(b)
    return T

CUBES = [cube_cells(cr) for cr in CROSS]
FOLDED = [fold_cube(cs) for cs in CUBES]
OWNER = {cell: i for i, cs in enumerate(CUBES) for cell in cs}

def shared_edge(a, b):
    s = [k for k, v in SIDES.items() if (a[0] + v[0], a[1] + v[1]) == b][0]
    return edge(a, s)

# ---- the three states: placement of each cube ----
def at(G, cell, p):                                     # flat point p of cell, in placement G
    return apply(G[OWNER[cell]], apply(FOLDED[OWNER[cell]][cell], p))
def cube_box(G, i):
    pts = [at(G, c, p) for c in CUBES[i] for p in corners(c).values()]
    return [(min(p[k] for p in pts), max(p[k] for p in pts)) for k in range(3)]
def hinge_points(G, a, b):
    return [[rnd(at(G, c, p)) for p in shared_edge(a, b)] for c in (a, b)]

def slab():
    """Cubes keep their folded attitude; cubes 2, 3, 4 are shifted so that the hinge to a placed
    cube closes (the fourth hinge is checked, not used)."""
    G = [ID, ID, ID, ID]
    for a, b in [HINGES[0], HINGES[2], HINGES[3]]:          # a's cube is placed already
        G[OWNER[b]] = (ID[0], sub(at(G, a, shared_edge(a, b)[0]), at(G, b, shared_edge(a, b)[0])))
    return G

def fold_half(G, hinge, moving, steps=36):
    """Turn the cubes `moving` 180 degrees about `hinge` of G, the way in which they never
    enter the others on the way.  Returns (new placement, signed angle)."""
    a, b = hinge
    p0, p1 = [at(G, a, p) for p in shared_edge(a, b)]
    d = sub(p1, p0)
    fixed = [cube_box(G, i) for i in range(4) if i not in moving]
    for sign in (1, -1):
        ok = True
        for k in range(1, steps + 1):
            F = rotation(p0, d, sign * 180 * k / steps)
            for i in moving:
                pts = [apply(F, at(G, c, q)) for c in CUBES[i] for q in [centre(c)] + list(corners(c).values())]
                ctr = [sum(p[m] for p in pts) / len(pts) for m in range(3)]
                pts += [tuple((p[m] + ctr[m]) / 2 for m in range(3)) for p in pts] + [tuple(ctr)]
                if any(all(bx[m][0] + 1e-6 < p[m] < bx[m][1] - 1e-6 for m in range(3)) for p in pts for bx in fixed):
                    ok = False
        if ok:
            F = rotation(p0, d, sign * 180)
            return [compose(F, G[i]) if i in moving else G[i] for i in range(4)], (sign, rnd(d), moving)
    raise ValueError('no collision-free way to fold about %s' % (hinge,))

def states():
    S = slab()
    V, vway = fold_half(S, HINGES[0], (0, 2))          # left half (cubes 1, 3) turns about the vertical line
    H, hway = fold_half(S, HINGES[2], (0, 1))          # top half (cubes 1, 2) turns about the horizontal line
    return [('slab', S, None), ('vfold', V, vway), ('hfold', H, hway)]

def faces(G):
    """The two large faces of a 2x2x1 state: (name, outward normal, up, cells with motion)."""
    boxes = [cube_box(G, i) for i in range(4)]
    bb = [(min(b[k][0] for b in boxes), max(b[k][1] for b in boxes)) for k in range(3)]
    thin = [k for k in range(3) if abs(bb[k][1] - bb[k][0] - 1) < 1e-6][0]
    out = []
    for side, val in ((1, bb[thin][1]), (-1, bb[thin][0])):
        n = tuple(side * (k == thin) for k in range(3))
        up = (0, 1, 0) if thin != 1 else (0, 0, -side)
        cells, inward = [], []
        for cell, i in OWNER.items():
            T = compose(G[i], FOLDED[i][cell])
            if abs(apply(T, centre(cell))[thin] - val) < 1e-6:
                (cells if rnd(mv(T[0], (0, 0, 1))) == rnd(n) else inward).append((cell, T))
        out.append(('%s%s' % ('+-'[side < 0], 'XYZ'[thin]), n, up, val, cells, inward))
    return bb, out

def layout(n, up, cells):
    """Face seen from outside: 2x2 list of (cell, turn clockwise in degrees)."""
    right = cross(up, n)
    lo = [min(dot(apply(T, p), v) for c, T in cells for p in corners(c).values()) for v in (right, up)]
    grid = [[None, None], [None, None]]
    for c, T in cells:
        ctr = apply(T, centre(c))
        col, row = int(dot(ctr, right) - lo[0]), 1 - int(dot(ctr, up) - lo[1])
        u3 = mv(T[0], (0, 1, 0))                          # where the cell's own "up" points
        turn = {(0, 1): 0, (1, 0): 90, (0, -1): 180, (-1, 0): 270}[(round(dot(u3, right)), round(dot(u3, up)))]
        grid[row][col] = (c, turn)
    return grid

# ---- pictures ----
def read_bmp(fn):
    d = open(fn, 'rb').read()
    if d[:2] != b'BM': raise SystemExit('%s: not a BMP file' % fn)
    off, = struct.unpack_from('<I', d, 10)
    w, h, _, bpp, comp = struct.unpack_from('<iiHHI', d, 18)
    if bpp not in (24, 32) or comp not in (0, 3): raise SystemExit('%s: need an uncompressed 24/32-bit BMP' % fn)
    bp, rs = bpp // 8, (w * bpp // 8 + 3) & ~3
    o = [off + (abs(h) - 1 - y if h > 0 else y) * rs for y in range(abs(h))]
    rows = [d[a:a + w * bp] for a in o]
    return w, abs(h), bp, rows

def blocks(img, x0, y0, x1, y1, n, inset=0):
    """n x n grid of mean (r, g, b) over the box [x0, x1) x [y0, y1), each block shrunk by inset
    where it touches the box's border (grid lines)."""
    w, h, bp, rows = img
    span = lambda a, b, i: (a + (b - a) * i // n + inset * (i == 0), a + (b - a) * (i + 1) // n - inset * (i == n - 1))
    def mean(ya, yb, xa, xb):
        s = [sum(sum(rows[y][xa * bp + ch:xb * bp:bp]) for y in range(ya, yb)) / ((yb - ya) * (xb - xa)) for ch in range(3)]
        return (s[2], s[1], s[0])
    return [[mean(*span(y0, y1, i), *span(x0, x1, j)) for j in range(n)] for i in range(n)]

def turn(g, deg):                                           # turn a grid clockwise
    for _ in range(deg // 90 % 4):
        g = [[g[len(g) - 1 - j][i] for j in range(len(g))] for i in range(len(g[0]))]
    return g
def mirror(g, m): return [row[::-1] for row in g] if m else g   # left-right, then turned
def diff(a, b): return sum(abs(p - q) for ra, rb in zip(a, b) for x, y in zip(ra, rb) for p, q in zip(x, y)) / (3 * len(a) * len(a[0]))
def quarter(g, q):
    k = len(g) // 2; r, c = (q in ('BL', 'BR')) * k, (q in ('TR', 'BR')) * k
    return [row[c:c + k] for row in g[r:r + k]]

K, TOL = 8, 12.0            # blocks per quarter; mean |difference| (0..255) still counted as equal
# quarters are named Q@T: quarter Q of the picture turned T degrees clockwise (m: mirrored first)

def check_sheet(sheet_fn, pic_fns):
    sheet = read_bmp(sheet_fn)
    sc = max(1, sheet[0] // (8 * CELL + 102))         # sheets written with --scale N
    if sheet[:2] != (sc * (8 * CELL + 102), sc * (6 * CELL + 102)):
        raise SystemExit('%s: %dx%d is not a sheet size' % (sheet_fn, sheet[0], sheet[1]))
    x0, y0, cell = sc * X0, sc * Y0, sc * CELL
    cellg = {(r, c): blocks(sheet, x0 + (c - 1) * cell, y0 + (r - 1) * cell, x0 + c * cell, y0 + r * cell, K, 4 * sc)
             for r, c in NET}
    pics = {}
    for name, fn in zip('ABC', pic_fns):
        im = read_bmp(fn)
        pics[name] = blocks(im, 0, 0, im[0], im[1], 2 * K)
    found = {n: [] for n in pics}
    for sname, G, _ in states():
        for fname, n, up, val, cells, inward in faces(G)[1]:
            grid = layout(n, up, cells)
            face = [sum((turn(cellg[grid[R][C][0]], grid[R][C][1])[i] for C in (0, 1)), []) for R in (0, 1) for i in range(K)]
            shown = []
            for R in (0, 1):
                for C in (0, 1):
                    q = [row[C * K:(C + 1) * K] for row in face[R * K:(R + 1) * K]]
                    if all(min(px) > 245 for row in q for px in row):
                        shown.append('blank'); continue
                    best = min((diff(q, turn(mirror(quarter(pics[p], qq), m), t)), p, qq, t, m)
                               for p in pics for qq in ('TL', 'TR', 'BL', 'BR') for t in (0, 90, 180, 270) for m in ('', 'm'))
                    shown.append('%s.%s@%d%s' % best[1:] if best[0] < TOL else '?')
            whole = [(p, t) for p in pics for t in (0, 90, 180, 270) if diff(face, turn(pics[p], t)) < TOL]
            whole += [(p, '%dm' % t) for p in pics for t in (0, 90, 180, 270) if diff(face, turn(mirror(pics[p], 'm'), t)) < TOL]
            for p, t in whole:
                if t in (0, 90, 180, 270): found[p].append('%s %s turned %d' % (sname, fname, t))
            cs = ' '.join('(%d,%d)@%d' % (c + (t,)) for row in grid for c, t in row)
            print('face %-5s %-2s cells[TL TR BL BR] %s  shows %s  whole: %s' % (
                sname, fname, cs, ' '.join(shown), ', '.join('%s@%s' % w for w in whole) or '-'))
    for p in pics:
        print('picture %s: %s' % (p, ('WHOLE on ' + '; '.join(found[p])) if found[p] else 'not whole on any face'))
    return all(found.values())

def check_net():
    bad = []
    def need(ok, msg):
        if not ok: bad.append(msg); print('FAIL', msg)
    need(sorted(OWNER) == sorted(NET) and len(OWNER) == 24, 'cubes do not split the net')
    need(len(TABS) == 28 and all((c[0] + SIDES[s][0], c[1] + SIDES[s][1]) not in NET for c, s in TABS), 'tabs not on 28 free edges')
    for i, (cs, T) in enumerate(zip(CUBES, FOLDED)):
        print('cube %d (crossing %s): %s' % (i + 1, cs[0], ' '.join('(%d,%d)' % c for c in cs)))
        ctrs = {rnd(apply(T[c], centre(c))) for c in cs}
        need(len(ctrs) == 6, 'cube %d: faces coincide' % (i + 1))
        where = {}
        for c in cs:
            for s, (dr, dc) in SIDES.items():
                if (c[0] + dr, c[1] + dc) not in cs:
                    where.setdefault(frozenset(rnd(apply(T[c], p)) for p in edge(c, s)), []).append((c, s))
        need(all(len(v) == 2 for v in where.values()) and len(where) == 7, 'cube %d does not close' % (i + 1))
        for v in where.values():
            tabs = [e for e in v if e in TABS]
            if tabs:
                need(len(tabs) == 1 and len(v) == 2, 'cube %d: tab %s meets %s' % (i + 1, tabs[0], v))
                print('  tab %s -> %s' % (tabs[0], [e for e in v if e not in TABS]))
    hinges_ok = all(OWNER[a] != OWNER[b] and b in [(a[0] + dr, a[1] + dc) for dr, dc in SIDES.values()] for a, b in HINGES)
    need(hinges_ok, 'a hinge does not join two cubes')
    try: sts = states() if hinges_ok else []
    except Exception as e: sts = []; need(False, 'states cannot be formed: %r' % e)
    for sname, G, way in sts:
        for a, b in HINGES:
            pa, pb = hinge_points(G, a, b)
            need(pa == pb, '%s: hinge %s|%s apart %s %s' % (sname, a, b, pa, pb))
        boxes = [cube_box(G, i) for i in range(4)]
        need(all(abs(b[k][1] - b[k][0] - 1) < 1e-6 for b in boxes for k in range(3)), '%s: a cube is not axis-aligned' % sname)
        need(not any(all(boxes[i][k][0] < boxes[j][k][1] - 1e-6 and boxes[j][k][0] < boxes[i][k][1] - 1e-6 for k in range(3))
                        for i in range(4) for j in range(i)), '%s: cubes overlap' % sname)
        bb, fs = faces(G)
        need(sorted(round(h - l, 6) for l, h in bb) == [1, 2, 2], '%s: not a 2x2x1 block' % sname)
        if sname == 'slab':                            # same arrangement as on the sheet, front to the viewer
            need([(round(b[0][0]), round(b[1][0]), round(b[2][0])) for b in boxes] == [(2, -2, -1), (3, -2, -1), (2, -3, -1), (3, -3, -1)],
                 'slab: cubes not arranged as on the sheet')
        ctr = ['(%g,%g,%g)' % tuple((b[k][0] + b[k][1]) / 2 for k in range(3)) for b in boxes]
        print('state %s: cube centres %s' % (sname, ' '.join(ctr)))
        if way:
            turned = [h for h in HINGES if (OWNER[h[0]] in way[2]) != (OWNER[h[1]] in way[2])]
            print('  cubes %s turn 180 degrees about axis %s, sense %+d (right-hand rule); hinges turned: %s' % (
                ','.join(str(i + 1) for i in way[2]), way[1], way[0], ' '.join('%s|%s' % h for h in turned)))
        for fname, n, up, val, cells, inward in fs:
            need(len(cells) == 4 and not inward, '%s %s: %d cells outward, %d inward' % (sname, fname, len(cells), len(inward)))
            if len(cells) != 4: continue
            grid = layout(n, up, cells)
            print('  face %s (seen from outside, up=%s): %s' % (fname, up, ' / '.join(
                ' '.join('(%d,%d)@%d' % (c + (t,)) for c, t in row) for row in grid)))
    print('net: %s' % ('FAIL (%d)' % len(bad) if bad else 'ok'))
    return not bad

if __name__ == '__main__':
    a = sys.argv[1:]
    if a == ['--net']: sys.exit(0 if check_net() else 1)
    if len(a) != 4: sys.exit(__doc__)
    sys.exit(0 if check_sheet(a[0], a[1:]) else 1)
