; strlen.asm -- SB-Assembler notation: measures a string and adds 1000 to
; its length through the standard call and return routines, kept in an
; include file.
        .CR     1802
R2      .EQ     2
R3      .EQ     3
R4      .EQ     4       the call register
R5      .EQ     5       the return register
R6      .EQ     6
R7      .EQ     7
R8      .EQ     8
RA      .EQ     $A
STACK   .EQ     $FF
        .OR     0
INIT    LDI     /STACK
        PHI     R2
        LDI     #STACK
        PLO     R2
        LDI     /SCALL
        PHI     R4
        LDI     #SCALL
        PLO     R4
        LDI     /SRET
        PHI     R5
        LDI     #SRET
        PLO     R5
        LDI     /MAIN
        PHI     R3
        LDI     #MAIN
        PLO     R3
        SEP     R3
MAIN    LDI     /MSG
        PHI     R7
        LDI     MSG     the low byte by default
        PLO     R7
        SEP     R4
        .DA     STRLEN
        SEP     R4
        .DA     PLUS1000
        IDL
STRLEN  LDI     0
        PLO     R8
        PHI     R8
.LOOP   LDA     R7
        BZ      .DONE
        INC     R8
        BR      .LOOP
.DONE   SEP     R5
PLUS1000 GLO    R8
        ADI     #1000
        PLO     RA
        GHI     R8
        ADCI    /1000
        PHI     RA
        SEP     R5
        .IN     scrtsb
MSG     .AZ     /HELLO/
