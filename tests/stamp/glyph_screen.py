"""The glyph file beside the UEFI programs (\\EFI\\BOOT\\GLYPHS.BIN, layout in
src/stamp/boot/efi_glyph_file.h) as a reader of the stamp sees it, and what the
programs must then show in a GOP screenshot: each row value cell by cell, ASCII from
the app's 8x16 font, other characters exactly as the file's bitmaps, a box for a
character without one, cut before the panel's inner edge.
"""

BOOT_DIR = 82944       # image offset of the \EFI\BOOT directory cluster
DATA = 82432           # image offset of cluster 2
GLYPH_ENTRY = BOOT_DIR + 5 * 32
INK, PAPER = 0x0f172a, 0xffffff
BOX = [0, 0x3ffc] + [0x2004] * 12 + [0x3ffc, 0]
REPORT_Y, HARDWARE_Y = 109, 286


def le16(data, at):
    return data[at] | data[at + 1] << 8


def glyph_file_extent(image):
    """(offset in the image, size) of GLYPHS.BIN from its directory entry, or None."""
    entry = image[GLYPH_ENTRY:GLYPH_ENTRY + 32]
    if entry[:11] != b"GLYPHS  BIN":
        return None
    return DATA + (le16(entry, 26) - 2) * 512, le16(entry, 28) | le16(entry, 30) << 16


def read_glyph_file(data):
    """The 22 row texts and {character: (advance, 32 bitmap bytes)}."""
    assert data[:8] == b"ZOLTGLY1" and le16(data, 8) == 22, "not a glyph file"
    rows = []
    for r in range(22):
        at, units = le16(data, 16 + 4 * r), le16(data, 18 + 4 * r)
        rows.append(data[at:at + 2 * units].decode("utf-16-le"))
    glyphs = {}
    table = le16(data, 12)
    for i in range(le16(data, 10)):
        e = table + 36 * i
        glyphs[chr(le16(data, e))] = (le16(data, e + 2), data[e + 4:e + 36])
    return rows, glyphs


def block_values(image):
    """The ASCII row values of the first report block (BOOTX64.EFI's) in the image."""
    at = image.find(b"ZOLT_EFI_STAMP_V2_MAGIC\0", 32768)
    values = []
    for r in range(22):
        field = at + (152 + r * 120 if r < 7 else 992 + (r - 7) * 120) + 28
        values.append(image[field:image.index(b"\0", field)].decode("ascii"))
    return values


def row_y(row):
    return REPORT_Y + 19 * row if row < 7 else HARDWARE_Y + 19 * (row - 7)


def cells(text, glyphs, ascii_rows, max_width):
    """(x offset, advance, 16 rows as 16-bit masks) of each character drawn."""
    out, x = [], 0
    for ch in text[:140]:
        if " " <= ch <= "~":
            advance, rows = 8, [b << 8 for b in ascii_rows[ch]]
        elif ch in glyphs:
            advance, bits = glyphs[ch]
            advance = 8 if advance == 8 else 16
            rows = [bits[2 * r] << 8 | bits[2 * r + 1] for r in range(16)]
        else:
            advance, rows = 16, BOX
        if x + advance > max_width:
            break
        out.append((x, advance, rows))
        x += advance
    return out, x


def row_problems(pic, row, text, glyphs, ascii_rows):
    """Compares the value cell of screen row `row` pixel by pixel with `text`."""
    panel = pic.width - 48
    inner_end = 24 + panel - 1          # the frame's right column
    y = row_y(row)
    drawn, end = cells(text, glyphs, ascii_rows, min(1400, inner_end - 224))
    for x0, advance, rows in drawn:
        for r in range(16):
            for c in range(advance):
                want = INK if rows[r] & (0x8000 >> c) else PAPER
                got = pic.pixel(224 + x0 + c, y + r)
                if got != want:
                    return ["row %d %r: pixel (%d,%d) is %s, expected #%06x"
                            % (row, text, 224 + x0 + c, y + r, "#%06x" % got if got >= 0 else "off screen", want)]
    for x in range(224 + end, inner_end):
        for r in range(16):
            if pic.pixel(x, y + r) != PAPER:
                return ["row %d: ink at (%d,%d) past the last whole character" % (row, x, y + r)]
    return []
