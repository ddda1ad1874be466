; scrt: the standard call and return technique of RCA's programs, with nested
; and recursive calls. The program runs with P = 3; "Call target" (SEP R4 and the
; target's address) enters a subroutine through the routine at scall, which keeps
; the return address in R6 and saves the one before it on the R2 stack; "Ret"
; (SEP R5) comes back through the routine at sreturn. Run with g 0: R8 counts the
; levels of the recursion (3), R9 the calls that nest (2).

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

main:   LDI 3               ; three levels of recursion
        PLO R7
        Call countdown
        Call twice
        IDLE

; countdown: R8 += R7.0, one level of recursion for each.
countdown:
        GLO R7
        BZ bottom
        DEC R7
        INC R8
        Call countdown
bottom: Ret

; twice: two nested calls of bump.
twice:  Call bump
        Call bump
        Ret
bump:   INC R9
        Ret

; The call routine runs with P = 4: it saves R6 on the stack, takes the
; subroutine's address from the bytes after the Call, and leaves R6 pointing
; behind them, where the subroutine returns to.
        SEP R3              ; into the subroutine; R4 stays on scall
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

; The return routine runs with P = 5: R3 takes the return address from R6, and
; R6 its old value from the stack.
        SEP R3              ; back in the caller; R5 stays on sreturn
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
