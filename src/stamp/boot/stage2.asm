; BIOS second stage, run at 0000:8000: paints the three colour bands of the report
; screen and prints the zero-terminated screen text that follows 96 bytes after it.
bits 16
org 0x8000

start:
        mov ax, 0x0003              ; 80x25 colour text
        int 0x10
        mov ax, 0x1003              ; blinking off: bright backgrounds
        xor bx, bx
        int 0x10
        mov ah, 0x01                ; hide the cursor
        mov cx, 0x2607
        int 0x10
        mov bh, 0x1f                ; rows 0-1: bright white on blue
        xor cx, cx
        mov dx, 0x014f
        call band
        mov bh, 0x70                ; rows 2-23: black on light grey
        mov cx, 0x0200
        mov dx, 0x174f
        call band
        mov bh, 0x1e                ; row 24: yellow on blue
        mov cx, 0x1800
        mov dx, 0x184f
        call band
        mov ah, 0x02                ; cursor to row 0, column 0, page 0
        xor bh, bh
        xor dx, dx
        int 0x10
        cld
        mov si, 0x8060
print:
        lodsb
        test al, al
        jz halt
        mov ah, 0x0e                ; teletype keeps the band colours
        xor bh, bh
        int 0x10
        jmp print
halt:
        hlt
        jmp halt
band:
        mov ax, 0x0600
        int 0x10
        ret

%if ($-$$) > 96
%error "second stage exceeds the 96 bytes before its screen text"
%endif
