#!/usr/bin/env python3
"""Writes the small pictures the decoding tests read. Run from this folder; needs ffmpeg.

quadrants.*: 32 x 16, top-left red, top-right green, bottom-left blue, bottom-right white.
exif6.jpg: quadrants.jpg with an EXIF block (orientation 6, DateTimeOriginal, DateTime) and a
JFIF density of 300 x 150 dots per inch. The HEIF pair (quadrants.heic, quadrants.avif) was made
with libvips' heifsave from quadrants.png, which ffmpeg cannot write.
"""
import struct, subprocess, zlib, os

W, H = 32, 16
RED, GREEN, BLUE, WHITE = (255, 0, 0), (0, 255, 0), (0, 0, 255), (255, 255, 255)


def quadrant(x, y):
    if y < H // 2:
        return RED if x < W // 2 else GREEN
    return BLUE if x < W // 2 else WHITE


def ppm(path, w, h, pixel):
    with open(path, "wb") as f:
        f.write(b"P6 %d %d 255\n" % (w, h))
        for y in range(h):
            for x in range(w):
                f.write(bytes(pixel(x, y)))


def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-hide_banner", "-loglevel", "error", "-y", *args], check=True)


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))


def png(path, w, h, rows, phys=None, bomb=False):
    body = chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    if phys:
        body += chunk(b"pHYs", struct.pack(">IIB", phys, phys, 1))
    raw = b"".join(b"\0" + bytes(sum(r, ())) for r in rows) if rows else b"\0" * 64
    body += chunk(b"IDAT", zlib.compress(raw))
    if not bomb:
        body += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + body)


def exif(orientation, original, changed):
    # Little-endian TIFF: IFD0 (orientation, DateTime, pointer to the EXIF IFD), EXIF IFD
    # (DateTimeOriginal), then the two texts.
    ifd0_at, entries0 = 8, 3
    exif_at = ifd0_at + 2 + entries0 * 12 + 4
    text_at = exif_at + 2 + 12 + 4
    t = b"II*\0" + struct.pack("<I", ifd0_at)
    t += struct.pack("<H", entries0)
    t += struct.pack("<HHIHH", 0x0112, 3, 1, orientation, 0)
    t += struct.pack("<HHII", 0x0132, 2, 20, text_at + 20)
    t += struct.pack("<HHII", 0x8769, 4, 1, exif_at)
    t += struct.pack("<I", 0)
    t += struct.pack("<H", 1) + struct.pack("<HHII", 0x9003, 2, 20, text_at) + struct.pack("<I", 0)
    t += original.encode() + b"\0" + changed.encode() + b"\0"
    payload = b"Exif\0\0" + t
    return b"\xff\xe1" + struct.pack(">H", len(payload) + 2) + payload


def main():
    ppm("q.ppm", W, H, quadrant)
    ffmpeg("-i", "q.ppm", "-pix_fmt", "yuvj444p", "-q:v", "1", "quadrants.jpg")
    ffmpeg("-i", "q.ppm", "quadrants.png")
    ffmpeg("-i", "q.ppm", "-pix_fmt", "bgr24", "quadrants.bmp")
    ffmpeg("-i", "q.ppm", "-compression_algo", "lzw", "quadrants.tif")
    ffmpeg("-i", "q.ppm", "-c:v", "libwebp", "-lossless", "1", "quadrants.webp")
    for i, colour in enumerate((RED, GREEN, BLUE)):
        ppm("f%d.ppm" % i, 8, 8, lambda x, y, c=colour: c)
    ffmpeg("-framerate", "5", "-i", "f%d.ppm", "-pix_fmt", "rgb8", "-loop", "0", "anim3.gif")

    # ffmpeg writes a comment segment and no JFIF one; put a JFIF segment with a density there.
    jpeg = open("quadrants.jpg", "rb").read()
    assert jpeg[2:4] == b"\xff\xfe"
    rest = jpeg[4 + struct.unpack(">H", jpeg[4:6])[0]:]
    app0 = b"\xff\xe0" + struct.pack(">H", 16) + b"JFIF\0\x01\x02\x01" + struct.pack(">HH", 300, 150)
    app0 += b"\0\0"
    with open("exif6.jpg", "wb") as f:
        f.write(b"\xff\xd8" + app0 + exif(6, "2021:05:06 07:08:09", "2022:01:02 03:04:05") + rest)

    # 4 x 2: opaque red, half-transparent green, transparent, opaque grey; 72 dpi (2835 px/m).
    png("alpha.png", 4, 2, [[(255, 0, 0, 255), (0, 255, 0, 128), (0, 0, 0, 0), (9, 9, 9, 255)]] * 2,
        phys=2835)
    png("bomb.png", 30000, 30000, None, bomb=True)

    # Headers only: an enhanced and a placeable Windows metafile.
    emf = struct.pack("<II", 1, 108) + b"\0" * 32 + b" EMF" + b"\0" * 64
    open("header.emf", "wb").write(emf)
    open("header.wmf", "wb").write(b"\xd7\xcd\xc6\x9a" + b"\0" * 18 + b"\x01\x00\x09\x00\x00\x03")

    for name in ["q.ppm", "f0.ppm", "f1.ppm", "f2.ppm"]:
        os.remove(name)


if __name__ == "__main__":
    main()
