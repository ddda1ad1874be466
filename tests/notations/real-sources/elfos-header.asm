; An Elf/OS program header, as Elf/OS utilities write it: the load address, the
; length and the run address, then a branch over a build stamp and a notice.
; Built with SOURCE_DATE_EPOCH=1700000000 (14 November 2023, 22:13:20 UTC),
; --build 258 and -D BEEP.
include_file: equ 0
            org     2000h-6
            dw      2000h                   ; load address
            dw      end-2000h               ; length
            dw      2000h                   ; run address
start:      br      main                    ; over the stamp and the notice
            eever
            db      'Written by a cosmac test',0
main:       ldi     low(count)
#ifdef BEEP
            seq
#endif
            sep     r5
count:      db      2023
end:        equ     $
