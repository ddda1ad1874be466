; strlen.asm -- Asm/02 notation: measures a string and adds 1000 to its length
; through the standard call and return routines, kept in an include file.
#define STACKTOP 0ffh   ; top of the stack page
#define WITHSTRLEN
scall:  equ     r4
sret:   equ     r5
        org     0
init:   mov     r2, STACKTOP
        mov     scall, call_
        mov     sret, return_
        mov     r3, main
        sep     r3
main:   mov     r7, msg
#ifdef WITHSTRLEN
        call    strlen
#endif
        call    plus1000
        idl
strlen: ldi     0
        plo     r8
        phi     r8
count:  lda     r7
        bz      counted
        inc     r8
        br      count
counted: rtn
plus1000: glo   r8
        adi     low 1000
        plo     ra
        ghi     r8
        adci    high 1000
        phi     ra
        rtn
#include scrt02.inc
msg:    db      'HELLO', 0
        end     init
