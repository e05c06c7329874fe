#!/usr/bin/env python3
"""Opens the expected HTML certificates in headless Chromium, the way an auditor would.

For each certificate: the DOM that Chromium builds is checked (UTF-8 decoded, 24 table
rows, badge text, notes shown as text and not as markup, hash box, three signature
boxes, nothing external), and a screenshot is taken and decoded to confirm the badge is
painted in its status colour. Screenshots stay in OUT_DIR for people to look at.
Usage: check_html_chromium.py CHROMIUM GOLDEN_DIR OUT_DIR
"""
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib
from html.parser import HTMLParser
from pathlib import Path

FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
         "--disable-background-networking", "--disable-component-update", "--disable-sync",
         "--hide-scrollbars", "--window-size=1100,1900"]

CASES = {
    "completed_real": {"badge": "COMPLETED & VERIFIED (完全消去済)", "colour": (0x10, 0xB9, 0x81),
                       "notes": '返却前消去 <b>&"至急"'},
    "cancelled_sim": {"badge": "CANCELLED (中断)", "colour": (0xF5, 0x9E, 0x0B), "notes": "-"},
    "skipped_real": {"badge": "COMPLETED - NOT VERIFIED (消去完了・検証なし)", "colour": (0xFA, 0xCC, 0x15),
                     "notes": "-"},
}
OTHER_BADGE_COLOURS = {(0x10, 0xB9, 0x81), (0xF5, 0x9E, 0x0B), (0xEF, 0x44, 0x44), (0xFA, 0xCC, 0x15),
                       (0x94, 0xA3, 0xB8)}

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


class Dom(HTMLParser):
    """Collects the element structure and text that the checks need."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags = []
        self.stack = []
        self.texts = {}  # class name or tag -> list of texts
        self.current = []
        self.rows = []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append((tag, attrs))
        key = attrs.get("class") or tag
        self.stack.append((tag, key, len(self.current)))
        if tag == "tr":
            self.rows.append([])

    def handle_endtag(self, tag):
        while self.stack:
            open_tag, key, start = self.stack.pop()
            text = "".join(self.current[start:])
            self.texts.setdefault(key, []).append(text)
            if open_tag in ("th", "td") and self.rows:
                self.rows[-1].append(text)
            if open_tag == tag:
                break

    def handle_data(self, data):
        self.current.append(data)


def run_chromium(chromium, profile, *args):
    return subprocess.run([chromium, *FLAGS, f"--user-data-dir={profile}", *args],
                          capture_output=True, timeout=120)


def decode_png(data):
    """Returns (width, height, rows of RGB tuples) for 8-bit RGB/RGBA non-interlaced PNGs."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, header = 8, b"", None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    width, height, depth, colour_type, _, _, interlace = header
    assert depth == 8 and colour_type in (2, 6) and interlace == 0, header
    bpp = 4 if colour_type == 6 else 3
    raw = zlib.decompress(idat)
    stride = width * bpp
    prev = bytearray(stride)
    pixels = []
    for y in range(height):
        f = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - bpp] if i >= bpp else 0
            b = prev[i]
            c = prev[i - bpp] if i >= bpp else 0
            if f == 1:
                line[i] = (line[i] + a) & 255
            elif f == 2:
                line[i] = (line[i] + b) & 255
            elif f == 3:
                line[i] = (line[i] + ((a + b) >> 1)) & 255
            elif f == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[i] = (line[i] + pred) & 255
        pixels.append([tuple(line[x * bpp:x * bpp + 3]) for x in range(width)])
        prev = line
    return width, height, pixels


def check_certificate(chromium, profile, html, shot, case, name):
    url = html.resolve().as_uri()
    dump = run_chromium(chromium, profile, "--dump-dom", url)
    check(dump.returncode == 0, f"{name}: chromium --dump-dom exit {dump.returncode}")
    dom = Dom()
    dom.feed(dump.stdout.decode("utf-8"))
    tags = [t for t, _ in dom.tags]
    check(("html", {"lang": "ja"}) in dom.tags, f"{name}: html lang ja")
    check(dom.texts.get("title", [""])[0].startswith("Certificate of Data Erasure - ZOLT-"), f"{name}: title")
    h1 = dom.texts.get("h1", [""])[0]
    check(h1 == "MORVANE DISK ERASER - データ完全消去＆実機ハードウェア証明書",
          f"{name}: Japanese heading decoded as UTF-8: {h1!r}")
    check(dom.texts.get("badge") == [case["badge"]], f"{name}: badge {dom.texts.get('badge')}")
    check(len(dom.rows) == 24 and all(len(r) == 2 for r in dom.rows), f"{name}: {len(dom.rows)} rows")
    check(dom.rows[7] == ["Notes (備考)", case["notes"]], f"{name}: notes row {dom.rows[7] if len(dom.rows) > 7 else None}")
    check("b" not in tags, f"{name}: notes became markup")
    for banned in ("script", "img", "link", "iframe", "object"):
        check(banned not in tags, f"{name}: <{banned}> present")
    hash_box = dom.texts.get("hash-box", [""])[0]
    check(hash_box.startswith("SHA-256: ") and len(hash_box) == 9 + 64, f"{name}: hash box {hash_box!r}")
    check(len(dom.texts.get("sign-box", [])) == 3, f"{name}: signature boxes")
    check(dom.texts.get("sign-box", [""])[-1] == "確認日 (Date): ____年____月____日", f"{name}: date box")

    shot.unlink(missing_ok=True)
    result = run_chromium(chromium, profile, f"--screenshot={shot}", url)
    check(result.returncode == 0 and shot.exists(), f"{name}: screenshot failed")
    if not shot.exists():
        return
    _, _, pixels = decode_png(shot.read_bytes())
    counts = {}
    for row in pixels:
        for p in row:
            if p in OTHER_BADGE_COLOURS:
                counts[p] = counts.get(p, 0) + 1
    painted = counts.get(case["colour"], 0)
    check(painted > 3000, f"{name}: badge colour {case['colour']} painted on {painted} pixels")
    for colour, n in counts.items():
        check(colour == case["colour"] or n < 50, f"{name}: foreign badge colour {colour} on {n} pixels")
    print(f"{name}: {len(dom.rows)} rows, badge {painted} px, screenshot {shot}")


def main():
    chromium, golden, out = sys.argv[1], Path(sys.argv[2]), Path(sys.argv[3])
    out.mkdir(parents=True, exist_ok=True)
    profile = tempfile.mkdtemp(prefix="morvane-chromium-")
    try:
        for stem, case in CASES.items():
            check_certificate(chromium, profile, golden / f"{stem}_Certificate.html",
                              out / f"{stem}_Certificate.png", case, stem)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    for f in failures:
        print("FAIL:", f)
    print(f"{len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
