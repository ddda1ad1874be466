; A boot ROM of the kind the Pico/Elf and Elf 2000 BIOS has, small, for board
; mode's disk tests: it resets the IDE drive, sets 8-bit transfers, reads LBA 0
; to 0100, checks it as the BIOS does (65 bytes from 0100, each added to a
; total that is then doubled, must come to 60H) and enters it at 0106 with P = 3,
; X = 2, R2 = 00F0H, R4 and R5 the call and return routines, R7 = 0000H,
; R8 = 0E000H and RF = 0300H, as the BIOS leaves them.
;
; The boot sector reaches the ROM through the BIOS's vectors, with CALL (SEP R4
; and the address), which keeps D and uses RE.0:
;   0FF03H  type     D out on the serial line
;   0FF09H  msg      RF -> a string ending in 0, printed; RF left after it
;   0FF39H  idewrite 512 bytes from RF to the sector R8.1 (0E0H + LBA 27-24),
;   0FF3CH  ideread  R8.0 (LBA 23-16), R7 (LBA 15-0); RF advanced; DF = 1 on
;                    an error
;
; Build it with cosmac-asm --syntax a18 -D TXINV=n -D BITDELAY=n:
;   TXINV     1 when Q = 0 is mark (the Elf 2000), 0 when Q = 1 is (the Pico/Elf)
;   BITDELAY  the transmit loop's count: a bit lasts 24 + 6 * BITDELAY machine
;             cycles; 27 is 1200 baud at 1.79 MHz, 65 at 4 MHz

MARKQ   EQU 7BH - TXINV         ; SEQ, or REQ when inverted
SPACEQ  EQU 7AH + TXINV
SELECT  EQU 2                   ; OUT 2 chooses the drive's register
DATA    EQU 3                   ; and port 3 reaches it
BOOT    EQU 0100H               ; where LBA 0 goes
STACK   EQU 00F0H

        ORG 8000H
        LBR init                ; read through the jump-on-reset mirror at 0000
init:   LOAD R2, STACK
        LOAD R4, scall
        LOAD R5, sret
        LOAD R3, main
        SEP R3

main:   SEX R2
        DB MARKQ                ; the line rests at mark
        LOAD RF, hello
        CALL msg
        CALL iderst
        LBDF error
        LDI 0
        PHI R7
        PLO R7
        PLO R8
        LDI 0E0H
        PHI R8
        LOAD RF, BOOT
        CALL ideread
        LBDF error
        LOAD RD, BOOT           ; the BIOS's check of 0100-0140
        LDI 65
        PLO RC
        LDI 0
        PLO RE
check:  LDA RD
        STR R2
        GLO RE
        ADD
        SHL
        PLO RE
        DEC RC
        GLO RC
        BNZ check
        GLO RE
        XRI 60H
        LBNZ error
        LOAD RF, 0300H          ; R7 and R8 are as the read left them
        LBR BOOT + 6
error:  LOAD RF, failed
        CALL msg
        IDLE

hello:  DB "cosmac boot ROM\r\n", 0
failed: DB "?BOOT ERROR\r\n", 0

; msg: RF -> a string ending in 0.
msg:    LDA RF
        BZ msgend
        CALL type
        BR msg
msgend: RETN

; type: D out, a start bit, 8 data bits and 2 stop bits, each 24 + 6 * BITDELAY
; cycles from one change of Q to the next.
type:   PLO RC                  ; the byte, shifted out from bit 0
        LDI 9
        PHI RC                  ; the start bit and 8 data bits
        DB SPACEQ               ; the start bit
        BR tbit
tbit:   LDI BITDELAY
        PLO RD
tdelay: DEC RD
        GLO RD
        BNZ tdelay
        GHI RC
        SMI 1
        PHI RC
        BZ tstop
        GLO RC
        SHR
        PLO RC
        BDF tmark
        DB SPACEQ
        BR tbit
tmark:  DB MARKQ
        BR tbit
tstop:  SEX R2                  ; the last data bit as long as the others
        SEX R2
        SEX R2
        SEX R2
        DB MARKQ                ; the stop bits
        LDI BITDELAY * 2 + 8
        PLO RD
tstopd: DEC RD
        GLO RD
        BNZ tstopd
        RETN

; The drive's registers: select one (D), then put (D) to it or get it (D, and
; M(R2)).
select: STR R2
        OUT SELECT
        DEC R2
        RETN
put:    STR R2
        OUT DATA
        DEC R2
        RETN

; ready: wait until the drive is ready and not busy; DF = 1 on an error.
ready:  LDI 7
        CALL select
rpoll:  INP DATA
        ANI 01H
        BNZ bad
        LDX
        ANI 0C0H
        XRI 40H
        BNZ rpoll
        ADI 0                   ; DF = 0
        RETN
bad:    SMI 0                   ; DF = 1
        RETN

; drq: wait until the drive asks for data; DF = 1 on an error.
drq:    INP DATA
        ANI 01H
        BNZ bad
        LDX
        ANI 88H                 ; BSY and DRQ
        XRI 08H
        BNZ drq
        ADI 0
        RETN

; iderst: the drive reset, then 8-bit transfers.
iderst: LDI 6
        CALL select
        LDI 0E0H
        CALL put
        LDI 0EH                 ; device control
        CALL select
        LDI 4
        CALL put
        LDI 0
        CALL put
        CALL ready
        BDF iddone
        LDI 1
        CALL select
        LDI 1                   ; SET FEATURES 01: 8-bit transfers
        CALL put
        LDI 7
        CALL select
        LDI 0EFH
        CALL put
        CALL ready
iddone: RETN

; command: D to the command register, with the sector R7/R8 and a count of 1,
; then wait for the drive to ask for data.
command:
        PLO R9
        CALL ready
        BDF cmdend
        LDI 2
        CALL select
        LDI 1
        CALL put
        LDI 3
        CALL select
        GLO R7
        CALL put
        LDI 4
        CALL select
        GHI R7
        CALL put
        LDI 5
        CALL select
        GLO R8
        CALL put
        LDI 6
        CALL select
        GHI R8
        ORI 0E0H
        CALL put
        LDI 7
        CALL select
        GLO R9
        CALL put
        CALL drq
cmdend: RETN

ideread:
        LDI 20H
        CALL command
        LBDF rwend
        LDI 0
        CALL select
        LOAD R9, 512
        SEX RF
rloop:  INP DATA                ; to M(RF)
        INC RF
        DEC R9
        GLO R9
        BNZ rloop
        GHI R9
        BNZ rloop
        SEX R2
rwend:  RETN

idewrite:
        LDI 30H
        CALL command
        LBDF rwend
        LDI 0
        CALL select
        LOAD R9, 512
        SEX RF
wloop:  OUT DATA                ; M(RF), and RF + 1
        DEC R9
        GLO R9
        BNZ wloop
        GHI R9
        BNZ wloop
        SEX R2
        CALL ready
        RETN

; The standard call and return, keeping D in RE.0 as the BIOS's do.
        SEP R3
scall:  PLO RE
        SEX R2
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
        GLO RE
        BR scall - 1
        SEP R3
sret:   PLO RE
        GHI R6
        PHI R3
        GLO R6
        PLO R3
        SEX R2
        INC R2
        LDXA
        PLO R6
        LDX
        PHI R6
        GLO RE
        BR sret - 1

; The BIOS's vectors that a boot sector uses.
        ORG 0FF03H
        LBR type
        ORG 0FF09H
        LBR msg
        ORG 0FF39H
        LBR idewrite
        LBR ideread             ; at 0FF3CH
