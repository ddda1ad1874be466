; multiply: RA = R8 * R9 (the low 16 bits), by shifting and adding in a
; subroutine that runs with P = 3 and returns with SEP R0, the 1802's own
; calling convention. Set R8 and R9 with r, then run with g 0.

        ORG 0
main:   LDI HIGH(scratch)   ; R2 -> a scratch byte for ADD and ADC
        PHI R2
        LDI LOW(scratch)
        PLO R2
        LDI HIGH(multiply)  ; R3 -> the subroutine
        PHI R3
        LDI LOW(multiply)
        PLO R3
        SEP R3              ; call it
        IDLE                ; RA holds the product

return: SEP R0              ; back to the caller; R3 is left on multiply again
multiply:
        SEX R2
        LDI 0
        PHI RA
        PLO RA
test:   GHI R9              ; done when R9 = 0
        BNZ step
        GLO R9
        BZ return
step:   GHI R9              ; R9 >>= 1, its low bit into DF
        SHR
        PHI R9
        GLO R9
        SHRC
        PLO R9
        BNF shift           ; a 0 bit adds nothing
        GLO R8              ; RA += R8
        STR R2
        GLO RA
        ADD
        PLO RA
        GHI R8
        STR R2
        GHI RA
        ADC
        PHI RA
shift:  GLO R8              ; R8 <<= 1
        SHL
        PLO R8
        GHI R8
        SHLC
        PHI R8
        BR test

scratch:
        DB 0
