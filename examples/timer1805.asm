; timer1805: the 1805's counter/timer wakes an IDLE ten times, and each time
; the interrupt routine counts down in decimal, from 10 to 00; the main program
; shows the count on the front panel's LEDs with a call, then waits on DBNZ.
; It runs on a board, where RET returns from an interrupt:
;   cosmac-asm timer1805.asm && cosmac --board elf --cpu 1805 --debug timer1805

        .cpu 1805
        ORG 0
init:   RLDI R2,stack       ; the stack, which grows down
        RLDI R1,tick        ; the interrupt routine
        RLDI R3,main
        SEX R2
        SEP R3

main:   LDI 10              ; R7.0: the count, 10 in decimal
        PLO R7
        LDI 20              ; a tick every 20h = 32 counts of 32 machine cycles
        LDC
        STM                 ; the timer, from now
        CIE                 ; its interrupt, which IE = 1 from the reset lets in
wait:   IDLE                ; until the tick
        SCAL R6,show
        GLO R7
        BNZ wait
        STPC                ; the counter stopped
        RLDI R8,0003        ; and a last short wait
delay:  DBNZ R8,delay
        IDLE                ; for good: nothing can wake it now

; The count on the LEDs, through the stack byte at R2.
show:   GLO R7
        STR R2
        OUT 4               ; M(R2) to the LEDs, R2 + 1
        DEC R2
        SRET R6

; The tick: T, D and DF saved below R2, the counter's request cleared, the
; count down by one in decimal, then all of it restored as RET returns. The
; RET lies just before tick, so that R1 is left there for the next one.
leave:  LDXA                ; D shifted right with DF in bit 7
        SHL                 ; DF back
        LDXA                ; D back
        RET                 ; X and P back from T, interrupts enabled again
tick:   DSAV
        BCI ack             ; taken while the request stands, which it clears
ack:    GLO R7
        DSMI 01
        PLO R7
        BR leave

        ORG 00FF
stack:  DB 0
