#!/usr/bin/env python3
"""Draw Tarvex's program icon (128) and tray icon (141) as RGBA PNGs.

Both designs live in a 256 x 256 unit space and are rasterised at each size
with 4 x 4 supersampling. Strokes have a minimum width in output pixels, so
the small sizes get bolder lines instead of fading away. Standard library
only; run from anywhere, the PNGs are written next to this script.
"""

import math
import os
import struct
import zlib

kDesign = 256.0
kSamples = 4
kSizes = (16, 32, 48, 256)

kPageFill = (255, 255, 255, 255)
kPageEdge = (138, 148, 160, 255)
kLineDark = (110, 118, 128, 255)
kLineLight = (168, 175, 184, 255)
kGlass = (178, 221, 247, 235)
kGlint = (255, 255, 255, 200)
kRim = (38, 52, 68, 255)
kHandle = (38, 52, 68, 255)
kHalo = (255, 255, 255, 110)


def stroke(units, minPixels, size):
    """Width in design units, widened so it covers at least minPixels."""
    return max(units, minPixels * kDesign / size)


# Signed distance functions: negative inside, positive outside.
def sdCircle(px, py, cx, cy, r):
    return math.hypot(px - cx, py - cy) - r


def sdRing(px, py, cx, cy, r, width):
    return abs(math.hypot(px - cx, py - cy) - r) - width / 2.0


def sdCapsule(px, py, ax, ay, bx, by, r):
    dx, dy = bx - ax, by - ay
    t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)
    t = min(1.0, max(0.0, t))
    return math.hypot(px - ax - t * dx, py - ay - t * dy) - r


def sdRoundRect(px, py, x0, y0, x1, y1, r):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    qx = abs(px - cx) - ((x1 - x0) / 2.0 - r)
    qy = abs(py - cy) - ((y1 - y0) / 2.0 - r)
    outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
    return outside + min(max(qx, qy), 0.0) - r


def sdArc(px, py, cx, cy, r, width, a0, a1):
    """Ring segment between angles a0..a1 (radians, y down), round ends."""
    ang = math.atan2(py - cy, px - cx)
    if a0 <= ang <= a1:
        return abs(math.hypot(px - cx, py - cy) - r) - width / 2.0
    ends = ((cx + r * math.cos(a), cy + r * math.sin(a)) for a in (a0, a1))
    return min(math.hypot(px - ex, py - ey) for ex, ey in ends) - width / 2.0


def snap(v, size):
    """Move a coordinate onto the nearest pixel edge, so small sizes stay crisp."""
    if size >= kDesign:
        return v
    step = kDesign / size
    return round(v / step) * step


def magnifier(cx, cy, lensRadius, rimUnits, rimMinPixels, handleUnits, handleEnd, size,
              halo=False):
    """Layers of a magnifying glass: glass, glint, rim and diagonal handle.

    With halo, a faint light outline keeps the dark shape readable on dark panels.
    """
    cx, cy = snap(cx, size), snap(cy, size)
    rim = stroke(rimUnits, rimMinPixels if size <= 16 else 1.3, size)
    handle = stroke(handleUnits, 3.2 if size <= 16 else 2.4, size)
    glassR = lensRadius - rim / 2.0
    diag = math.sqrt(0.5)
    hx0 = cx + diag * (lensRadius + rim / 2.0 - 2.0)
    hy0 = cy + diag * (lensRadius + rim / 2.0 - 2.0)
    layers = []
    if halo:
        pad = kDesign / size
        layers.append((kHalo, lambda x, y: min(
            sdCircle(x, y, cx, cy, lensRadius + rim / 2.0 + pad),
            sdCapsule(x, y, cx, cy, handleEnd, handleEnd, handle / 2.0 + pad))))
    layers.append((kGlass, lambda x, y: sdCircle(x, y, cx, cy, glassR + 1.0)))
    if size >= 32:
        glintR = lensRadius * 0.62
        glintW = stroke(lensRadius * 0.14, 1.0, size)
        layers.append((kGlint, lambda x, y: sdArc(x, y, cx, cy, glintR, glintW,
                                                   math.radians(-165), math.radians(-110))))
    layers.append((kRim, lambda x, y: sdRing(x, y, cx, cy, lensRadius, rim)))
    # A short neck joins the rim to the thicker grip.
    neck = rim * 0.9
    layers.append((kHandle, lambda x, y: sdCapsule(x, y, hx0 - diag * rim, hy0 - diag * rim,
                                                    handleEnd, handleEnd, neck / 2.0)))
    gx, gy = hx0 + diag * handle * 0.35, hy0 + diag * handle * 0.35
    layers.append((kHandle, lambda x, y: sdCapsule(x, y, gx, gy, handleEnd, handleEnd,
                                                    handle / 2.0)))
    return layers


def resultLine(y, x0, x1, width, size):
    """A grey text line whose top and bottom sit on pixel edges at small sizes."""
    top, bottom = snap(y - width / 2.0, size), snap(y + width / 2.0, size)
    if bottom <= top:
        bottom = top + kDesign / size
    left, right = snap(x0, size), snap(x1, size)
    radius = (bottom - top) / 2.0 if size >= 48 else 0.0
    return lambda x, yy: sdRoundRect(x, yy, left, top, right, bottom, radius)


def programLayers(size):
    """Icon 128: a white result page with a magnifier over its lower right."""
    edge = stroke(5.0, 1.0, size)
    lineW = stroke(11.0, 1.0, size)
    x0, y0, x1, y1 = snap(24, size), snap(10, size), snap(184, size), snap(228, size)
    layers = [
        (kPageEdge, lambda x, y: sdRoundRect(x, y, x0, y0, x1, y1, 20)),
        (kPageFill, lambda x, y: sdRoundRect(x, y, x0 + edge, y0 + edge,
                                             x1 - edge, y1 - edge, max(20 - edge, 2))),
    ]
    if size <= 16:
        rows = ((56, 152, kLineDark), (88, 136, kLineLight), (120, 72, kLineLight))
    elif size <= 32:
        rows = ((48, 152, kLineDark), (72, 128, kLineLight), (96, 104, kLineLight),
                (136, 152, kLineDark), (160, 80, kLineLight))
    else:
        rows = ((46, 150, kLineDark), (70, 130, kLineLight), (94, 108, kLineLight),
                (130, 150, kLineDark), (154, 80, kLineLight), (190, 70, kLineLight))
    for rowY, rowEnd, colour in rows:
        layers.append((colour, resultLine(rowY, 48, rowEnd, lineW, size)))
    layers += magnifier(148, 146, 54, 15, 1.5, 26, 236, size)
    return layers


def trayLayers(size):
    """Icon 141: the magnifier alone, filling the square."""
    return magnifier(100, 100, 74, 22, 2.0, 38, 226, size, halo=True)


def render(layers, size):
    """Composite the layers per subsample and average to straight RGBA."""
    scale = kDesign / size
    offsets = [(i + 0.5) / kSamples for i in range(kSamples)]
    count = kSamples * kSamples
    rows = []
    for py in range(size):
        row = bytearray()
        for px in range(size):
            accR = accG = accB = accA = 0.0
            for oy in offsets:
                y = (py + oy) * scale
                for ox in offsets:
                    x = (px + ox) * scale
                    r = g = b = a = 0.0
                    for colour, sdf in layers:
                        if sdf(x, y) <= 0.0:
                            ca = colour[3] / 255.0
                            r = colour[0] * ca + r * (1.0 - ca)
                            g = colour[1] * ca + g * (1.0 - ca)
                            b = colour[2] * ca + b * (1.0 - ca)
                            a = ca + a * (1.0 - ca)
                    accR += r
                    accG += g
                    accB += b
                    accA += a
            alpha = accA / count
            if alpha <= 0.0:
                row += b"\0\0\0\0"
                continue
            # Premultiplied sums divided by total alpha give the straight colour.
            row += bytes((min(255, round(accR / accA)), min(255, round(accG / accA)),
                          min(255, round(accB / accA)), min(255, round(alpha * 255.0))))
        rows.append(bytes(row))
    return rows


def pngChunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def writePng(path, rows, size):
    raw = b"".join(b"\0" + row for row in rows)
    header = struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)
    data = (b"\x89PNG\r\n\x1a\n" + pngChunk(b"IHDR", header)
            + pngChunk(b"IDAT", zlib.compress(raw, 9)) + pngChunk(b"IEND", b""))
    with open(path, "wb") as out:
        out.write(data)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for name, build in (("program", programLayers), ("tray", trayLayers)):
        for size in kSizes:
            path = os.path.join(here, "%s_%d.png" % (name, size))
            writePng(path, render(build(size), size), size)
            print(path)


if __name__ == "__main__":
    main()
