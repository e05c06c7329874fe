/* UEFI report application (built for x64 and IA32): shows the erasure report held in
   its own EfiStampBlock full screen, through GOP graphics or the text console, and
   stays on screen without starting any operating system. */
#include "efi_types.h"
#include "efi_font.h"
#include "efi_stamp_block.h"
#include "efi_glyph_file.h"

/* The writer finds this block by its magic in the file and overwrites it there. It
   must therefore be initialised data that the code reads from memory at run time:
   not const and not static, or the compiler folds the default values into code. */
__attribute__((used, section(".data.stamp"))) struct EfiStampBlock gStampBlock = {
    EFI_STAMP_MAGIC,
    "NIST SP 800-88 Rev.1 / DoD 5220.22-M Certified Sanitization & Hardware Verification",
    "SANITIZED & VERIFIED",
    {
        {"Report / Cert ID  :", "ZOLT-DEFAULT-STAMP"},
        {"Sanitization Date :", "2026-10-23 00:00:00"},
        {"Software Version  :", "Morvane Disk Eraser Suite v1.3.0"},
        {"Erasure Standard  :", "NIST SP 800-88 Rev.1 Purge"},
        {"Verification      :", "PASSED (All Sampled Sectors Verified Clean)"},
        {"Operator / Org    :", "Morvane / Morvane Tools Lab"},
        {"SHA-256 Signature :", ""},
    },
    {
        {"Manufacturer      :", "Standard PC"},
        {"Chassis Type      :", "Desktop / Notebook"},
        {"System Model      :", "Generic System"},
        {"System Serial     :", ""},
        {"System UUID       :", ""},
        {"Asset Tag         :", "None"},
        {"Processor (CPU)   :", "x86/x64 Processor"},
        {"Total Memory      :", ""},
        {"Sanitized Disk    :", "Internal Storage"},
        {"Disk Geometry     :", "512 B/Sector"},
        {"Graphics Adapter  :", "Standard GOP Display"},
        {"Audio Controller  :", "Standard Audio"},
        {"Network / MAC     :", "Ethernet Adapter"},
        {"Motherboard       :", "System BaseBoard"},
        {"BIOS / Storage    :", "UEFI / Storage Controller"},
    },
};

/* An absolute pointer in initialised data: it gives the x64 image a base-relocation
   entry, which some firmware wants before it loads an image at another address. */
__attribute__((used)) const char* gFooterText =
    "Status: Disk Permanently Sanitized (Bootable Report Stamp Active). No OS Installed.";
/* The footer of a record that does not say "SANITIZED & VERIFIED" (a skipped
   verification, a simulation, a run that did not complete): it claims nothing. */
static const char gPlainFooterText[] = "Status: Bootable Report Stamp Active. No OS Installed. See Verification above.";

/* The compiler may emit calls to these for structure copies and fills. */
void* memset(void* dest, int value, UINTN count) {
    UINT8* d = (UINT8*)dest;
    while (count--) *d++ = (UINT8)value;
    return dest;
}

void* memcpy(void* dest, const void* src, UINTN count) {
    UINT8* d = (UINT8*)dest;
    const UINT8* s = (const UINT8*)src;
    while (count--) *d++ = *s++;
    return dest;
}

enum {
    kPageBackground = 0xf1f5f9,
    kHeader = 0x0f172a,
    kAccent = 0x0ea5e9,
    kGreen = 0x10b981,
    kAmber = 0xf59e0b,
    kWhite = 0xffffff,
    kSky = 0xbae6fd,
    kFrame = 0xcbd5e1,
    kLabel = 0x334155,
};

#define TEXT_MAX_CHARS 140
#define TEXT_MAX_PIXELS 1400

/* Blt reads a pixel as the bytes blue, green, red, reserved: on these little-endian
   machines that is the 32-bit value 0x00RRGGBB, so colours are used as pixels unchanged. */
typedef UINT32 Pixel;

static EFI_GRAPHICS_OUTPUT_PROTOCOL* gGop;
static UINTN gWidth;
static UINTN gHeight;
/* Off-screen buffer of one text draw: 1400 pixels wide, 32 rows at scale 2. */
static Pixel gTextBuffer[TEXT_MAX_PIXELS * 32];

/* Blt rejects rectangles that leave the screen (and then draws nothing), so every
   draw is clipped to the visible area first. Returns 0 when nothing is visible. */
static int ClipToScreen(UINTN x, UINTN y, UINTN* width, UINTN* height) {
    if (x >= gWidth || y >= gHeight || *width == 0 || *height == 0) return 0;
    if (*width > gWidth - x) *width = gWidth - x;
    if (*height > gHeight - y) *height = gHeight - y;
    return 1;
}

static void FillRect(UINTN x, UINTN y, UINTN width, UINTN height, Pixel colour) {
    if (!ClipToScreen(x, y, &width, &height)) return;
    gGop->Blt(gGop, (EFI_GRAPHICS_OUTPUT_BLT_PIXEL*)&colour, EfiBltVideoFill, 0, 0, x, y, width, height, 0);
}

/* \EFI\BOOT\GLYPHS.BIN as read from the volume this program was started from; one
   byte more than the largest well-formed file, so a longer one is seen and refused. */
static UINT8 gGlyphData[EFI_GLYPH_FILE_MAX_BYTES + 1];
static struct EfiGlyphFile gGlyphs;
static int gHaveGlyphs;

/* Drawn for a character the glyph file has no glyph for: a box in a full-width cell. */
static const UINT8 kMissingGlyph[32] = {
    0, 0, 0x3f, 0xfc, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04,
    0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x20, 0x04, 0x3f, 0xfc, 0, 0,
};

/* Draws up to `count` characters (at most 140, none past a zero) into the off-screen
   buffer, then copies them to (x, y) in one Blt. ASCII comes from the 8 x 16 font (any
   other byte of an ASCII string as "?"); UTF-16 text (`wide`) takes the rest from the
   glyph file at their own advance, or draws the box. The run stops before the first
   character that would pass `maxWidth` pixels. */
static void DrawRun(UINTN x, UINTN y, const UINT8* text, UINTN count, int wide, UINTN scale, Pixel fg, Pixel bg,
                    UINTN maxWidth) {
    if (count > TEXT_MAX_CHARS) count = TEXT_MAX_CHARS;
    if (maxWidth > TEXT_MAX_PIXELS) maxWidth = TEXT_MAX_PIXELS;
    UINTN width = 0;
    for (UINTN i = 0; i < count; ++i) {
        const UINTN c = wide ? EfiGlyphLe16(text + 2 * i) : text[i];
        if (c == 0) break;
        const UINT8* bits = kFont8x16['?' - 0x20];
        UINTN advance = 8;
        UINTN pitch = 1; /* bytes per two pixel rows: the font repeats each of its rows */
        if (c >= 0x20 && c <= 0x7e) {
            bits = kFont8x16[c - 0x20];
        } else if (wide && c >= 0x80) {
            if (c >= 0xdc00 && c < 0xe000) continue; /* a pair's second half: the first drew a box */
            const UINT8* glyph = EfiFindGlyph(&gGlyphs, (unsigned)c);
            bits = glyph ? glyph + 4 : kMissingGlyph;
            advance = glyph && glyph[2] == 8 ? 8 : 16;
            pitch = 4;
        }
        if (width + advance * scale > maxWidth) break;
        for (UINTN row = 0; row < 16 * scale; ++row) {
            for (UINTN col = 0; col < advance * scale; ++col) {
                const UINTN bit = col / scale;
                gTextBuffer[row * TEXT_MAX_PIXELS + width + col] =
                    bits[(row / scale * pitch >> 1) + (bit >> 3)] & (0x80 >> (bit & 7)) ? fg : bg;
            }
        }
        width += advance * scale;
    }
    UINTN visibleWidth = width;
    UINTN visibleHeight = 16 * scale;
    if (!ClipToScreen(x, y, &visibleWidth, &visibleHeight)) return;
    gGop->Blt(gGop, (EFI_GRAPHICS_OUTPUT_BLT_PIXEL*)gTextBuffer, EfiBltBufferToVideo, 0, 0, x, y, visibleWidth,
              visibleHeight, TEXT_MAX_PIXELS * sizeof(Pixel));
}

static void DrawText(UINTN x, UINTN y, const char* text, UINTN scale, Pixel fg, Pixel bg) {
    DrawRun(x, y, (const UINT8*)text, TEXT_MAX_CHARS, 0, scale, fg, bg, TEXT_MAX_PIXELS);
}

/* With the glyph file the values come from its rows (`fileRow` on), cut at the
   panel's inner edge (`valueWidth` pixels from x = 224); without it from the block. */
static void DrawRows(const struct EfiStampRow* rows, UINTN count, UINTN firstY, UINTN fileRow,
                     UINTN valueWidth) {
    for (UINTN i = 0; i < count; ++i, ++fileRow) {
        const UINTN y = firstY + 19 * i;
        DrawText(38, y, rows[i].label, 1, kLabel, kWhite);
        if (gHaveGlyphs) {
            DrawRun(224, y, gGlyphs.rowText[fileRow], gGlyphs.rowUnits[fileRow], 1, 1, kHeader, kWhite,
                    valueWidth);
        } else {
            DrawText(224, y, rows[i].value, 1, kHeader, kWhite);
        }
    }
}

/* Only a record whose status is exactly "SANITIZED & VERIFIED" gets the green badge
   and the "permanently sanitized" footer. */
static int StatusIsVerified(void) {
    static const char kVerified[] = "SANITIZED & VERIFIED";
    for (UINTN i = 0; i < sizeof kVerified; ++i) {
        if (gStampBlock.status[i] != kVerified[i]) return 0;
    }
    return 1;
}

static void DrawGraphicReport(void) {
    const UINTN w = gWidth;
    const UINTN h = gHeight;
    const int verified = StatusIsVerified();
    const Pixel badge = verified ? kGreen : kAmber;
    FillRect(0, 0, w, h, kPageBackground);
    FillRect(0, 0, w, 68, kHeader);
    FillRect(0, 68, w, 4, kAccent);
    FillRect(24, 14, 40, 40, kAccent);
    FillRect(28, 18, 32, 32, kHeader);
    FillRect(33, 23, 10, 10, kAccent);
    FillRect(45, 23, 10, 10, kGreen);
    FillRect(33, 35, 10, 10, kGreen);
    FillRect(45, 35, 10, 10, kWhite);
    DrawText(78, 12, "MORVANE DISK ERASER", 2, kWhite, kHeader);
    DrawText(80, 46, gStampBlock.title, 1, kSky, kHeader);
    if (w >= 780) {
        FillRect(w - 234, 18, 210, 34, badge);
        DrawText(w - 216, 27, gStampBlock.status, 1, kHeader, badge);
    }
    const UINTN panel = w > 56 ? w - 48 : w;
    const UINTN valueWidth = panel > 201 ? panel - 201 : 0; /* x = 224 to the panel's inner edge */
    DrawText(24, 82, "Erasure & Certification Report Details", 1, kHeader, kPageBackground);
    FillRect(24, 102, panel, 147, kFrame);
    FillRect(25, 103, panel - 2, 145, kWhite);
    DrawRows(gStampBlock.report, 7, 109, 0, valueWidth);
    DrawText(24, 259, "Target Machine Hardware Details", 1, kHeader, kPageBackground);
    FillRect(24, 279, panel, 299, kFrame);
    FillRect(25, 280, panel - 2, 297, kWhite);
    DrawRows(gStampBlock.hardware, 15, 286, 7, valueWidth);
    if (h >= 606) {
        FillRect(0, h - 28, w, 28, kHeader);
        DrawText(24, h - 22, verified ? gFooterText : gPlainFooterText, 1, kSky, kHeader);
    }
}

/* Prints the concatenation of up to three ASCII parts, widened, at most 158 characters. */
static void Print(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL* out, const char* a, const char* b, const char* c) {
    CHAR16 line[159];
    const char* parts[3] = {a, b, c};
    UINTN n = 0;
    for (UINTN p = 0; p < 3; ++p) {
        for (const char* s = parts[p]; s && *s && n < 158; ++s) line[n++] = (UINT8)*s;
    }
    line[n] = 0;
    out->OutputString(out, line);
}

static void PrintRows(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL* out, const struct EfiStampRow* rows, UINTN count) {
    for (UINTN i = 0; i < count; ++i) {
        Print(out, "  ", rows[i].label, " ");
        Print(out, rows[i].value, "\r\n", 0);
    }
}

static void WriteConsoleReport(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL* out) {
    char rule[81];
    for (UINTN i = 0; i < 78; ++i) rule[i] = '=';
    rule[78] = '\r';
    rule[79] = '\n';
    rule[80] = 0;
    out->SetAttribute(out, 0x1F);
    out->ClearScreen(out);
    Print(out, rule, 0, 0);
    Print(out, "  MORVANE DISK ERASER - SANITIZATION & HARDWARE VERIFICATION REPORT", "\r\n", 0);
    Print(out, rule, 0, 0);
    out->SetAttribute(out, 0x0F);
    Print(out, "[Report Details]", "\r\n", 0);
    PrintRows(out, gStampBlock.report, 7);
    Print(out, "\r\n", "[Hardware Details]", "\r\n");
    PrintRows(out, gStampBlock.hardware, 15);
}

/* Protocol arguments the firmware takes as non-const pointers. */
static EFI_GUID gGopGuid = {0x9042a9de, 0x23dc, 0x4a38, {0x96, 0xfb, 0x7a, 0xde, 0xd0, 0x80, 0x51, 0x6a}};
static EFI_GUID gLoadedImageGuid = {0x5b1b31a1, 0x9562, 0x11d2, {0x8e, 0x3f, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b}};
static EFI_GUID gFileSystemGuid = {0x964e5b22, 0x6459, 0x11d2, {0x8e, 0x39, 0x00, 0xa0, 0xc9, 0x69, 0x72, 0x3b}};
static CHAR16 gGlyphPath[] = L"\\EFI\\BOOT\\GLYPHS.BIN";

/* Reads the glyph file from the volume this program was started from; one Read
   returns the whole file (up to the buffer's end). A missing, unreadable or
   malformed file leaves gHaveGlyphs 0 and the report is drawn in ASCII. The handles
   stay open: the program never returns once it has drawn. */
static void LoadGlyphFile(EFI_HANDLE image, EFI_BOOT_SERVICES* boot) {
    EFI_LOADED_IMAGE_PROTOCOL* loaded;
    EFI_SIMPLE_FILE_SYSTEM_PROTOCOL* volume;
    EFI_FILE_PROTOCOL* root;
    EFI_FILE_PROTOCOL* file;
    UINTN size = sizeof gGlyphData;
    if (boot->HandleProtocol(image, &gLoadedImageGuid, (void**)&loaded) != EFI_SUCCESS ||
        boot->HandleProtocol(loaded->DeviceHandle, &gFileSystemGuid, (void**)&volume) != EFI_SUCCESS ||
        volume->OpenVolume(volume, &root) != EFI_SUCCESS ||
        root->Open(root, &file, gGlyphPath, EFI_FILE_MODE_READ, 0) != EFI_SUCCESS ||
        file->Read(file, &size, gGlyphData) != EFI_SUCCESS)
        return;
    gHaveGlyphs = EfiParseGlyphFile(gGlyphData, size, &gGlyphs);
}

EFI_STATUS EFIAPI efi_main(EFI_HANDLE image, EFI_SYSTEM_TABLE* system) {
    if (gStampBlock.magic[0] == 0) return EFI_SUCCESS;
    EFI_BOOT_SERVICES* boot = system->BootServices;
    boot->SetWatchdogTimer(0, 0, 0, 0);
    EFI_GRAPHICS_OUTPUT_PROTOCOL* gop = 0;
    if (boot->LocateProtocol(&gGopGuid, 0, (void**)&gop) == EFI_SUCCESS && gop && gop->Mode &&
        gop->Mode->Info) {
        gGop = gop;
        gWidth = gop->Mode->Info->HorizontalResolution;
        gHeight = gop->Mode->Info->VerticalResolution;
        LoadGlyphFile(image, boot);
        DrawGraphicReport();
    } else {
        WriteConsoleReport(system->ConOut);
    }
    for (;;) boot->Stall(250000);
}
