#!/usr/bin/env python3
"""Writes island.mqo, the model of the world example: a small floating island with a cottage,
three pine trees and a few rocks, as Metasequoia model text.

Every piece is a convex solid given by its corner points; each face is turned so that its
normal ((p1 - p0) x (p2 - p0)) points away from the solid's centre, which is what the renderer
draws as the front side. Run it again after changing a number: python3 make-model.py
"""
import math

# name, colour (r, g, b); every material is lit by its colour as it is.
MATERIALS = [
    ("grass", (0.45, 0.72, 0.32)),
    ("earth", (0.55, 0.38, 0.24)),
    ("rock", (0.58, 0.58, 0.62)),
    ("wall", (0.93, 0.88, 0.76)),
    ("roof", (0.78, 0.26, 0.22)),
    ("bark", (0.45, 0.30, 0.18)),
    ("leaves", (0.20, 0.50, 0.30)),
    ("window", (0.98, 0.85, 0.40)),
]
M = {name: i for i, (name, _) in enumerate(MATERIALS)}

vertices = []
faces = []  # (material, [vertex indices])


def sub(a, b):
    return (a[0] - b[0], a[1] - b[1], a[2] - b[2])


def cross(a, b):
    return (a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0])


def dot(a, b):
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]


def solid(points, polygons, material, centre=None):
    """Adds a convex solid: points, and polygons as lists of indices into them (3 or 4)."""
    if centre is None:
        centre = tuple(sum(p[k] for p in points) / len(points) for k in range(3))
    base = len(vertices)
    vertices.extend(points)
    for poly in polygons:
        mat = material(poly) if callable(material) else material
        p = [points[i] for i in poly]
        n = cross(sub(p[1], p[0]), sub(p[2], p[0]))
        middle = tuple(sum(q[k] for q in p) / len(p) for k in range(3))
        if dot(n, sub(middle, centre)) < 0:
            poly = list(reversed(poly))
        faces.append((mat, [base + i for i in poly]))


def box(x0, y0, z0, x1, y1, z1, material):
    pts = [(x, y, z) for y in (y0, y1) for z in (z0, z1) for x in (x0, x1)]
    # 0..3 bottom, 4..7 top; index = y*4 + z*2 + x
    polys = [[0, 1, 3, 2], [4, 5, 7, 6], [0, 1, 5, 4], [2, 3, 7, 6], [0, 2, 6, 4], [1, 3, 7, 5]]
    solid(pts, polys, material)


def cone(cx, y0, cz, radius, height, sides, material, phase=0.0):
    ring = [(cx + radius * math.cos(phase + 2 * math.pi * i / sides), y0,
             cz + radius * math.sin(phase + 2 * math.pi * i / sides)) for i in range(sides)]
    pts = ring + [(cx, y0 + height, cz), (cx, y0, cz)]
    apex, middle = sides, sides + 1
    polys = [[i, (i + 1) % sides, apex] for i in range(sides)]
    polys += [[i, (i + 1) % sides, middle] for i in range(sides)]
    solid(pts, polys, material, centre=(cx, y0 + height / 4, cz))


def island():
    """The floating island: a grassy top, an earth rim and a cone of earth underneath."""
    sides = 14
    top, rim = [], []
    for i in range(sides):
        a = 2 * math.pi * i / sides
        r = 40 + 5 * math.sin(3 * a) + 3 * math.cos(5 * a)  # a slightly uneven coast
        top.append((r * math.cos(a), 0.0, r * math.sin(a)))
        rim.append((0.8 * r * math.cos(a), -9.0, 0.8 * r * math.sin(a)))
    pts = top + rim + [(0.0, 0.0, 0.0), (4.0, -48.0, -3.0)]
    centre, tip = 2 * sides, 2 * sides + 1
    polys = [[i, (i + 1) % sides, centre] for i in range(sides)]
    polys += [[i, (i + 1) % sides, sides + (i + 1) % sides, sides + i] for i in range(sides)]
    polys += [[sides + i, sides + (i + 1) % sides, tip] for i in range(sides)]
    solid(pts, polys, lambda p: M["grass"] if centre in p else M["earth"], centre=(0.0, -12.0, 0.0))


def cottage(x, z):
    box(x - 9, 0, z - 7, x + 9, 11, z + 7, M["wall"])
    # The roof: a prism over the walls with eaves.
    pts = [(x - 11, 11, z - 9), (x + 11, 11, z - 9), (x + 11, 11, z + 9), (x - 11, 11, z + 9),
           (x - 11, 20, z), (x + 11, 20, z)]
    solid(pts, [[0, 1, 5, 4], [3, 2, 5, 4], [0, 3, 4], [1, 2, 5], [0, 1, 2, 3]], M["roof"])
    box(x + 4, 14, z - 3, x + 7, 24, z, M["rock"])  # chimney
    box(x - 6, 4, z - 7.6, x - 2, 8, z - 7, M["window"])  # lit windows
    box(x + 2, 4, z - 7.6, x + 6, 8, z - 7, M["window"])
    box(x - 9.6, 4, z - 2, x - 9, 8, z + 2, M["window"])


def pine(x, z, size):
    box(x - 1.2 * size, 0, z - 1.2 * size, x + 1.2 * size, 5 * size, z + 1.2 * size, M["bark"])
    cone(x, 4 * size, z, 6 * size, 9 * size, 7, M["leaves"])
    cone(x, 10 * size, z, 4.5 * size, 8 * size, 7, M["leaves"], phase=0.4)


def rock(x, z, s):
    cone(x, -0.5, z, 3 * s, 3 * s, 5, M["rock"], phase=x)


island()
cottage(-6, 6)
pine(18, -10, 1.0)
pine(24, 8, 0.8)
pine(-22, -16, 1.2)
rock(8, 18, 1.0)
rock(-24, 10, 0.7)
rock(24, -20, 0.8)

with open("island.mqo", "w", newline="\n") as out:
    out.write("Metasequoia Document\nFormat Text Ver 1.0\n\n")
    out.write("Material %d {\n" % len(MATERIALS))
    for name, (r, g, b) in MATERIALS:
        out.write('\t"%s" col(%.3f %.3f %.3f 1.000) dif(1.000) amb(0.600) emi(0.000) spc(0.000) power(5.00)\n'
                  % (name, r, g, b))
    out.write("}\n")
    out.write('Object "island" {\n\tvertex %d {\n' % len(vertices))
    for x, y, z in vertices:
        out.write("\t\t%.4f %.4f %.4f\n" % (x, y, z))
    out.write("\t}\n\tface %d {\n" % len(faces))
    for mat, idx in faces:
        out.write("\t\t%d V(%s) M(%d)\n" % (len(idx), " ".join(str(i) for i in idx), mat))
    out.write("\t}\n}\nEof\n")
print("island.mqo: %d vertices, %d faces" % (len(vertices), len(faces)))
