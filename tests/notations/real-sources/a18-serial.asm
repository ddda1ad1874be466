; A bit-banged serial send in the style of the A18-built sources: names with
; $ inside, a label's .1 and .0 parts, HIGH and LOW, and $ as the location.
s$bits  EQU     8               ; data bits
s$dly   EQU     3               ; delay loop count
r$cnt   EQU     14              ; RE counts the bits
        ORG     0100H
s$init: LDI     b$send.1        ; R5 to the send routine
        PHI     r$cnt-9
        LDI     b$send.0
        PLO     5
        LDI     'K'
        SEP     5
        BR      $               ; wait here
b$send: PHI     15              ; the byte to RF.1
        LDI     s$bits
        PLO     r$cnt
        REQ                     ; the start bit
b$bit:  LDI     s$dly
b$wait: SMI     1
        BNZ     b$wait
        GHI     15
        SHR
        PHI     15
        BDF     b$one
        REQ
        BR      b$next
b$one:  SEQ
b$next: DEC     r$cnt
        GLO     r$cnt
        BNZ     b$bit
        SEQ                     ; the stop bit
        SEP     3
v$tab:  DW      s$init, b$send
        DB      HIGH(b$bit), LOW b$bit, s$bits*s$dly
        END
