; A small board monitor of the kind 1802 owners run, for board mode's tests:
; it times the first Enter to find the baud, then at each * prompt reads four
; hex digits (echoed) and prints the byte at that address.
;
;   EF      the receive line, 1-4
;   RXINV   1 when the EF flag is 1 at mark
;   TXINV   1 when Q = 0 is mark
;   ORIGIN  where the image is assembled: 8000H, or 0 for a ROM image that is
;           burned at 8000 (cosmac loads it as monitor.hex@8000)
; all given with cosmac-asm -D.
;
; Registers: R3 main, R4 putc, R5 getc (each returns with SEP R3), R2 stack,
; RC the auto-baud count, RA/RB/R9 the transmit, receive and half-bit delays.

SHIFT   EQU 8000H - ORIGIN
BMARK   EQU 3BH + EF - RXINV * 8    ; BNn, or Bn when inverted: branch at mark
BSPACE  EQU 33H + EF + RXINV * 8
MARKQ   EQU 7BH - TXINV             ; SEQ, or REQ when inverted
SPACEQ  EQU 7AH + TXINV

        ORG ORIGIN
        LBR init + SHIFT
init:   LDI HIGH(main + SHIFT)
        PHI R3
        LDI LOW(main)
        PLO R3
        LDI HIGH(putc + SHIFT)
        PHI R4
        LDI LOW(putc)
        PLO R4
        LDI HIGH(getc + SHIFT)
        PHI R5
        LDI LOW(getc)
        PLO R5
        LDI 7FH
        PHI R2
        LDI 0F0H
        PLO R2
        SEP R3

main:   SEX R2
        DB MARKQ
        LDI 0
        PLO RC
wait:   DB BMARK, LOW(wait)         ; the start bit of the first Enter
count:  INC RC                      ; 6 machine cycles a count while at space
        GLO RC
        DB BSPACE, LOW(count)
        GLO RC
        SMI 4
        PLO RA                      ; transmit delay: a bit is 22 + 6 * RA cycles
        GLO RC
        SMI 3
        PLO RB                      ; receive delay: 18 + 6 * RB
        GLO RC
        SHR
        PLO R9                      ; half a bit
        LDI 12                      ; let the rest of the Enter go by
        PLO RE
skip:   GLO RA
        PLO RD
skipd:  DEC RD
        GLO RD
        BNZ skipd
        DEC RE
        GLO RE
        BNZ skip
        LDI 'O'
        SEP R4
        LDI 'K'
        SEP R4

prompt: LDI 0DH
        SEP R4
        LDI 0AH
        SEP R4
        LDI '*'
        SEP R4
        LDI 4
        PLO R8
digit:  SEP R5                      ; a hex digit, echoed
        PHI R8
        SEP R4
        GHI R8
        SMI 'A'
        BDF letter
        ADI 'A' - '0'
        BR nibble
letter: ADI 10
nibble: STR R2
        LDI 4
        PLO R6
shift:  GLO R7
        SHL
        PLO R7
        GHI R7
        SHLC
        PHI R7
        DEC R6
        GLO R6
        BNZ shift
        GLO R7
        OR
        PLO R7
        DEC R8
        GLO R8
        BNZ digit
        LDI ' '
        SEP R4
        LDN R7
        PHI R8
        SHR
        SHR
        SHR
        SHR
        SMI 10
        BDF hexhi
        ADI '0' + 10
        BR put_high
hexhi:  ADI 'A'
put_high:
        SEP R4
        GHI R8
        ANI 0FH
        SMI 10
        BDF hexlo
        ADI '0' + 10
        BR put_low
hexlo:  ADI 'A'
put_low:
        SEP R4
        BR prompt

putc_ret:
        SEP R3
putc:   PLO RF                      ; D out: start bit, 8 data bits, 2 stop bits
        DB SPACEQ
        LDI 8
        PLO RE
        GLO RA
        PLO RD
pstart: DEC RD
        GLO RD
        BNZ pstart
pbit:   GLO RF
        SHR
        PLO RF
        BNF pzero
        DB MARKQ
        BR pnext
pzero:  DB SPACEQ
        BR pnext
pnext:  GLO RA
        PLO RD
pdelay: DEC RD
        GLO RD
        BNZ pdelay
        DEC RE
        GLO RE
        BNZ pbit
        DB MARKQ
        LDI 2
        PLO RE
pstop:  GLO RA
        PLO RD
pstopd: DEC RD
        GLO RD
        BNZ pstopd
        DEC RE
        GLO RE
        BNZ pstop
        BR putc_ret

getc_ret:
        SEP R3
getc:   DB BMARK, LOW(getc)         ; wait for the start bit
        GLO R9
        PLO RD
ghalf:  DEC RD
        GLO RD
        BNZ ghalf
        LDI 8
        PLO RE
gbit:   GLO RB
        PLO RD
gdelay: DEC RD
        GLO RD
        BNZ gdelay
        GLO RF
        SHR
        DB BSPACE, LOW(gzero)
        ORI 80H
gzero:  PLO RF
        DEC RE
        GLO RE
        BNZ gbit
        GLO RB                      ; into the stop bit
        PLO RD
gstop:  DEC RD
        GLO RD
        BNZ gstop
        GLO RF
        BR getc_ret
