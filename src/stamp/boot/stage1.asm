; BIOS first stage: the master boot record code. Loads LBA 5-12 (the second stage
; and its screen text) to 0000:8000 and jumps there; prints the fallback message
; stored in the MBR when neither the extended nor the CHS read works.
bits 16
org 0x7c00

start:
        cli
        xor cx, cx                  ; CX stays 0 for the CHS call (INT 13h keeps it)
        mov ds, cx
        mov es, cx
        mov ss, cx
        mov sp, 0x7c00
        sti
        cld
        ; DL still holds the boot drive the firmware passed us.
        mov si, 0x7c40              ; disk address packet at MBR byte 64
        mov ah, 0x42
        int 0x13
        jnc loaded
        xor ax, ax                  ; reset the disk, then try CHS 0/0/6 = LBA 5
        int 0x13
        mov ax, 0x0208
        mov bx, 0x8000
        mov cl, 6                   ; cylinder 0, sector 6
        xor dh, dh
        int 0x13
        jnc loaded
        mov si, 0x7c50              ; zero-terminated fallback message at MBR byte 80
        xor bx, bx                  ; teletype on page 0
print:
        lodsb
        test al, al
        jz halt
        mov ah, 0x0e
        int 0x10
        jmp print
halt:
        hlt
        jmp halt
loaded:
        ; A relative jump reaches linear 8000h whether the firmware entered us as
        ; 0000:7C00 or 07C0:0000; the second stage uses only relative jumps and DS = 0.
        jmp 0x8000

%if ($-$$) > 63
%error "first stage exceeds the 63 bytes before the read packet"
%endif
