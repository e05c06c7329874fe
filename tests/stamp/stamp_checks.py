#!/usr/bin/env python3
"""Checks of the bootable report stamp with its real consumers: fsck.fat, mtools,
sfdisk and objdump read the image; SeaBIOS and OVMF (x64, ia32) boot it in QEMU.

  stamp_checks.py layout|bios|uefi-x64|uefi-ia32 --build DIR --source DIR

Images are written by the stamp_sample tool (the product's writer) under Wine into
a private temporary folder; nothing here touches a disk.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import glyph_screen  # noqa: E402
import qemu_boot  # noqa: E402

CERT = "MDE-20261023-0042-A1B2C3"
# The "japanese" sample's rows with text outside ASCII: row 12 has a character without
# a glyph (a box), row 19 is cut at the panel edge.
JAPANESE_ROWS = {3: "NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero) (1 Passes)",
                 5: "検査 太郎 / 情報システム部", 12: "総務-\U00020BB7田-07", 15: "76.60 GB HDD (内蔵ディスク)",
                 19: "Intel(R) イーサネット コネクション I219-V (52:54:00:12:34:56), Realtek PCIe GbE ファミリー "
                     "コントローラー (52:54:00:AB:CD:EF), Bluetooth デバイス (パーソナル エリア ネットワーク)"}
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message)
    return condition


def write_stamp(args, path, sector=512, variant="sample"):
    exe = os.path.join(args.build, "src", "stamp_sample.exe")
    wine_run = os.path.join(args.source, "cmake", "wine-run.sh")
    prefix = os.path.join(args.build, "wineprefix")
    target = "Z:" + os.path.abspath(path).replace("/", "\\")
    subprocess.run([wine_run, prefix, exe, target, str(sector), variant], check=True, timeout=120)
    with open(path, "rb") as f:
        return f.read()


def screen_text(image):
    return image[2656:image.index(b"\0", 2656)].decode("ascii")


def run(cmd, **kw):
    return subprocess.run(cmd, capture_output=True, text=True, timeout=60, **kw)


# ---------------------------------------------------------------- layout
def check_volume(path, image, more_files=()):
    """fsck.fat and mtools read the stamp's volume: clean, labelled, the programs at
    their fixed sizes, REPORT.TXT holding the screen text. Returns the mtools image spec."""
    volume = path + ".volume"
    with open(volume, "wb") as f:
        f.write(image[32768:])
    os.truncate(volume, 8192 * 512)  # the volume claims 8192 sectors
    fsck = run(["fsck.fat", "-n", "-v", volume])
    check(fsck.returncode == 0, "fsck.fat -n failed:\n" + fsck.stdout + fsck.stderr)

    at = "%s@@32768" % path
    listing = run(["mdir", "-i", at, "::/EFI/BOOT"]).stdout
    check("Volume in drive : is ZOLT_STAMP" in listing, "volume label missing:\n" + listing)
    report = screen_text(image)
    files = [("BOOTX64", "EFI", 10240), ("BOOTIA32", "EFI", 9216), ("REPORT", "TXT", len(report))]
    for name, ext, size in files + list(more_files):
        check(re.search(r"^%s\s+%s\s+%d " % (name, ext, size), listing, re.M) is not None,
              "%s.%s of %d bytes not listed:\n%s" % (name, ext, size, listing))
    typed = subprocess.run(["mtype", "-i", at, "::/EFI/BOOT/REPORT.TXT"], capture_output=True, timeout=60).stdout
    check(typed.decode("ascii") == report, "REPORT.TXT differs from the screen text")
    return at


def check_layout(args, work):
    images = {s: write_stamp(args, os.path.join(work, "s%d.img" % s), s) for s in (512, 4096, 0)}
    for sector, data in images.items():
        check(len(data) == 131072, "sector size %d: file is %d bytes" % (sector, len(data)))
    check(images[512] == images[4096] == images[0], "images differ between sector sizes")
    image = images[512]
    path = os.path.join(work, "s512.img")

    dump = run(["sfdisk", "--dump", path]).stdout
    check(re.search(r"start=\s*64, size=\s*8192, type=ef, bootable", dump) is not None,
          "sfdisk does not see one bootable EFI partition at 64+8192:\n" + dump)

    at = check_volume(path, image)
    check(len(screen_text(image).split("\r\n")) == 25, "screen text does not have 25 lines")

    check_glyph_layout(args, work)

    for name, fmt, magic in (("BOOTX64.EFI", "pei-x86-64", "020b"), ("BOOTIA32.EFI", "pei-i386", "010b")):
        out = os.path.join(work, name)
        run(["mcopy", "-n", "-i", at, "::/EFI/BOOT/" + name, out])
        objdump = run(["x86_64-w64-mingw32-objdump", "-p", out]).stdout
        check("file format " + fmt in objdump, name + " is not " + fmt)
        check(re.search(r"Magic\s+%s" % magic, objdump) is not None, name + " has the wrong optional-header magic")
        check(re.search(r"Subsystem\s+0000000a\s+\(EFI application\)", objdump) is not None,
              name + " is not an EFI application")
        with open(out, "rb") as f:
            efi = f.read()
        at_block = efi.find(b"ZOLT_EFI_STAMP_V2_MAGIC\0")
        check(at_block >= 0 and efi.count(b"ZOLT_EFI_STAMP_V2_MAGIC") == 1, name + ": not exactly one block")
        check(efi[at_block + 152 + 28:at_block + 152 + 28 + len(CERT) + 1] == CERT.encode() + b"\0",
              name + ": block not patched with the certificate ID")


def check_glyph_layout(args, work):
    """A stamp with Japanese text: still 128 KiB and a clean volume, now with
    GLYPHS.BIN holding the full row texts and an inked glyph for each character."""
    path = os.path.join(work, "ja.img")
    image = write_stamp(args, path, variant="japanese")
    check(len(image) == 131072, "Japanese stamp is %d bytes" % len(image))
    extent = glyph_screen.glyph_file_extent(image)
    if not check(extent is not None, "Japanese stamp without GLYPHS.BIN"):
        return
    at = check_volume(path, image, [("GLYPHS", "BIN", extent[1])])
    data = subprocess.run(["mtype", "-i", at, "::/EFI/BOOT/GLYPHS.BIN"], capture_output=True, timeout=60).stdout
    rows, glyphs = glyph_screen.read_glyph_file(data)
    for row, text in JAPANESE_ROWS.items():
        check(rows[row] == text, "glyph file row %d is %r, expected %r" % (row, rows[row], text))
    wanted = {ch for text in rows for ch in text if 0x80 <= ord(ch) < 0x10000}  # a pair gets no glyph
    check(set(glyphs) == wanted, "glyphs for %s, expected %s" % (sorted(glyphs), sorted(wanted)))
    blank = [ch for ch, (_, bits) in glyphs.items() if not any(bits)]
    check(blank == [], "blank glyphs rendered for %s" % blank)


# ---------------------------------------------------------------- BIOS
def check_bios(args, work):
    path = os.path.join(work, "s512.img")
    image = write_stamp(args, path)
    expected = screen_text(image).split("\r\n")
    want = [line.rstrip() for line in expected]

    def shows_report(screen):
        return screen.lines[24].startswith(" Status:")

    started = time.time()
    screen = qemu_boot.bios_screen(path, until=shows_report)
    print(screen.text())
    print("SeaBIOS screen read after %.1f s" % (time.time() - started))
    check(screen.lines == want, "BIOS screen differs from the screen text")
    for row in range(25):
        want_attr = 0x1F if row < 2 else (0x70 if row < 24 else 0x1E)
        check(all(a == want_attr for a in screen.attrs[row]),
              "row %d attributes %s, expected %02x" % (row, sorted(set(screen.attrs[row])), want_attr))
    check(screen.cursor_hidden, "cursor not hidden")

    # Extended read broken (start LBA beyond the disk): the CHS fallback loads stage 2.
    chs = bytearray(image)
    chs[72:80] = b"\xff\xff\xff\xff\0\0\0\0"
    chs_path = os.path.join(work, "chs.img")
    with open(chs_path, "wb") as f:
        f.write(chs)
    screen = qemu_boot.bios_screen(chs_path, until=shows_report)
    check(screen.lines == want, "CHS fallback did not show the report:\n" + screen.text())

    # LBA 5-12 unreadable (the disk ends after LBA 4): only the fallback line.
    short_path = os.path.join(work, "short.img")
    with open(short_path, "wb") as f:
        f.write(image[:2560])
    fallback = "[MORVANE DISK ERASER] SANITIZED & VERIFIED. Cert: " + CERT
    screen = qemu_boot.bios_screen(short_path, pad=False, until=lambda s: fallback in s.text())
    print(screen.text())
    check(fallback in screen.lines, "fallback line not shown:\n" + screen.text())
    check("Status:" not in screen.text(), "report shown although LBA 5-12 are unreadable")


# ---------------------------------------------------------------- UEFI
def load_font(source):
    """{16 rows: character} of the app's 8x16 font."""
    font = {}
    path = os.path.join(source, "src", "stamp", "boot", "efi_font.h")
    with open(path) as f:
        rows = re.findall(r"\{([^{}]*)\}, /\* 0x([0-9A-F]{2}) \*/", f.read())
    for body, code in rows:  # each stored row is drawn twice
        font[tuple(int(b, 16) for b in body.split(",") for _ in (0, 1))] = chr(int(code, 16))
    return font


def decode(pic, font, x, y, count, fg, scale=1):
    """Reads `count` character cells drawn at (x, y) back through the app's font."""
    text = ""
    for i in range(count):
        rows = []
        for r in range(16):
            bits = 0
            for c in range(8):
                px = x + (i * 8 + c) * scale
                if px < pic.width and pic.pixel(px, y + r * scale) == fg:
                    bits |= 0x80 >> c
            rows.append(bits)
        text += font.get(tuple(rows), "\x7f")
    return text


def gop_problems(pic, font, status="SANITIZED & VERIFIED"):
    """Layout, colours and fixed texts; only a verified record gets the green badge and
    the "permanently sanitized" footer."""
    verified = status == "SANITIZED & VERIFIED"
    badge = 0x10b981 if verified else 0xf59e0b
    w, h = pic.width, pic.height
    p = []
    points = [("background", w - 10, 90, 0xf1f5f9), ("header band", w // 2, 5, 0x0f172a),
              ("accent line", w // 2, 69, 0x0ea5e9), ("logo frame", 25, 15, 0x0ea5e9),
              ("logo square", 50, 28, 0x10b981), ("report panel frame", 24, 150, 0xcbd5e1),
              ("report panel", w - 30, 150, 0xffffff), ("hardware panel", w - 30, 400, 0xffffff)]
    if w >= 780:
        points.append(("badge", w - 230, 20, badge))
    if h >= 606:
        points.append(("footer band", w // 2, h - 3, 0x0f172a))
    for name, x, y, colour in points:
        if pic.pixel(x, y) != colour:
            p.append("%s at (%d,%d) is #%06x, expected #%06x" % (name, x, y, pic.pixel(x, y), colour))
    texts = [(78, 12, "MORVANE DISK ERASER", 0xffffff, 2),
             (38, 109, "Report / Cert ID  :", 0x334155, 1),
             (224, 109, CERT, 0x0f172a, 1),
             (224, 286 + 19 * 14, "SeaBIOS 1.16.2 (04/01/2014) | Standard SATA AHCI Controller", 0x0f172a, 1),
             (24, 259, "Target Machine Hardware Details", 0x0f172a, 1)]
    if w >= 780:
        texts.append((w - 216, 27, status, 0x0f172a, 1))
    if h >= 606:
        footer = "Status: Disk Permanently Sanitized" if verified else "Status: Bootable Report Stamp Active"
        texts.append((24, h - 22, footer, 0xbae6fd, 1))
    for x, y, want, fg, scale in texts:
        got = decode(pic, font, x, y, len(want), fg, scale)
        if got != want:
            p.append("text at (%d,%d) reads %r, expected %r" % (x, y, got, want))
    return p


FAIL_FAST = ("Shell> ", "No bootable device", "Boot Failed")


def boot_gop(arch, path, problems_of, work, keep_dir=None):
    """Boots with a display and waits until `problems_of(screenshot)` finds none."""
    with qemu_boot.Machine(path, arch, timeout=90) as m:
        problems = ["no screenshot taken"]
        while not m.expired() and m.alive():
            time.sleep(1.0)
            serial = m.serial_text()
            if any(s in serial for s in FAIL_FAST):
                return ["firmware did not start the application:\n" + serial[-800:]]
            pic = m.screendump(os.path.join(work, "gop.ppm"))
            problems = problems_of(pic)
            if not problems:
                print("%s: GOP report %dx%d verified after %.1f s" % (arch, pic.width, pic.height, m.elapsed()))
                if keep_dir is None:
                    return []
                keep = os.path.join(keep_dir, "%s.ppm" % arch)
                shutil.copyfile(os.path.join(work, "gop.ppm"), keep)
                print("screenshot kept at", keep)
                return []
        return problems


def boot_console(arch, path):
    wanted = ["MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT",
              "[Report Details]", "  Report / Cert ID  : " + CERT,
              "[Hardware Details]", "  BIOS / Storage    : SeaBIOS 1.16.2 (04/01/2014) | Standard SATA AHCI Controller"]
    with qemu_boot.Machine(path, arch, gop=False, timeout=90) as m:
        while not m.expired() and m.alive():
            time.sleep(1.0)
            serial = m.serial_text()
            if all(w in serial for w in wanted):
                print("%s: text-console report seen on the serial console after %.1f s" % (arch, m.elapsed()))
                return []
            if any(s in serial for s in FAIL_FAST):
                break
        serial = m.serial_text()
        return ["text-console form missing %s in:\n%s" % ([w for w in wanted if w not in serial], serial[-1500:])]


def boot_blank(arch, path):
    """A blank block makes the application return at once: the firmware then moves
    on to its next boot option (its own menu) without any report drawn."""
    moved_on = re.compile(r"starting Boot0001.*BdsDxe: (loading|starting) Boot(?!0001)", re.S)
    with qemu_boot.Machine(path, arch, gop=False, timeout=90) as m:
        while not m.expired() and m.alive():
            time.sleep(1.0)
            serial = m.serial_text()
            if moved_on.search(serial):
                print("%s: blank block returned to the firmware after %.1f s" % (arch, m.elapsed()))
                return [] if "MORVANE" not in serial else ["a report was shown despite the blank block"]
        return ["firmware did not continue after the blank application:\n" + m.serial_text()[-800:]]


def faulty_glyph_file(image, fault, status):
    """The image with its glyph file cut short or gone, and `status` in both programs'
    report blocks (as a record of an unverified run carries it)."""
    bad = bytearray(image)
    at = 32768
    while (at := bad.find(b"ZOLT_EFI_STAMP_V2_MAGIC\0", at)) >= 0:
        bad[at + 120:at + 152] = status.encode("ascii").ljust(32, b"\0")
        at += 1
    size = glyph_screen.glyph_file_extent(image)[1]
    entry = glyph_screen.GLYPH_ENTRY
    if fault == "cut short":          # the directory keeps all but the last 40 bytes
        bad[entry + 28:entry + 32] = (size - 40).to_bytes(4, "little")
    else:                              # deleted from the directory
        bad[entry] = 0xE5
    return bytes(bad)


def check_uefi(args, work, arch):
    path = os.path.join(work, "ja.img")
    image = write_stamp(args, path, variant="japanese")
    font = load_font(args.source)
    ascii_rows = {ch: rows for rows, ch in font.items()}
    at, size = glyph_screen.glyph_file_extent(image)
    rows, glyphs = glyph_screen.read_glyph_file(image[at:at + size])

    def with_glyphs(pic):
        return gop_problems(pic, font) + [p for row in JAPANESE_ROWS for p in glyph_screen.row_problems(
            pic, row, rows[row], glyphs, ascii_rows)]

    # Without a usable glyph file the values are the block's ASCII, as before glyphs.
    values = glyph_screen.block_values(image)

    unverified = "SANITIZED, UNVERIFIED"

    def in_ascii(pic):
        return gop_problems(pic, font, unverified) + [
            "row %d reads %r, expected %r" % (row, got, values[row]) for row in JAPANESE_ROWS
            for got in [decode(pic, font, 224, glyph_screen.row_y(row), len(values[row]), 0x0f172a)]
            if got != values[row]]

    for p in boot_gop(arch, path, with_glyphs, work, args.build):
        check(False, "%s GOP: %s" % (arch, p))
    for p in boot_console(arch, path):
        check(False, "%s console: %s" % (arch, p))
    # The parser's bounds are checked case by case in the C++ tests (offsets past the
    # end among them); here one fault per architecture shows the ASCII fallback.
    for fault in {"uefi-x64": ["cut short"], "uefi-ia32": ["gone"]}[arch]:
        bad_path = os.path.join(work, "bad.img")
        with open(bad_path, "wb") as f:
            f.write(faulty_glyph_file(image, fault, unverified))
        for p in boot_gop(arch, bad_path, in_ascii, work):
            check(False, "%s glyph file %s: %s" % (arch, fault, p))
    if arch == "uefi-x64":
        blank = bytearray(image)
        at = blank.find(b"ZOLT_EFI_STAMP_V2_MAGIC\0", 32768)  # first block: BOOTX64.EFI
        blank[at] = 0
        blank_path = os.path.join(work, "blank.img")
        with open(blank_path, "wb") as f:
            f.write(blank)
        for p in boot_blank(arch, blank_path):
            check(False, "%s blank block: %s" % (arch, p))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["layout", "bios", "uefi-x64", "uefi-ia32"])
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    args = parser.parse_args()
    work = tempfile.mkdtemp(prefix="stampchk")
    started = time.time()
    try:
        if args.what == "layout":
            check_layout(args, work)
        elif args.what == "bios":
            check_bios(args, work)
        else:
            check_uefi(args, work, args.what)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%s checks: %d failure(s) in %.1f s" % (args.what, len(FAILURES), time.time() - started))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
