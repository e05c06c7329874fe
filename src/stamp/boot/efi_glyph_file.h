/* The glyph file beside the UEFI programs, \EFI\BOOT\GLYPHS.BIN: the values of the
   screen's 22 report and hardware rows in UTF-16, and for every character outside
   ASCII in them a 16 x 16 one-bit bitmap rendered with the Japanese face when the
   stamp was built. The programs draw ASCII with their own 8 x 16 font and the rest
   from this file; without a well-formed file they draw the ASCII block as before.
   Shared by the C programs (which parse it), the C++ builder and a host test of the
   parser, so all three agree on one layout. Numbers are little-endian:

     offset  size
     0       8     magic "ZOLTGLY1"
     8       2     row count, always 22: the block's 7 report rows, then its 15 hardware rows
     10      2     glyph count n
     12      2     byte offset of the glyph table
     14      2     zero
     16      22x4  per row: byte offset of its text (2), its length in UTF-16 units (2, <= 140)
     104     ...   the row texts, UTF-16LE, no terminators
     table   36n   one entry per character, any order:
                     2   UTF-16 code unit (0x0080..0xFFFF, never a surrogate)
                     2   advance in pixels: 8 (half width) or 16 (full width); the
                         programs read its first byte and take anything but 8 as 16
                     32  bitmap: 16 rows top down, 2 bytes each; bit 7 of a row's first
                         byte is the leftmost pixel, a set bit is ink

   The file is at most 24064 bytes: the 47 clusters the volume still has free behind
   the largest REPORT.TXT. The parser checks every offset and length against the bytes
   actually read before anything is drawn from them. */
#ifndef MORVANE_EFI_GLYPH_FILE_H
#define MORVANE_EFI_GLYPH_FILE_H

#define EFI_GLYPH_MAGIC "ZOLTGLY1"
#define EFI_GLYPH_ROWS 22
#define EFI_GLYPH_HEADER_BYTES 104
#define EFI_GLYPH_ENTRY_BYTES 36
#define EFI_GLYPH_ROW_MAX_UNITS 140
#define EFI_GLYPH_FILE_MAX_BYTES 24064

#ifdef __cplusplus
namespace morvane {
#endif

struct EfiGlyphFile {
    const unsigned char* rowText[EFI_GLYPH_ROWS];
    unsigned rowUnits[EFI_GLYPH_ROWS];
    const unsigned char* glyphs;
    unsigned glyphCount;
};

static inline unsigned EfiGlyphLe16(const unsigned char* p) {
    return p[0] | (unsigned)p[1] << 8;
}

/* Fills `out` and returns 1 when the `size` bytes at `data` are a well-formed glyph
   file; returns 0 for anything shorter, longer, foreign or pointing past its end. */
static inline int EfiParseGlyphFile(const unsigned char* data, __SIZE_TYPE__ size, struct EfiGlyphFile* out) {
    if (size < EFI_GLYPH_HEADER_BYTES || size > EFI_GLYPH_FILE_MAX_BYTES) return 0;
    for (unsigned i = 0; i < 8; ++i) {
        if (data[i] != (unsigned char)EFI_GLYPH_MAGIC[i]) return 0;
    }
    if (EfiGlyphLe16(data + 8) != EFI_GLYPH_ROWS) return 0;
    const __SIZE_TYPE__ count = EfiGlyphLe16(data + 10);
    const __SIZE_TYPE__ table = EfiGlyphLe16(data + 12);
    if (table > size || count * EFI_GLYPH_ENTRY_BYTES > size - table) return 0;
    for (unsigned row = 0; row < EFI_GLYPH_ROWS; ++row) {
        const __SIZE_TYPE__ at = EfiGlyphLe16(data + 16 + 4 * row);
        const __SIZE_TYPE__ units = EfiGlyphLe16(data + 18 + 4 * row);
        if (units > EFI_GLYPH_ROW_MAX_UNITS || at > size || 2 * units > size - at) return 0;
        out->rowText[row] = data + at;
        out->rowUnits[row] = (unsigned)units;
    }
    out->glyphs = data + table;
    out->glyphCount = (unsigned)count;
    return 1;
}

/* The table entry of a code unit, or 0 when the file has no glyph for it. */
static inline const unsigned char* EfiFindGlyph(const struct EfiGlyphFile* file, unsigned code) {
    for (unsigned i = 0; i < file->glyphCount; ++i) {
        const unsigned char* entry = file->glyphs + i * EFI_GLYPH_ENTRY_BYTES;
        if (EfiGlyphLe16(entry) == code) return entry;
    }
    return 0;
}

#ifdef __cplusplus
}  // namespace morvane
#endif

#endif
