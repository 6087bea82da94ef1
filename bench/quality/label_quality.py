#!/usr/bin/env python3
# Halftone quality benchmark: draws a label of 1-D codes, QR and Data Matrix symbols at several
# module sizes, small text and a photo-like picture on white, 15 % and 30 % gray, rasterizes it
# with Ghostscript, prints it through the filter with every Halftone code and measures the 1-bit
# result: codes decoded (zbarimg, dmtxread), bar-width error in dots and the picture's tone error.
# Usage: label_quality.py FILTER PPD_DIR WORK_DIR [CODES]   (run by bench/quality/run.sh)
import math
import os
import re
import subprocess
import sys

FILTER, PPD_DIR, WORK = sys.argv[1], sys.argv[2], sys.argv[3]
CODES = [int(c) for c in (sys.argv[4] if len(sys.argv) > 4 else "1,2,3,4,5,6,7,8,9,10,11").split(",")]
NAMES = {1: "Threshold", 2: "FloydSteinberg", 3: "Ordered16", 4: "Adaptive", 5: "Ordered40",
         6: "Stucki", 7: "Ordered15", 8: "Bayer4", 9: "Clustered", 10: "Bayer4Fine", 11: "Auto"}
LABEL_MM = (100.0, 180.0)
BACKGROUNDS = {"white": 255, "gray15": 217, "gray30": 178}
# (raster dpi, printer dpi): a 203 dpi printer fed at its own resolution and from 300 dpi
# rasters (shrunk by the filter), and a 300 dpi printer.
SETUPS = [(203, 203), (300, 203), (300, 300)]
MM = 72 / 25.4


def mm_of_dots(dots):  # module sizes are given in dots of a 203 dpi printer
    return dots * 25.4 / 203


def run(cmd, **kw):
    return subprocess.run(cmd, check=False, capture_output=True, **kw)


def bar_widths(symbology, data):
    eps = run(["barcode", "-E", "-n", "-e", symbology, "-b", data]).stdout.decode()
    digits = re.search(r"space first\):\n% (\S+)", eps).group(1)
    return [int(c) if c.isdigit() else ord(c) - ord("a") + 1 for c in digits]


def qr_modules(data):
    eps = run(["qrencode", "-t", "EPS", "-s", "1", "-m", "0", "-o", "-", data]).stdout.decode()
    n = int(re.search(r"BoundingBox: 0 0 (\d+)", eps).group(1))
    cells = {(int(x), n - 1 - int(y)) for x, y in re.findall(r"(\d+) (\d+) p", eps.split("1 1 scale")[1])}
    return n, cells


def dm_modules(data):
    art = run(["dmtxwrite", "-d", "1", "-m", "1", "-p"], input=data.encode()).stdout.decode()
    rows = [r for r in art.split("\n") if "X" in r]
    indent = min(len(r) - len(r.lstrip()) for r in rows)
    rows = [r[indent:] for r in rows]
    cells = {(i // 2, j) for j, r in enumerate(rows) for i in range(0, len(r), 2) if r[i] == "X"}
    return max(x for x, _ in cells) + 1, len(rows), cells


def photo_samples(w, h):
    # A smooth scene: a sky gradient, a shaded sphere and a soft shadow, levels 25 to 235.
    out = []
    for j in range(h):
        for i in range(w):
            v = 200 - 120 * j / h + 25 * math.sin(i / 9.0)
            dx, dy = (i - w * 0.6) / (h * 0.35), (j - h * 0.5) / (h * 0.35)
            if dx * dx + dy * dy < 1:
                v = 40 + 190 * max(0.0, 0.6 - 0.5 * dx - 0.5 * dy) ** 0.8
            v -= 50 * math.exp(-((i - w * 0.25) ** 2 + (j - h * 0.8) ** 2) / (2 * (h * 0.15) ** 2))
            out.append(max(25, min(235, int(v))))
    return out


def layout():
    """Symbols as (kind, payload, module dots, x mm, y mm, width mm, height mm, drawing)."""
    items, x, y, row_h = [], 4.0, 4.0, 0.0
    specs = [("code128", "QEV-12345", d) for d in (2, 3, 4)] + \
            [("code39", "QEV123", d) for d in (2, 3)] + \
            [("ean13", "590123412345", d) for d in (2, 3)] + \
            [("qr", "https://qev.example/42", d) for d in (3, 4, 6)] + \
            [("datamatrix", "LBL-123456", d) for d in (3, 4, 6)]
    for kind, payload, dots in specs:
        X = mm_of_dots(dots)
        if kind in ("qr", "datamatrix"):
            if kind == "qr":
                n, cells = qr_modules(payload)
                nw = nh = n
                quiet = 4
            else:
                nw, nh, cells = dm_modules(payload)
                quiet = 2
            w, h = nw * X, nh * X
            draw = "".join(f"{cx * X:.3f} {(h - (cy + 1) * X):.3f} {X:.3f} {X:.3f} rectfill\n"
                           for cx, cy in sorted(cells))
        else:
            widths = bar_widths(kind, payload)
            quiet, pos, draw = 10, 0.0, ""
            for k, wd in enumerate(widths):
                if k % 2 == 1:
                    draw += f"{pos * X:.3f} 0 {wd * X:.3f} 10 rectfill\n"
                pos += wd
            w, h = pos * X, 10.0
        box_w = w + 2 * quiet * X
        if x + box_w > LABEL_MM[0] - 2:
            x, y, row_h = 4.0, y + row_h + 3.0, 0.0
        items.append(dict(kind=kind, payload=payload, dots=dots, quiet=quiet * X,
                          x=x + quiet * X, y=y + quiet * X, w=w, h=h, draw=draw))
        x += box_w + 1.0
        row_h = max(row_h, h + 2 * quiet * X)
    photo = dict(x=4.0, y=y + row_h + 4.0, w=48.0, h=36.0)
    text = dict(x=56.0, y=photo["y"])
    return items, photo, text


def write_ps(path, bg, items, photo, text):
    W, H = LABEL_MM
    with open(path, "w") as f:
        f.write(f"%!PS\n<< /PageSize [{W * MM:.2f} {H * MM:.2f}] >> setpagedevice\n")
        f.write(f"{bg / 255:.4f} setgray 0 0 {W * MM:.2f} {H * MM:.2f} rectfill 0 setgray\n")
        for it in items:  # y counted from the top of the label, PostScript from the bottom
            f.write(f"gsave {MM:.5f} dup scale {it['x']:.3f} {H - it['y'] - it['h']:.3f} translate\n")
            f.write(it["draw"] + "grestore\n")
        pw, ph = 192, 144
        data = "".join(f"{v:02x}" for v in photo_samples(pw, ph))
        f.write(f"gsave {MM:.5f} dup scale {photo['x']} {H - photo['y'] - photo['h']} translate "
                f"{photo['w']} {photo['h']} scale\n")
        f.write(f"<< /ImageType 1 /Width {pw} /Height {ph} /BitsPerComponent 8 /Decode [0 1] "
                f"/ImageMatrix [{pw} 0 0 -{ph} 0 {ph}] /Interpolate true "
                f"/DataSource currentfile /ASCIIHexDecode filter >> /DeviceGray setcolorspace image\n")
        f.write(data + ">\ngrestore\n")
        f.write("/Helvetica findfont 6 scalefont setfont\n")
        for k, line in enumerate(["SHIP TO: QEV LABS, 12 RUE DU PORT", "0123456789 ABCDEFGHIJ",
                                  "small text 6 pt, 2.1 mm caps"]):
            f.write(f"{text['x'] * MM:.2f} {(H - text['y'] - 4 - 4 * k) * MM:.2f} moveto ({line}) show\n")
        f.write("showpage\n")


def gs(ps, dpi, device, out, extra=()):
    W, H = LABEL_MM
    g = f"-g{int(W * dpi / 25.4 + 0.5)}x{int(H * dpi / 25.4 + 0.5)}"
    r = run(["gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", f"-sDEVICE={device}", f"-r{dpi}", g,
             "-dGraphicsAlphaBits=4", "-dTextAlphaBits=4", "-dFIXEDMEDIA", *extra,
             f"-sOutputFile={out}", ps])
    if r.returncode:
        sys.exit(f"gs failed: {r.stderr.decode()}")


def read_pgm(path):
    with open(path, "rb") as f:
        blob = f.read()
    fields = re.sub(rb"#[^\n]*\n", b"", blob[:200]).split()  # Ghostscript writes a comment
    w, h = int(fields[1]), int(fields[2])
    return w, h, blob[-w * h:]


def print_label(raster, ppd, code):
    env = dict(os.environ, PPD=ppd)
    r = run([FILTER, "1", "bench", "quality", "1", f"Halftone={NAMES[code]}", raster], env=env)
    m = re.search(rb"BITMAP (\d+),(\d+),(\d+),(\d+),(\d+),", r.stdout)
    if not m:
        return None
    x0, y0, wb, h = (int(m.group(i)) for i in range(1, 5))
    data = r.stdout[m.end():m.end() + wb * h]
    # One bit a dot, most significant first; a cleared bit prints.
    rows = [bytes(0 if (data[j * wb + i // 8] >> (7 - i % 8)) & 1 == 0 else 255
                  for i in range(wb * 8)) for j in range(h)]
    return x0, y0, wb * 8, rows


def crop_pgm(path, label, x, y, w, h):
    x0, y0, lw, rows = label
    with open(path, "wb") as f:
        f.write(b"P5 %d %d 255\n" % (w, h))
        for j in range(y, y + h):
            r = rows[j - y0] if 0 <= j - y0 < len(rows) else b""
            f.write(bytes(r[i - x0] if 0 <= i - x0 < lw else 255 for i in range(x, x + w)))


def decoded(kind, path):
    if kind == "datamatrix":
        r = run(["dmtxread", "-N", "1", "-m", "3000", path], timeout=30)
        return r.stdout.decode().strip()
    r = run(["zbarimg", "-q", "--raw", path], timeout=30)
    return r.stdout.decode().strip().split("\n")[0]


def runs(row, dark):
    out, n = [], 0
    for v in row:
        if dark(v):
            n += 1
        elif n:
            out.append(n)
            n = 0
    return out + ([n] if n else [])


def measure(label, ref, dpi, items, photo, bg, tag):
    """Returns (codes read, codes, bar-width errors, tone error)."""
    rw, rh, rpix = ref
    px = lambda mm: int(mm * dpi / 25.4 + 0.5)
    x0, y0, lw, rows = label
    out_at = lambda x, y: rows[y - y0][x - x0] if 0 <= y - y0 < len(rows) and 0 <= x - x0 < lw else 255
    read, errors = 0, []
    for k, it in enumerate(items):
        q = it["quiet"]
        path = os.path.join(WORK, f"{tag}-{k}.pgm")
        crop_pgm(path, label, px(it["x"] - q), px(it["y"] - q), px(it["w"] + 2 * q), px(it["h"] + 2 * q))
        got = decoded(it["kind"], path)
        payload = it["payload"]
        # barcode adds the check character of Code 39 and EAN-13 to the payload
        ok = got == payload or (it["kind"] in ("ean13", "code39") and got[:-1] == payload)
        read += ok
        if it["kind"] in ("qr", "datamatrix"):
            continue
        xa, xb = px(it["x"]) - 2, px(it["x"] + it["w"]) + 2
        for y in range(px(it["y"] + 2), px(it["y"] + 8), 3):
            want = runs(rpix[y * rw + xa:y * rw + xb], lambda v: v < bg / 2)
            have = runs([out_at(x, y) for x in range(xa, xb)], lambda v: v == 0)
            if len(want) == len(have):
                errors.append(sum(abs(a - b) for a, b in zip(want, have)) / len(want))
            else:
                errors.append(None)
    # Tone of the picture: 8 x 8 blocks of the reference against the printed share of white.
    tone, n = 0.0, 0
    for by in range(px(photo["y"]) + 1, px(photo["y"] + photo["h"]) - 9, 8):
        for bx in range(px(photo["x"]) + 1, px(photo["x"] + photo["w"]) - 9, 8):
            src = sum(rpix[(by + j) * rw + bx + i] for j in range(8) for i in range(8)) / 64
            got = sum(out_at(bx + i, by + j) for j in range(8) for i in range(8)) / 64
            tone += abs(src - got)
            n += 1
    return read, len(items), errors, tone / n


def main():
    os.makedirs(WORK, exist_ok=True)
    items, photo, text = layout()
    results = {}
    for bg_name, bg in BACKGROUNDS.items():
        ps = os.path.join(WORK, f"label-{bg_name}.ps")
        write_ps(ps, bg, items, photo, text)
        for raster_dpi, printer_dpi in SETUPS:
            raster = os.path.join(WORK, f"label-{bg_name}-{raster_dpi}.ras")
            if not os.path.exists(raster):
                gs(ps, raster_dpi, "cups", raster,
                   ["-dcupsColorSpace=1", "-dcupsBitsPerColor=8", "-dcupsColorOrder=0"])
            refpath = os.path.join(WORK, f"ref-{bg_name}-{printer_dpi}.pgm")
            if not os.path.exists(refpath):
                gs(ps, printer_dpi, "pgmraw", refpath)
            ref = read_pgm(refpath)
            ppd = os.path.join(PPD_DIR, f"qevcp-tspl-4in-{printer_dpi}dpi.ppd")
            for code in CODES:
                label = print_label(raster, ppd, code)
                tag = f"{bg_name}-{raster_dpi}-{printer_dpi}-{code}"
                if label is None:
                    results[(code, bg_name, raster_dpi, printer_dpi)] = (0, len(items), [None], float("nan"))
                    continue
                results[(code, bg_name, raster_dpi, printer_dpi)] = measure(
                    label, ref, printer_dpi, items, photo, bg, tag)
                if code == 11 and bg_name == "gray15" and raster_dpi == printer_dpi == 203:
                    crop_pgm(os.path.join(WORK, "auto-preview.pgm"), label, 0, 0, label[2], len(label[3]))
                r = results[(code, bg_name, raster_dpi, printer_dpi)]
                print(f"# {tag}: read {r[0]}/{r[1]} tone {r[3]:.1f}", file=sys.stderr, flush=True)
    report(results, len(items))


def report(results, n_items):
    print("| Halftone | code | read on white | read on 15 % | read on 30 % | bar-width error (dots) | "
          "photo tone error (0-255) |")
    print("|---|---|---|---|---|---|---|")
    for code in CODES:
        cells = []
        for bg_name in BACKGROUNDS:
            read = sum(results[(code, bg_name, r, p)][0] for r, p in SETUPS)
            cells.append(f"{read}/{n_items * len(SETUPS)}")
        errs = [e for k, v in results.items() if k[0] == code for e in v[2]]
        good = [e for e in errs if e is not None]
        bar = f"{sum(good) / len(good):.2f}" if good else "-"
        if len(good) < len(errs):
            bar += f" ({len(errs) - len(good)}/{len(errs)} rows lost bars)"
        tones = [v[3] for k, v in results.items() if k[0] == code]
        print(f"| {NAMES[code]} | {code} | " + " | ".join(cells) +
              f" | {bar} | {sum(tones) / len(tones):.1f} |")


if __name__ == "__main__":
    main()
