; strlen.asm -- A18 notation: measures a string and adds 1000 to its length
; through the standard call and return routines, kept in an include file.
R2      EQU     2
R3      EQU     3
R4      EQU     4
R5      EQU     5
R6      EQU     6
R7      EQU     7
R8      EQU     8
RA      EQU     0AH
STACK   EQU     0FFH
        ORG     0
init    LOAD    R2, STACK       ; LDI, PHI, LDI, PLO
        LOAD    R4, scall
        LOAD    R5, sret
        LOAD    R3, main
        SEP     R3
main    LOAD    R7, msg
        CALL    strlen
        CALL    plus1000
        IDL
strlen  LDI     0
        PLO     R8
        PHI     R8
count   LDA     R7
        BZ      counted
        INC     R8
        BR      count
counted RETN
plus1000 GLO     R8
        ADI     LOW 1000
        PLO     RA
        GHI     R8
        ADCI    HIGH 1000
        PHI     RA
        RETN
        INCL    "scrt18.inc"
msg     DB      "HELLO", 0
        END
