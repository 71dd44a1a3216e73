#!/usr/bin/env python3
"""Makes the damaged media of tests/scripts/damaged_media.files: small valid files of every kind
the runtime reads (images, sounds, a model, a movie), each also cut short at fixed
pseudo-random offsets, and empty. Run again only to change the corpus; its output is committed.

usage: make_truncated.py OUTDIR QUILLORANE    (the runtime encodes the JPEG)"""
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

here = os.path.dirname(os.path.abspath(__file__))
scripts = os.path.join(here, "..", "scripts")


def png(w, h):
    rows = b"".join(b"\0" + b"".join(bytes((x * 16 % 256, y * 16 % 256, 128, 255)) for x in range(w))
                    for y in range(h))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


def bmp(w, h):
    stride = (w * 3 + 3) & ~3
    pixels = b"".join(bytes((x * 16 % 256, y * 16 % 256, 64)) for y in range(h) for x in range(w))
    rows = b"".join(pixels[y * w * 3:(y + 1) * w * 3] + b"\0" * (stride - w * 3) for y in range(h))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(rows), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(rows), 2835, 2835, 0, 0)
    return header + info + rows


def main(out, runtime):
    os.makedirs(out, exist_ok=True)
    sources = {}
    sources["image.png"] = png(16, 12)
    sources["image.bmp"] = bmp(16, 12)
    with tempfile.TemporaryDirectory() as game:
        with open(os.path.join(game, "image.png"), "wb") as f:
            f.write(sources["image.png"])
        open(os.path.join(game, "setup.nut"), "w").close()
        with open(os.path.join(game, "start.nut"), "w") as f:
            f.write('Graphics.saveImage("image.jpg", Graphics.Image("image.png"));\n')
        subprocess.run([runtime, "--headless", "--frames", "1", game], check=True)
        with open(os.path.join(game, "image.jpg"), "rb") as f:
            sources["image.jpg"] = f.read()
    for name, path in (("sound.wav", "audio_api.files/se.wav"), ("sound.ogg", "audio_api.files/tone.ogg"),
                       ("model.mqo", "gfx3d_api.files/models/triangle.mqo"),
                       ("movie.avi", "gfx3d_api.files/movie.avi")):
        with open(os.path.join(scripts, path), "rb") as f:
            sources[name] = f.read()
    rng = random.Random(18)
    names = []
    for name, data in sorted(sources.items()):
        stem, ext = name.split(".")
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
        names.append(name)
        cuts = sorted(set([0] + [rng.randrange(1, len(data)) for _ in range(7)]))
        for cut in cuts:
            cutname = "%s_%d.%s" % (stem, cut, ext)
            with open(os.path.join(out, cutname), "wb") as f:
                f.write(data[:cut])
            names.append(cutname)
    # the list the test script walks, in this order
    with open(os.path.join(out, "files.txt"), "w") as f:
        f.write("".join(n + "\n" for n in names))


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
