#!/usr/bin/env python3
"""Draws Kalvora's two icons as PNG files (standard library only).

kalvora.png  the program icon: a calculator face with a display line and
             a keypad whose keys at prime positions are lit.
sieve.png    the second icon of the version box: the numbers 1..49 on a
             7 x 7 grid, the primes among them as filled dots.

Run from this folder: python3 make_icons.py
"""
import struct
import zlib

SIZE = 256
SS = 3  # supersampling per axis


def png(path, pixels, size):
    raw = bytearray()
    for y in range(size):
        raw.append(0)
        for x in range(size):
            raw.extend(pixels[y * size + x])
    def chunk(kind, data):
        c = struct.pack(">I", len(data)) + kind + data
        return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0))
    data += chunk(b"IDAT", zlib.compress(bytes(raw), 9))
    data += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(data)


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def render(layers, size=SIZE):
    """layers: list of (shape, colour(x, y) -> (r, g, b, a)) painted in order."""
    pixels = []
    n = SS * SS
    for py in range(size):
        for px in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SS):
                for sx in range(SS):
                    x = px + (sx + 0.5) / SS
                    y = py + (sy + 0.5) / SS
                    r = g = b = a = 0.0
                    for shape, colour in layers:
                        if shape(x, y):
                            cr, cg, cb, ca = colour(x, y)
                            ca /= 255.0
                            r = cr * ca + r * (1 - ca)
                            g = cg * ca + g * (1 - ca)
                            b = cb * ca + b * (1 - ca)
                            a = ca + a * (1 - ca)
                    acc[0] += r
                    acc[1] += g
                    acc[2] += b
                    acc[3] += a
            a = acc[3] / n
            if a > 0:
                pixels.append(bytes([round(acc[0] / n / a), round(acc[1] / n / a),
                                     round(acc[2] / n / a), round(a * 255)]))
            else:
                pixels.append(b"\0\0\0\0")
    return pixels


def solid(r, g, b, a=255):
    return lambda x, y: (r, g, b, a)


def vertical(top, bottom, y0, y1):
    def colour(x, y):
        t = min(max((y - y0) / (y1 - y0), 0.0), 1.0)
        return tuple(round(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,)
    return colour


def is_prime(n):
    return n > 1 and all(n % d for d in range(2, int(n ** 0.5) + 1))


def program_icon():
    layers = [
        (rounded_rect(12, 8, 244, 248, 36), vertical((38, 70, 112), (20, 40, 72), 8, 248)),
        (rounded_rect(36, 30, 220, 86, 12), solid(206, 228, 214)),
        (rounded_rect(40, 34, 216, 82, 9), vertical((222, 240, 226), (190, 214, 198), 34, 82)),
    ]
    # Display digits: short bars on the right, like a number shown in an LCD.
    for i, h in enumerate((22, 22, 22)):
        x = 150 + i * 20
        layers.append((rounded_rect(x, 47, x + 12, 47 + h, 3), solid(32, 58, 52)))
    # Keypad: 4 x 4 keys numbered 1..16 row by row; prime keys glow amber.
    for row in range(4):
        for col in range(4):
            n = row * 4 + col + 1
            x0 = 36 + col * 48
            y0 = 104 + row * 36
            colour = solid(246, 176, 58) if is_prime(n) else solid(92, 122, 164)
            layers.append((rounded_rect(x0, y0, x0 + 40, y0 + 28, 7), colour))
    return render(layers)


def sieve_icon():
    layers = [(rounded_rect(8, 8, 248, 248, 40), vertical((250, 246, 232), (232, 222, 196), 8, 248))]
    for row in range(7):
        for col in range(7):
            n = row * 7 + col + 1
            cx = 38 + col * 30
            cy = 38 + row * 30
            if is_prime(n):
                layers.append((circle(cx, cy, 12.5), solid(176, 52, 40)))
            else:
                layers.append((circle(cx, cy, 5), solid(120, 110, 96)))
    return render(layers)


if __name__ == "__main__":
    png("kalvora.png", program_icon(), SIZE)
    png("sieve.png", sieve_icon(), SIZE)
