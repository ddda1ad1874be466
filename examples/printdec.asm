; printdec: prints two numbers in decimal through the console service, with
; the standard call and return technique (see scrt.asm). printdec divides by
; ten with div10 and keeps the digits on the R2 stack until it prints them.
;   cosmac-asm printdec.asm && cosmac --debug printdec    then: g 0

        ORG 0
init:   LDI HIGH(stack)     ; R2 -> the stack, which grows down
        PHI R2
        LDI LOW(stack)
        PLO R2
        LDI HIGH(scall)     ; R4 -> the call routine, R5 -> the return routine
        PHI R4
        LDI LOW(scall)
        PLO R4
        LDI HIGH(sreturn)
        PHI R5
        LDI LOW(sreturn)
        PLO R5
        LDI HIGH(main)      ; R3 -> the program, which runs with P = 3
        PHI R3
        LDI LOW(main)
        PLO R3
        SEP R3

main:   LDI 04              ; R7 = 04d2, 1234
        PHI R7
        LDI D2
        PLO R7
        Call printdec
        LDI 20              ; a space
        PUTC
        LDI 0D              ; R7 = 0d80, 3456
        PHI R7
        LDI 80
        PLO R7
        Call printdec
        LDI 0D              ; a new line
        PUTC
        IDLE

; printdec: R7 in decimal. R8.0 counts the digits on the stack.
printdec:
        LDI 0
        PLO R8
divide: Call div10          ; R7 = R7 / 0a, R9.1 = the remainder
        GHI R9
        ADI 30              ; the digit's character
        STXD                ; onto the stack
        INC R8
        GLO R7
        BNZ divide
        GHI R7
        BNZ divide
print:  IRX                 ; the digits come off the stack first to last
        LDX
        PUTC
        DEC R8
        GLO R8
        BNZ print
        Ret

; div10: R7 = R7 / 0a, R9.1 = the remainder: R7 shifts left through R9.1,
; and each bit that leaves ten or more there is a 1 of the quotient.
div10:  LDI 10              ; sixteen bits
        PLO R9
        LDI 0
        PHI R9
bit:    GLO R7
        SHL
        PLO R7
        GHI R7
        SHLC
        PHI R7
        GHI R9
        SHLC
        PHI R9
        SMI 0A
        BNF less            ; below ten: the bit is 0
        PHI R9
        INC R7              ; the bit is 1
less:   DEC R9
        GLO R9
        BNZ bit
        Ret

; The call routine (P = 4) and the return routine (P = 5), as in scrt.asm.
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
sreturn:
        SEX R2
        GHI R6
        PHI R3
        GLO R6
        PLO R3
        IRX
        LDXA
        PLO R6
        LDX
        PHI R6
        BR sreturn - 1

stack   EQU ff
