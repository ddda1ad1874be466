; An Elf/OS utility in the style of the Elf/OS world's sources: it types a
; mark COUNT times through the BIOS, then a message, and returns to Elf/OS.
; Built with SOURCE_DATE_EPOCH=1700000000 (14 November 2023, 22:13:20 UTC)
; and --build 7.
#include ops.inc                ; BRNZ, DBNZ and COUNT
f_type:     equ     0ff03h
f_msg:      equ     0ff09h
            org     2000h-6
            dw      2000h               ; load address
            dw      end-2000h           ; length
            dw      2000h               ; run address
start:      br      main                ; over the date and the build
            db      [month],[day]
            dw      [year]
            dw      [build]
            db      'Count: a cosmac test',0
main:       ldi     COUNT
            plo     r8
            ldi     0
            phi     r8
loop:       ldi     '*'
            call    f_type
            dec     r8
            brnz    r8,loop             ; the .op, its T2 in this page
#if COUNT > 2 ; a long count lights Q
            seq
#endif ; COUNT
#ifdef QUIET ; no message
            rtn
#else ; the message
            ldi     high message
            phi     rf
            ldi     message             ; its low byte, as Asm/02 keeps it
            plo     rf
            call    f_msg
            rtn
#endif ; QUIET
message:    db      ' marks typed'13,10,0
end:        equ     $
