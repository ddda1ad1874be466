; The reference: the same program as the other notations' sources, in
; cosmac-asm's own notation. It measures a string and adds 1000 to its length
; through the standard call and return routines.
        ORG 0
init:   LDI HIGH(stack)
        PHI R2
        LDI LOW(stack)
        PLO R2
        LDI HIGH(scall)
        PHI R4
        LDI LOW(scall)
        PLO R4
        LDI HIGH(sret)
        PHI R5
        LDI LOW(sret)
        PLO R5
        LDI HIGH(main)
        PHI R3
        LDI LOW(main)
        PLO R3
        SEP R3
main:   LDI HIGH(msg)
        PHI R7
        LDI LOW(msg)
        PLO R7
        Call strlen
        Call plus1000
        IDLE
strlen: LDI 0
        PLO R8
        PHI R8
count:  LDA R7
        BZ counted
        INC R8
        BR count
counted: Ret
plus1000: GLO R8
        ADI LOW(1000.)
        PLO RA
        GHI R8
        ADCI HIGH(1000.)
        PHI RA
        Ret
        SEP R3
scall:  SEX R2
        GHI R6
        STXD
        GLO R6
        STXD
        GHI R3
        PHI R6
        GLO R3
        PLO R6
        LDA R6
        PHI R3
        LDA R6
        PLO R3
        BR scall - 1
        SEP R3
sret:   SEX R2
        GHI R6
        PHI R3
        GLO R6
        PLO R3
        IRX
        LDXA
        PLO R6
        LDX
        PHI R6
        BR sret - 1
msg:    DB "HELLO", 0
stack   EQU 0ff
