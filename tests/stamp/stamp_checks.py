#!/usr/bin/env python3
"""The report stamp read by its real consumers: fsck.fat, mtools and sfdisk read the image,
SeaBIOS and OVMF (x64, ia32) boot it in QEMU. Images come from the stamp_sample tool (the
product's writer) under Wine, into a private temporary folder; nothing here touches a disk.

  stamp_checks.py layout|bios|uefi-x64|uefi-ia32 --build DIR --source DIR
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
import qemu_boot  # noqa: E402

CERT = "MDE-20261023-0042-A1B2C3"
# The BIOS screen and REPORT.TXT of stamp_sample's "sample" record, written out here
# so that a field shown in the wrong place is caught (the digest is cut at column 78).
SCREEN = [
    " MORVANE DISK ERASER - SANITIZATION & HARDWARE REPORT   [SANITIZED & VERIFIED]",
    " Cert: " + CERT + " | Date: 2026-10-23 14:05:09",
    " [Report Details]",
    "  Software Version : Morvane Disk Eraser Suite v1.3.0",
    "  Erasure Standard : NIST SP 800-88 Rev.1 Purge (1 Passes)",
    "  Verification     : PASSED (All Sampled Sectors Verified Clean)",
    "  SHA-256 Digest   : 9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b",
    " [Hardware Details]",
    "  Manufacturer     : QEMU",
    "  Chassis / Model  : Desktop / Standard PC (Q35 + ICH9, 2009)",
    "  Serial / Asset   : SN-0001 (Asset: ASSET-7)",
    "  System UUID      : 4C4C4544-0042-3010-8050-B4C04F563232",
    "  Processor (CPU)  : Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz",
    "  Total Memory     : 16.00 GB",
    "  Disk             : Samsung SSD 870 EVO 500GB (465.76 GB)",
    "  Disk Geometry    : 512 B/Sector, 976773168 Sectors",
    "  Graphics Card    : Standard VGA Graphics Adapter",
    "  Sound Cards      : High Definition Audio Device",
    "  Network / MAC    : Intel(R) Ethernet 82574L (52:54:00:12:34:56)",
    "  Motherboard      : QEMU Standard PC",
    "  BIOS Information : SeaBIOS 1.16.2 (04/01/2014)",
    "  Storage Control  : Standard SATA AHCI Controller",
    "  Operator / Org   : Taro Yamada / Morvane Tools Lab",
    "",
    " Status: Data Permanently Sanitized. Bootable Report Stamp Active (No OS)."]
# The "japanese" sample's UEFI rows with text outside ASCII: row 12 has a character
# without a glyph (a box), row 19 is cut at the panel edge.
JAPANESE_ROWS = {3: "NIST SP 800-88 Rev.1 Purge (NVMe/SSD最推奨・TRIM解放+暗号乱数+Zero) (1 Passes)",
                 5: "検査 太郎 / 情報システム部", 12: "総務-\U00020BB7田-07", 15: "76.60 GB HDD (内蔵ディスク)",
                 19: "Intel(R) イーサネット コネクション I219-V (52:54:00:12:34:56), Realtek PCIe GbE ファミリー "
                     "コントローラー (52:54:00:AB:CD:EF), Bluetooth デバイス (パーソナル エリア ネットワーク)"}
GLYPH_ENTRY = 82944 + 5 * 32  # GLYPHS.BIN's entry: the sixth of the \EFI\BOOT directory cluster
BLOCK_MAGIC = b"ZOLT_EFI_STAMP_V2_MAGIC\0"  # the report block in each UEFI program
FAILURES = []


def check(condition, message):
    if not condition:
        FAILURES.append(message)
        print("FAIL:", message)
    return condition


def run(cmd, text=True):
    return subprocess.run(cmd, capture_output=True, text=text, timeout=60)


def write_stamp(args, path, variant="sample"):
    subprocess.run([os.path.join(args.source, "cmake", "wine-run.sh"), os.path.join(args.build, "wineprefix"),
                    os.path.join(args.build, "src", "stamp_sample.exe"), "Z:" + os.path.abspath(path).replace("/", "\\"),
                    "512", variant], check=True, timeout=120)
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def check_volume(path, image, files):
    """fsck.fat and mtools read the volume: clean, labelled, holding the programs and
    `files` at their sizes (None: any). Returns the image argument for mtools."""
    volume = write(path + ".volume", image[32768:])
    os.truncate(volume, 8192 * 512)  # the volume claims 8192 sectors
    fsck = run(["fsck.fat", "-n", "-v", volume])
    check(fsck.returncode == 0 and "differ" not in fsck.stdout, "fsck.fat -n:\n" + fsck.stdout + fsck.stderr)
    at = "%s@@32768" % path
    listing = run(["mdir", "-i", at, "::/EFI/BOOT"]).stdout
    check("Volume in drive : is ZOLT_STAMP" in listing, "volume label missing:\n" + listing)
    for name, ext, size in [("BOOTX64", "EFI", 10240), ("BOOTIA32", "EFI", 9216)] + files:
        check(re.search(r"^%s\s+%s\s+%s " % (name, ext, size or r"\d+"), listing, re.M) is not None,
              "%s.%s of %s bytes not listed:\n%s" % (name, ext, size, listing))
    return at


def glyph_file(at):
    """{character: (advance, 32 bitmap bytes)} of GLYPHS.BIN as mtools reads it."""
    data = run(["mtype", "-i", at, "::/EFI/BOOT/GLYPHS.BIN"], text=False).stdout
    le16 = lambda i: data[i] | data[i + 1] << 8 if i + 1 < len(data) else 0  # noqa: E731
    return {chr(le16(e)): (le16(e + 2), data[e + 4:e + 36]) for e in range(le16(12), le16(12) + 36 * le16(10), 36)
            } if data[:8] == b"ZOLTGLY1" else {}


# ---------------------------------------------------------------- layout
def check_layout(args, work):
    path = os.path.join(work, "s.img")
    image = write_stamp(args, path)
    check(len(image) == 131072, "the stamp is %d bytes" % len(image))
    dump = run(["sfdisk", "--dump", path]).stdout
    check(re.search(r"start=\s*64, size=\s*8192, type=ef, bootable", dump) is not None,
          "sfdisk does not see one bootable EFI partition at 64+8192:\n" + dump)
    report = "\r\n".join(SCREEN)
    at = check_volume(path, image, [("REPORT", "TXT", len(report))])
    typed = run(["mtype", "-i", at, "::/EFI/BOOT/REPORT.TXT"], text=False).stdout
    check(typed == report.encode("ascii"), "REPORT.TXT is not the expected screen:\n" + typed.decode("latin-1"))


# ---------------------------------------------------------------- BIOS
def check_bios(args, work):
    image, want = write_stamp(args, os.path.join(work, "s.img")), [line.rstrip() for line in SCREEN]
    shows_report = lambda screen: screen.lines[24].startswith(" Status:")  # noqa: E731
    screen = qemu_boot.bios_screen(os.path.join(work, "s.img"), until=shows_report)
    check(screen.lines == want, "BIOS screen differs from the expected report:\n" + screen.text())
    attrs = [{0x1F}] * 2 + [{0x70}] * 22 + [{0x1E}]  # blue title rows, grey body, yellow status row
    check([set(a) for a in screen.attrs] == attrs and screen.cursor_hidden, "colours or cursor: %s" % screen.attrs)
    # Extended read broken (start LBA beyond the disk): the CHS fallback loads stage 2.
    screen = qemu_boot.bios_screen(write(os.path.join(work, "chs.img"), image[:72] + b"\xff" * 4 + bytes(4) + image[80:]),
                                   until=shows_report)
    check(screen.lines == want, "CHS fallback did not show the report:\n" + screen.text())
    # LBA 5-12 unreadable (the disk ends after LBA 4): only the fallback line.
    fallback = "[MORVANE DISK ERASER] SANITIZED & VERIFIED. Cert: " + CERT
    screen = qemu_boot.bios_screen(write(os.path.join(work, "short.img"), image[:2560]), pad=False,
                                   until=lambda s: fallback in s.text())
    check(fallback in screen.lines and "Status:" not in screen.text(), "not the fallback line alone:\n" + screen.text())


# ---------------------------------------------------------------- UEFI
def load_font(source):
    """{16 rows: character} of the app's 8x16 font; each stored row is drawn twice."""
    with open(os.path.join(source, "src", "stamp", "boot", "efi_font.h")) as f:
        rows = re.findall(r"\{([^{}]*)\}, /\* 0x([0-9A-F]{2}) \*/", f.read())
    return {tuple(int(b, 16) for b in body.split(",") for _ in (0, 1)): chr(int(code, 16)) for body, code in rows}


def decode(pic, font, x, y, count, fg, scale=1):
    """Reads `count` character cells drawn at (x, y) back through the app's font."""
    return "".join(font.get(tuple(sum(0x80 >> c for c in range(8) if pic.pixel(x + (i * 8 + c) * scale, y + r * scale) == fg)
                                  for r in range(16)), "\x7f") for i in range(count))


def row_y(row):
    return 109 + 19 * row if row < 7 else 286 + 19 * (row - 7)


def gop_problems(pic, font, status="SANITIZED & VERIFIED"):
    """Layout, colours and fixed texts; only a verified record gets the green badge and
    the "permanently sanitized" footer."""
    verified = status == "SANITIZED & VERIFIED"
    w, h = pic.width, pic.height
    points = [("background", w - 10, 90, 0xf1f5f9), ("header band", w // 2, 5, 0x0f172a),
              ("accent line", w // 2, 69, 0x0ea5e9), ("logo frame", 25, 15, 0x0ea5e9),
              ("logo square", 50, 28, 0x10b981), ("report panel frame", 24, 150, 0xcbd5e1),
              ("report panel", w - 30, 150, 0xffffff), ("hardware panel", w - 30, 400, 0xffffff)]
    texts = [(78, 12, "MORVANE DISK ERASER", 0xffffff, 2), (38, 109, "Report / Cert ID  :", 0x334155, 1),
             (224, 109, CERT, 0x0f172a, 1), (24, 259, "Target Machine Hardware Details", 0x0f172a, 1),
             (224, row_y(21), "SeaBIOS 1.16.2 (04/01/2014) | Standard SATA AHCI Controller", 0x0f172a, 1)]
    if w >= 780:
        points.append(("badge", w - 230, 20, 0x10b981 if verified else 0xf59e0b))
        texts.append((w - 216, 27, status, 0x0f172a, 1))
    if h >= 606:
        points.append(("footer band", w // 2, h - 3, 0x0f172a))
        footer = "Status: Disk Permanently Sanitized" if verified else "Status: Bootable Report Stamp Active"
        texts.append((24, h - 22, footer, 0xbae6fd, 1))
    p = ["%s at (%d,%d) is #%06x, expected #%06x" % (name, x, y, pic.pixel(x, y), colour)
         for name, x, y, colour in points if pic.pixel(x, y) != colour]
    return p + ["text at (%d,%d) reads %r, expected %r" % (x, y, got, want) for x, y, want, fg, scale in texts
                for got in [decode(pic, font, x, y, len(want), fg, scale)] if got != want]


def row_problems(pic, row, text, glyphs, font):
    """Compares the value cell of UEFI row `row` pixel by pixel with `text`: ASCII in the
    app's font, other characters as the glyph file's bitmaps, a box for a character
    without one, cut before the panel's inner edge (the frame's right column)."""
    ascii_rows = {ch: rows for rows, ch in font.items()}
    inner_end, y, x = pic.width - 25, row_y(row), 224
    for ch in text[:140]:
        if " " <= ch <= "~":
            advance, rows = 8, [b << 8 for b in ascii_rows[ch]]
        elif ch in glyphs:
            advance, bits = 8 if glyphs[ch][0] == 8 else 16, glyphs[ch][1]
            rows = [bits[2 * r] << 8 | bits[2 * r + 1] for r in range(16)]
        else:
            advance, rows = 16, [0, 0x3ffc] + [0x2004] * 12 + [0x3ffc, 0]
        if x + advance > min(224 + 1400, inner_end):
            break
        for r in range(16):
            for c in range(advance):
                want = 0x0f172a if rows[r] & (0x8000 >> c) else 0xffffff
                if pic.pixel(x + c, y + r) != want:
                    return ["row %d %r: pixel (%d,%d) is #%06x, expected #%06x"
                            % (row, text, x + c, y + r, pic.pixel(x + c, y + r), want)]
        x += advance
    ink = [(px, y + r) for px in range(x, inner_end) for r in range(16) if pic.pixel(px, y + r) != 0xffffff]
    return ["row %d: ink at %s past the last whole character" % (row, ink[0])] if ink else []


def boot_gop(arch, path, problems_of, work):
    """Boots with a display and waits until `problems_of(screenshot)` finds none."""
    with qemu_boot.Machine(path, arch, timeout=90) as m:
        problems = ["no screenshot taken"]
        while m.running():
            time.sleep(1.0)
            if any(s in m.serial_text() for s in ("Shell> ", "No bootable device", "Boot Failed")):
                return ["firmware did not start the application:\n" + m.serial_text()[-800:]]
            pic = m.screendump(os.path.join(work, "gop.ppm"))
            problems = problems_of(pic)
            if not problems:
                print("%s: GOP report %dx%d verified after %.1f s" % (arch, pic.width, pic.height, m.elapsed()))
                return []
        return problems


def check_uefi(args, work, arch):
    """Japanese text adds GLYPHS.BIN within the same 128 KiB. x64 draws the rows from it;
    ia32 gets it deleted and an unverified record's status, so draws the block's ASCII
    (cut to 91 bytes) and the amber badge."""
    path = os.path.join(work, "ja.img")
    image, font = write_stamp(args, path, "japanese"), load_font(args.source)
    glyphs = glyph_file(check_volume(path, image, [("REPORT", "TXT", None), ("GLYPHS", "BIN", None)]))
    wanted = {ch for text in JAPANESE_ROWS.values() for ch in text if 0x80 <= ord(ch) < 0x10000}  # a pair gets none
    check(set(glyphs) == wanted and all(any(bits) for _, bits in glyphs.values()), "glyphs for %s" % sorted(glyphs))
    if arch == "uefi-x64":
        def problems(pic):
            return gop_problems(pic, font) + [p for row, text in JAPANESE_ROWS.items()
                                              for p in row_problems(pic, row, text, glyphs, font)]
    else:
        status, bad = "SANITIZED, UNVERIFIED", bytearray(image)
        for at in (m.start() for m in re.finditer(re.escape(BLOCK_MAGIC), image)):
            bad[at + 120:at + 152] = status.encode().ljust(32, b"\0")
        bad[GLYPH_ENTRY] = 0xE5  # deleted from the directory
        write(path, bytes(bad))

        def problems(pic):
            return gop_problems(pic, font, status) + [
                "row %d reads %r, expected %r" % (row, got, want) for row, text in JAPANESE_ROWS.items()
                for want in ["".join(c for c in text if " " <= c <= "~")[:91]]
                for got in [decode(pic, font, 224, row_y(row), len(want), 0x0f172a)] if got != want]
    for p in boot_gop(arch, path, problems, work):
        check(False, "%s GOP: %s" % (arch, p))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["layout", "bios", "uefi-x64", "uefi-ia32"])
    for option in ("--build", "--source"):
        parser.add_argument(option, required=True)
    args = parser.parse_args()
    work, started = tempfile.mkdtemp(prefix="stampchk"), time.time()
    try:
        {"layout": check_layout, "bios": check_bios}.get(args.what, lambda a, w: check_uefi(a, w, args.what))(args, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("%s checks: %d failure(s) in %.1f s" % (args.what, len(FAILURES), time.time() - started))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
