#!/usr/bin/env python3
"""The image files of this project against netpbm and Pillow, both ways,
pixel for pixel, on random images. Usage: crosscheck.py IMGCONV.
Exit 77 (skipped) when netpbm or Pillow is missing."""
import os
import random
import shutil
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    print("Pillow is missing: skipped")
    sys.exit(77)
for tool in ("pamtogif", "giftopnm", "ppmtobmp", "pamtowinicon", "winicontopam", "pbmtoxbm", "xbmtopbm",
             "pnmtoplainpnm", "pamtopnm"):
    if not shutil.which(tool):
        print(f"netpbm's {tool} is missing: skipped")
        sys.exit(77)

conv = sys.argv[1]
rng = random.Random(66)
work = tempfile.mkdtemp(prefix="crosscheck-")
failures = []
checks = 0


def path(name):
    return os.path.join(work, name)


def ours(src, dst):
    return subprocess.run([conv, path(src), path(dst)]).returncode == 0


def netpbm(cmd, src, dst):
    with open(path(src), "rb") as i, open(path(dst), "wb") as o:
        subprocess.run(cmd, stdin=i, stdout=o, stderr=subprocess.DEVNULL, check=True)


def rgb(name, box=None):
    im = Image.open(path(name))
    im.load()
    if box:
        im = im.crop(box)
    return list(im.convert("RGB").getdata())


def check(what, got, expected):
    global checks
    checks += 1
    if got != expected or not expected:
        failures.append(what)
        print("FAIL:", what)


def palette_image(w, h, colors):
    im = Image.new("P", (w, h))
    entries = rng.sample(range(1 << 24), colors)
    im.putpalette([c >> s & 0xFF for c in entries for s in (16, 8, 0)])
    im.putdata([rng.randrange(colors) for _ in range(w * h)])
    return im


def rgb_image(w, h):
    im = Image.new("RGB", (w, h))
    im.putdata([(rng.randrange(256), rng.randrange(256), rng.randrange(256)) for _ in range(w * h)])
    return im


def bits_image(w, h):
    im = Image.new("1", (w, h))
    im.putdata([rng.choice((0, 255)) for _ in range(w * h)])
    return im


# GIF: files of Pillow and pamtogif read by us; ours read by both.
for w, h, colors in ((37, 23, 256), (64, 9, 16), (5, 70, 2)):
    im = palette_image(w, h, colors)
    im.save(path("pil.gif"))
    check(f"Pillow GIF {w}x{h} read", ours("pil.gif", "ours.ppm") and rgb("ours.ppm"), rgb("pil.gif"))
    im.convert("RGB").save(path("src.ppm"))
    netpbm(["pamtogif"], "src.ppm", "netpbm.gif")
    check(f"pamtogif {w}x{h} read", ours("netpbm.gif", "ours.ppm") and rgb("ours.ppm"), rgb("src.ppm"))
    # Ours from an 8-bit bitmap: giftopnm and Pillow read it (Pillow's
    # size is the logical screen: compare the image's own rectangle).
    im.save(path("src.bmp"))
    ok = ours("src.bmp", "ours.gif")
    netpbm(["giftopnm"], "ours.gif", "back.ppm")
    check(f"our GIF {w}x{h} by giftopnm", ok and rgb("back.ppm"), rgb("src.ppm"))
    check(f"our GIF {w}x{h} by Pillow", rgb("ours.gif", (0, 0, w, h)), rgb("src.ppm"))

# Portable maps: Pillow's raw files read by us; all six of ours read back.
for w, h in ((13, 7), (1, 1), (70, 3)):
    color, gray, bits = rgb_image(w, h), rgb_image(w, h).convert("L"), bits_image(w, h)
    color.save(path("pil.ppm"))
    gray.save(path("pil.pgm"))
    bits.save(path("pil.pbm"))
    for src, kinds in (("pil.ppm", ("ppm", "p3")), ("pil.pgm", ("pgm", "p2")), ("pil.pbm", ("pbm", "p1"))):
        for kind in kinds:
            if not ours(src, "ours." + kind):
                check(f"{src} {w}x{h} read", False, True)
                continue
            name = "ours." + kind
            if kind.startswith("p") and kind[1:].isdigit():
                netpbm(["pamtopnm"], name, "raw.pnm")
                name = "raw.pnm"
            check(f"{src} {w}x{h} as {kind}", rgb(name), rgb(src))
    netpbm(["pnmtoplainpnm"], "pil.ppm", "plain.p3")
    check(f"plain P3 {w}x{h} read", ours("plain.p3", "ours.ppm") and rgb("ours.ppm"), rgb("pil.ppm"))
    netpbm(["pnmtoplainpnm"], "pil.pbm", "plain.p1")
    check(f"plain P1 {w}x{h} read", ours("plain.p1", "ours.pbm") and rgb("ours.pbm"), rgb("pil.pbm"))

# X bitmaps: pbmtoxbm's read by us, ours read by xbmtopbm (bits compared).
for w, h in ((10, 2), (16, 6), (33, 5)):
    bits = bits_image(w, h)
    bits.save(path("src.pbm"))
    netpbm(["pbmtoxbm"], "src.pbm", "netpbm.xbm")
    check(f"pbmtoxbm {w}x{h} read", ours("netpbm.xbm", "ours.pbm") and rgb("ours.pbm"), rgb("src.pbm"))
    ok = ours("src.pbm", "ours.xbm")
    netpbm(["xbmtopbm"], "ours.xbm", "back.pbm")
    check(f"our X bitmap {w}x{h} by xbmtopbm", ok and rgb("back.pbm"), rgb("src.pbm"))

# Bitmaps of 1, 4, 8 and 24 bits and the core header from ppmtobmp.
for bpp, colors in ((1, 2), (4, 16), (8, 200), (24, 0)):
    im = palette_image(21, 6, colors).convert("RGB") if colors else rgb_image(21, 6)
    im.save(path("src.ppm"))
    for extra in ([], ["-os2"]):
        netpbm(["ppmtobmp", f"-bpp={bpp}"] + extra, "src.ppm", "netpbm.bmp")
        check(f"ppmtobmp {bpp} {extra} read", ours("netpbm.bmp", "ours.ppm") and rgb("ours.ppm"), rgb("src.ppm"))
    ok = ours("netpbm.bmp", "ours.bmp")
    check(f"our {bpp}-bit bitmap by Pillow", ok and rgb("ours.bmp"), rgb("src.ppm"))

# Icons: pamtowinicon's read by us; ours read by winicontopam and Pillow.
for side, colors in ((32, 16), (16, 2)):
    im = palette_image(side, side, colors).convert("RGB")
    im.save(path("src.ppm"))
    netpbm(["pamtowinicon"], "src.ppm", "netpbm.ico")
    check(f"pamtowinicon {side} read", ours("netpbm.ico", "ours.ppm") and rgb("ours.ppm"), rgb("src.ppm"))
    ok = ours("netpbm.ico", "ours.ico")
    netpbm(["winicontopam"], "ours.ico", "back.pam")
    netpbm(["pamtopnm"], "back.pam", "back.ppm")
    check(f"our {side} icon by winicontopam", ok and rgb("back.ppm"), rgb("src.ppm"))
    check(f"our {side} icon by Pillow", rgb("ours.ico"), rgb("src.ppm"))

# Pillow's icons hold PNG or 8-bit entries: no image of ours.
palette_image(32, 32, 16).convert("RGB").save(path("pil.ico"))
checks += 1
if ours("pil.ico", "ours.ppm"):
    failures.append("Pillow icon read")
    print("FAIL: Pillow icon read")

shutil.rmtree(work)
print(f"crosscheck: {checks} checks, {len(failures)} failures")
sys.exit(1 if failures else 0)
