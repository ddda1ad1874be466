; scrtsb.asm -- the standard call and return routines, SB-Assembler notation
        SEP     R3      into the subroutine
SCALL   SEX     R2
        GHI     R6
        STXD
        GLO     R6
        STXD
        GHI     R3
        PHI     R6
        GLO     R3
        PLO     R6
        LDA     R6
        PHI     R3
        LDA     R6
        PLO     R3
        BR      SCALL-1
        SEP     R3      back in the caller
SRET    SEX     R2
        GHI     R6
        PHI     R3
        GLO     R6
        PLO     R3
        IRX
        LDXA
        PLO     R6
        LDX
        PHI     R6
        BR      SRET-1
        .EN
